#include "app/form1.h"

#include <QComboBox>
#include <QFont>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

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
    connect(MSComm1, &MSComm::OnComm, this, &Form1::MSComm1_OnComm);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    const std::pair<QPushButton *, void (Form1::*)()> reads[] = {
        {Command11, &Form1::Command11_Click}, {Command12, &Form1::Command12_Click},
        {Command13, &Form1::Command13_Click}, {Command14, &Form1::Command14_Click},
        {Command15, &Form1::Command15_Click}, {Command16, &Form1::Command16_Click},
        {Command17, &Form1::Command17_Click}, {Command18, &Form1::Command18_Click}};
    for (const auto &[button, handler] : reads)
        connect(button, &QPushButton::clicked, this, handler);
    connect(MSComm1, &MSComm::PortLost, this, &Form1::portLost);
    connect(MSComm1, &MSComm::WriteFailed, this, &Form1::logMessage);
}
