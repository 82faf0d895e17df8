#include "app/form1.h"

#include <QComboBox>
#include <QFont>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>

#include "serial/mscomm.h"

Form1::Form1(SystemPortSource systemPorts, QWidget *parent)
    : QWidget(parent), systemPorts(std::move(systemPorts))
{
    Q_INIT_RESOURCE(duve); // the icon lives in a static library
    // The captions are set in a Ming face; on Linux the AR PL one stands in.
    QFont::insertSubstitution(QStringLiteral("新細明體"), QStringLiteral("AR PL UMing TW"));
    QFont font(QStringLiteral("新細明體"));
    font.setPointSize(12);
    setFont(font);

    setWindowTitle(QStringLiteral("ORVEX Duve2.0.0"));
    setWindowIcon(QIcon(QStringLiteral(":/duve.svg")));
    setFixedSize(865, 693);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(128, 255, 255));
    setPalette(background);
    setAutoFillBackground(true);

    buildControls();
    MSComm1 = new MSComm([this](int n) { return comPortDevice(n); }, this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));

    connect(Combo9->lineEdit(), &QLineEdit::textEdited, this, &Form1::Combo9_Change);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(MSComm1, &MSComm::PortLost, this, &Form1::portLost);
    connect(MSComm1, &MSComm::WriteFailed, this, &Form1::logMessage);
}
