#include "app/form1.h"

#include "app/channelcontrols.h"
#include "app/room.h"
#include "measure/answer.h"
#include "serial/mscomm.h"

#include <QComboBox>
#include <QFont>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

Form1::Form1(SystemPortSource systemPorts, QWidget *parent)
    : QWidget(parent)
    , systemPorts(std::move(systemPorts))
{
    Q_INIT_RESOURCE(duve); // the icon lives in a static library
#ifdef Q_OS_WIN
    // Windows has the design's faces, PMingLiU (新細明體) and MingLiU (細明體), where its
    // Traditional Chinese fonts are installed. Elsewhere the stand-ins are faces that every
    // Windows 10 and 11 has: for the captions Times New Roman, a proportional serif as
    // PMingLiU's Latin letters are; for the log Courier New, fixed-width as MingLiU is.
    QFont::insertSubstitutions(QStringLiteral("新細明體"),
                               {QStringLiteral("PMingLiU"), QStringLiteral("Times New Roman")});
    QFont::insertSubstitutions(QStringLiteral("細明體"),
                               {QStringLiteral("MingLiU"), QStringLiteral("Courier New")});
#else
    // The captions are set in a Ming face. On Linux cwTeX's stands in: its Latin letters are a
    // proportional serif, as the design face's, with l and 1 apart (AR PL UMing draws every
    // letter at one width, and its l reads as 1), and its lines are as tall, so rows keep their
    // places.
    QFont::insertSubstitution(QStringLiteral("新細明體"), QStringLiteral("cwTeXMing"));
    // The log's fixed-width Ming face: AR PL UMing, whose glyphs stay within their lines (the
    // log draws each line apart, and cwTeX's slash reaches below its line).
    QFont::insertSubstitution(QStringLiteral("細明體"), QStringLiteral("AR PL UMing TW"));
#endif
    QFont font(QStringLiteral("新細明體"));
    font.setPointSize(12);
    setFont(font);

    setWindowTitle(QStringLiteral("ORVEX Duve2.0.0"));
    setWindowIcon(QIcon(QStringLiteral(":/duve.svg")));
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(128, 255, 255));
    setPalette(background);
    setAutoFillBackground(true);

    // The design's window area; it scrolls where the screen is smaller.
    auto *page = new QWidget(this);
    page->resize(12975 * logicalDpiX() / 1440, 10395 * logicalDpiY() / 1440);
    buildControls(page);
    // Whole captions before exact places: the substitute face draws wider than the design's.
    app::makeRoom(page);
    app::fitToScreen(this, page);
    MSComm1 = new MSComm([this](int n) { return comPortDevice(n); }, this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));

    // Typing in the Port box rescans once the typing pauses, not at every key: a
    // scan opens every port, and each open resets some boards and may wait on a
    // driver (a close at 110 baud takes most of a second). A pause is longer
    // than the gap between the keys of a steady typist (about 200 ms at 60
    // words a minute) and short enough to feel at once.
    typingPause = new QTimer(this);
    typingPause->setSingleShot(true);
    typingPause->setInterval(400);
    connect(Combo9->lineEdit(), &QLineEdit::textEdited, typingPause, qOverload<>(&QTimer::start));
    connect(typingPause, &QTimer::timeout, this, &Form1::Combo9_Change);
    connect(MSComm1, &MSComm::OnComm, this, &Form1::MSComm1_OnComm);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    quietLine = new QTimer(this);
    quietLine->setSingleShot(true);
    quietLine->setInterval(measure::QuietMs);
    connect(quietLine, &QTimer::timeout, this, [this] { takeAnswers(true); });
    noAnswer = new QTimer(this);
    noAnswer->setSingleShot(true);
    noAnswer->setTimerType(Qt::PreciseTimer); // a coarse one may run 5 % over, and report so
    noAnswer->setInterval(measure::AnswerWaitMs);
    connect(noAnswer, &QTimer::timeout, this,
            [this] { logMessage(measure::noAnswerNote(*asked, silence)); });
    uptime.start();
    const std::pair<QPushButton *, void (Form1::*)()> buttons[]
        = {{Command1, &Form1::Command1_Click},  {Command2, &Form1::Command2_Click},
           {Command3, &Form1::Command3_Click},  {Command4, &Form1::Command4_Click},
           {Command7, &Form1::Command7_Click},  {Command5, &Form1::Command5_Click},
           {Command8, &Form1::Command8_Click},  {Command9, &Form1::Command9_Click},
           {Command10, &Form1::Command10_Click}};
    for (const auto &[button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);
    // Each read button reads its row of the channel table.
    for (qsizetype i = 0; i < measure::ChannelCount; ++i)
        connect(this->*app::ChannelControlList[i].button, &QPushButton::clicked, this,
                [this, i] { readChannel(int(i)); });
    connect(MSComm1, &MSComm::PortLost, this, &Form1::portLost);
    connect(MSComm1, &MSComm::WriteFailed, this, &Form1::logMessage);
    connect(MSComm1, &MSComm::ReadFailed, this, &Form1::logMessage);
    connect(MSComm1, &MSComm::Opened, this, &Form1::connected);
}
