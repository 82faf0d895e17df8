#include "app/form1.h"

#include <QComboBox>
#include <QFont>
#include <QIcon>
#include <QLineEdit>

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

    connect(Combo9->lineEdit(), &QLineEdit::textEdited, this, &Form1::Combo9_Change);
}
