#include "app/channelcontrols.h"
#include "app/form1.h"
#include "app/room.h"
#include "modbus/checksum.h"
#include "tests/support/holder.h"
#include "tests/support/rig.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <memory>

namespace {

// The text a control shows: a caption, a box's text, a list's edit text.
QString shownText(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *c = qobject_cast<QComboBox *>(w))
        return c->currentText();
    if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        return p->toPlainText();
    return {};
}

// Whether a control shows a text whole in its font: within the label or the button's face,
// or in its box unscrolled (with the caret at the end, a text too wide starts further left
// than in an empty box) and with its line inside the box.
bool showsWhole(QWidget *w, const QString &text)
{
    const auto holds = [&](const QRect &r, int flags) {
        return r.contains(w->fontMetrics().boundingRect(r, flags, text));
    };
    if (auto *label = qobject_cast<QLabel *>(w))
        return holds(label->contentsRect(), label->alignment());
    if (auto *button = dynamic_cast<app::WrappingButton *>(w))
        return holds(button->captionFace(), Qt::AlignCenter | Qt::TextWordWrap);
    if (auto *frame = qobject_cast<QGroupBox *>(w))
        return frame->minimumSizeHint().width() <= frame->width();
    auto *combo = qobject_cast<QComboBox *>(w);
    auto *edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit *>(w);
    const auto caret = [edit](const QString &t) {
        edit->setText(t);
        edit->setCursorPosition(t.size());
        edit->grab(); // a paint sets the scroll
        edit->setCursorPosition(0);
        return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    };
    const QRect start = edit ? caret(text) : QRect();
    return !edit
           || (start.x() == caret({}).x() && start.top() >= 0 && start.bottom() < edit->height());
}

QScreen *screenNamed(const QString &name)
{
    for (QScreen *screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    qFatal("no screen %s: tst_app runs with the screens of tests/app/screens.json",
           qPrintable(name));
}

QList<int> itemValues(QComboBox *c)
{
    QList<int> values;
    for (int i = 0; i < c->count(); ++i)
        values << c->itemData(i).toInt();
    return values;
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // A run with a face of other metrics standing in for the Ming one.
        if (const QString face = qEnvironmentVariable("DUVE_TEST_FACE"); !face.isEmpty()) {
            QVERIFY2(QFontDatabase::hasFamily(face), qPrintable(face));
            QFont::insertSubstitution(QStringLiteral("新細明體"), face);
            QFont::insertSubstitution(QStringLiteral("細明體"), face); // the log's
            // A face in more than one foundry's files is named with its foundry: "C059 [UKWN]".
            QCOMPARE(QFontInfo(QFont(QStringLiteral("新細明體"))).family(),
                     QFontInfo(QFont(face)).family());
        }
    }

    // Two screens of 1920 x 1600 (tests/app/screens.json), the second at a scale of 2.5,
    // where the window is larger than the screen.
    void window_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<bool>("fits");
        QTest::newRow("large screen") << "large" << true;
        QTest::newRow("screen smaller than the window") << "dense" << false;
    }

    void window()
    {
        QFETCH(QString, screen);
        QFETCH(bool, fits);
        Form1 form(noSystemPorts);
        QCOMPARE(form.windowTitle(), QStringLiteral("ORVEX Duve2.0.0"));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(128, 255, 255));
        QVERIFY(!form.windowIcon().isNull());
        QCOMPARE(form.font().family(), QStringLiteral("新細明體"));
        QCOMPARE(form.font().pointSizeF(), 12.0);
        QCOMPARE(form.Timer1->interval(), 1000);
        QVERIFY(!form.Timer1->isActive());

        QScreen *on = screenNamed(screen), *large = screenNamed("large");
        form.move(on->availableGeometry().topLeft());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.screen(), on);
        const QSize designed(865, 693);
        QCOMPARE(form.maximumSize(), designed);
        auto *area = form.findChild<QScrollArea *>();
        if (fits) {
            QCOMPARE(form.size(), designed);
            QCOMPARE(form.minimumSize(), designed);
            QVERIFY(!area->verticalScrollBar()->isVisible());
            return;
        }
        // Within the screen, frame and all; scroll bars reach the rest, and it can be made larger.
        QVERIFY(on->availableGeometry().contains(form.frameGeometry()));
        QVERIFY(area->verticalScrollBar()->isVisible() && area->horizontalScrollBar()->isVisible());
        QVERIFY(form.height() < designed.height() && form.minimumHeight() < form.height());
        // On a larger screen it takes its designed size.
        form.move(large->availableGeometry().topLeft());
        QTRY_COMPARE(form.size(), designed);
        QVERIFY(large->availableGeometry().contains(form.frameGeometry()));
    }

    void controls_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("disabled");
        QTest::addColumn<QStringList>("alsoShows");

        const auto row = [](const char *name, const char *kind, const char *parent,
                            const QString &text, int l, int t, int w, int h, bool hidden = false,
                            bool disabled = false, const QStringList &alsoShows = {}) {
            QTest::newRow(name) << kind << parent << text << QRect(l, t, w, h) << hidden << disabled
                                << alsoShows;
        };
        const char *F = "QGroupBox", *B = "QPushButton", *L = "QLabel", *T = "QLineEdit",
                   *C = "QComboBox";
        row("Frame1", F, "Form1", "COM", 360, 360, 12375, 1215);
        row("Frame5", F, "Form1", "Device Configure", 360, 1800, 12375, 1215);
        row("Frame3", F, "Form1", "Voltage", 360, 3240, 6135, 1695);
        row("Frame4", F, "Form1", "Current", 6600, 3240, 6135, 1695);
        row("Command7", B, "Form1", "Auto Scan", 360, 5040, 1575, 375, true, true);
        row("Command6", B, "Form1", "One shot", 2160, 5040, 1335, 375, true, true);
        row("Label23", L, "Form1", "Register", 6600, 5040, 1095, 375, true, true);
        row("Text10", T, "Form1", "0004", 7680, 5040, 735, 390, true, true);
        row("Label24", L, "Form1", "Value", 8640, 5040, 855, 375, true, true);
        row("Text23", T, "Form1", "00000", 9480, 5040, 855, 435, true, true);
        row("Frame6", F, "Form1", "VO Configure", 360, 5520, 12375, 1455);
        row("Command4", B, "Form1", "Clear", 360, 7080, 1095, 375);
        row("Text5", T, "Form1", "Text5", 10320, 7080, 2175, 375, true);
        row("Text1", "QPlainTextEdit", "Form1", "", 360, 7560, 12375, 2655);
        row("Frame2", F, "Form1", QStringLiteral("命令"), 360, 7680, 9975, 975, true, true);

        row("Label1", L, "Frame1", "Port", 120, 360, 615, 255);
        row("Combo9", C, "Frame1", "", 120, 720, 1335, 360, false, false, {"COM 9"});
        row("Label2", L, "Frame1", "Baudrate", 1560, 360, 735, 255);
        row("Combo2", C, "Frame1", "", 1560, 720, 975, 360);
        row("Label3", L, "Frame1", "Length", 2760, 360, 735, 255);
        row("Combo3", C, "Frame1", "", 2760, 720, 735, 360, false, true);
        row("Label4", L, "Frame1", "Parity", 3720, 360, 975, 255);
        row("Combo4", C, "Frame1", "", 3720, 720, 735, 360);
        row("Label5", L, "Frame1", "Stop", 4680, 360, 615, 255);
        row("Combo5", C, "Frame1", "", 4680, 720, 735, 360);
        row("Label7", L, "Frame1", "Device ID(01~F7)", 5640, 360, 1815, 255);
        row("Text8", T, "Frame1", "01", 5640, 720, 495, 270);
        row("Command1", B, "Frame1", "Connect", 8040, 720, 1455, 375, false, false, {"Disconnect"});

        row("Label13", L, "Frame5", "Baudrate", 240, 360, 855, 255);
        row("Combo1", C, "Frame5", "", 240, 720, 1335, 360);
        row("Label14", L, "Frame5", "Device ID(01~F7)", 1680, 360, 1935, 255);
        row("Text14", T, "Frame5", "01", 1680, 720, 735, 270);
        row("Command5", B, "Frame5", "Setup Baudrate", 3480, 480, 1095, 615);
        row("Label25", L, "Frame5", "Length", 5880, 360, 735, 255);
        row("Combo6", C, "Frame5", "", 5880, 720, 735, 360, false, true);
        row("Label26", L, "Frame5", "Parity", 6840, 360, 615, 255);
        row("Combo7", C, "Frame5", "", 6840, 720, 735, 360);
        row("Label27", L, "Frame5", "Stop", 7800, 360, 735, 375);
        row("Combo8", C, "Frame5", "", 7800, 720, 735, 360);
        row("Command8", B, "Frame5", "Setup Configure", 8760, 480, 1095, 615);

        // A channel's button and box take the next place in the frame of its kind.
        QHash<char, int> placed;
        for (qsizetype i = 0; i < measure::ChannelCount; ++i) {
            const char *caption = measure::Channels[i].caption;
            const char *frame = caption[0] == 'V' ? "Frame3" : "Frame4";
            const int left = 240 + placed[caption[0]]++ * 1200;
            const app::ChannelControls &c = app::ChannelControlList[i];
            row(c.buttonName, B, frame, caption, left, 1080, 855, 375);
            row(c.boxName, T, frame, "00.000", left, 480, 855, 495, false, true, {"65.535"});
        }

        row("Label28", L, "Frame6", "VO1(0~10000)", 240, 360, 2055, 255);
        row("Text3", T, "Frame6", "0", 240, 720, 1455, 375, false, false, {"10000"});
        row("Command9", B, "Frame6", "Setup VO1", 1800, 720, 855, 615);
        row("Label29", L, "Frame6", "VO2(0~10000)", 3240, 360, 2055, 375);
        row("Text4", T, "Frame6", "0", 3240, 720, 1455, 375, false, false, {"10000"});
        row("Command10", B, "Frame6", "Setup VO2", 4800, 720, 855, 615);
        row("Label30", L, "Frame6", "Ex. Setup Value 1500 means 1.5V ", 6120, 360, 5655, 255, false,
            true);

        row("Label6", L, "Frame2", "STX", 360, 360, 615, 255, true, true);
        row("Text7", T, "Frame2", ":", 360, 720, 495, 270, true, true);
        row("Label8", L, "Frame2", QStringLiteral("功能碼"), 2640, 360, 735, 375);
        row("Text9", T, "Frame2", "03", 2640, 720, 735, 270, false, true);
        row("Label9", L, "Frame2", QStringLiteral("暫存器位址"), 3960, 360, 975, 375);
        row("Label10", L, "Frame2", QStringLiteral("資料(長度)"), 5400, 360, 1095, 255, true, true);
        row("Text11", T, "Frame2", "0001", 5400, 720, 735, 270);
        row("Label11", L, "Frame2", "LRC", 360, 1320, 615, 255);
        row("Text12", T, "Frame2", "", 360, 1560, 735, 270);
        row("Command2", B, "Frame2", "ASCII", 1440, 1560, 855, 255, true, true);
        row("Label12", L, "Frame2", "CRC16", 3240, 1200, 855, 255);
        row("Text13", T, "Frame2", "", 3240, 1560, 855, 270);
        row("Command3", B, "Frame2", "RTU", 4560, 1560, 1095, 255);
    }

    void controls()
    {
        QFETCH(QString, kind);
        QFETCH(QString, parent);
        QFETCH(QString, text);
        QFETCH(QRect, twips);
        QFETCH(bool, hidden);
        QFETCH(bool, disabled);
        QFETCH(QStringList, alsoShows);

        if (!built) { // one window serves every row: building one per row costs seconds
            built = std::make_unique<Form1>(noSystemPorts);
            built->setObjectName("Form1");
        }
        Form1 &form = *built;
        auto *w = form.findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(w);
        QVERIFY(w->inherits(kind.toLatin1()));
        QWidget *container = w->parentWidget();
        // What the design puts on the window lies on the page that the window scrolls.
        const bool onPage = container == form.findChild<QScrollArea *>()->widget();
        QCOMPARE(onPage ? QStringLiteral("Form1") : container->objectName(), parent);
        QCOMPARE(shownText(w), text);
        QCOMPARE(w->isHidden(), hidden);
        // The control's own flag, whatever its frame's state.
        QCOMPARE(w->testAttribute(Qt::WA_ForceDisabled), disabled);

        // Controls move right along their row and down with it only; what is never shown
        // stays put.
        const QRect design(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
        QVERIFY(w->y() >= design.y());
        QVERIFY(w->x() >= design.x());
        if (!w->isVisibleTo(&form)) {
            QCOMPARE(w->geometry(), design);
            return;
        }
        // Shown: every text it shows is whole, and it overlaps nothing.
        if (auto *c = qobject_cast<QComboBox *>(w))
            alsoShows << itemTexts(c);
        for (const QString &t : QStringList{text} + alsoShows)
            QVERIFY2(showsWhole(w, t), qPrintable(t));
        for (QWidget *other : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(other == w || other->isHidden()
                         || !other->geometry().intersects(w->geometry()),
                     qPrintable(other->objectName()));
        QVERIFY(QRect(QPoint(), container->size()).contains(w->geometry()));
        if (auto *frame = qobject_cast<QGroupBox *>(container))
            QVERIFY(w->y() >= frame->fontMetrics().height()); // below the frame's caption
    }

    void fontsAndColours()
    {
        Form1 form(noSystemPorts);
        const auto bold1425
            = [](QWidget *w) { return w->font().bold() && w->font().pointSizeF() == 14.25; };
        for (QWidget *w : std::initializer_list<QWidget *>{
                 form.Frame1, form.Frame2, form.Frame3, form.Frame4, form.Frame5, form.Frame6,
                 form.Command4, form.Command6, form.Command7, form.Label23, form.Label24,
                 form.Text10, form.Text23})
            QVERIFY2(bold1425(w), qPrintable(w->objectName()));
        // A frame's caption font is not its children's.
        for (QWidget *w :
             std::initializer_list<QWidget *>{form.Label1, form.Combo9, form.Command1, form.Text15,
                                              form.Command11, form.Text3, form.Label30}) {
            QVERIFY2(!w->font().bold(), qPrintable(w->objectName()));
            QCOMPARE(w->font().pointSizeF(), 12.0);
        }
        for (QWidget *w : form.Frame2->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(!w->font().bold(), qPrintable(w->objectName()));
            QCOMPARE(w->font().pointSizeF(), 9.0);
        }
        // The Ming face is drawn with cwTeX's standing in for it.
        QCOMPARE(QFontInfo(form.Label1->font()).family(), QStringLiteral("cwTeXMing"));

        // Colours hold in every state, the display boxes being disabled.
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            QCOMPARE(form.Text10->palette().color(group, QPalette::Base), QColor(255, 255, 0));
            QCOMPARE(form.Text23->palette().color(group, QPalette::Base), QColor(255, 128, 255));
            const QList<QLineEdit *> boxes = channelBoxes(form);
            for (int i = 0; i < boxes.size(); ++i) // green for the voltages, pink for the currents
                QCOMPARE(boxes[i]->palette().color(group, QPalette::Base),
                         measure::Channels[i].caption[0] == 'V' ? QColor(0, 255, 0)
                                                                : QColor(255, 192, 192));
            QCOMPARE(form.Label30->palette().color(group, QPalette::WindowText), QColor(255, 0, 0));
        }
    }

    void log()
    {
        Form1 form(noSystemPorts);
        QCOMPARE(form.Text1->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(form.Text1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(form.Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    // The log draws lines from images of them; what it shows must be what the editor would draw.
    void logLooksAsDrawnByTheEditor_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("linesSincePainted");
        QTest::addColumn<int>("down");
        QTest::addColumn<int>("right");
        QTest::addColumn<bool>("selection");
        QTest::addColumn<bool>("disabled");
        QTest::addColumn<QStringList>("texts"); // what follows the time, line by line in turn
        const QStringList answer{QStringLiteral("receive  01 03 02 05 DC BA 8D")};
        // A module flooding the line: receive lines of the longest length.
        const QStringList flood{QLatin1String("receive  ")
                                + QByteArray(10900, 'U').toHex(' ').toUpper()};
        // Marks above and below the line, from a localized system message.
        const QStringList localized{
            answer[0], QStringLiteral("COM 3 (/dev/ttyUSB0): لا يوجد مثل هذا الجِهَازِ أو العُنْوَانِ"),
            QStringLiteral("COM 3 (/dev/ttyUSB0): ไม่มีอุปกรณ์หรือที่อยู่ดังกล่าว"), answer[0],
            QStringLiteral("COM 3 (/dev/ttyUSB0): Không có thiết bị hoặc địa chỉ như vậy")};
        QTest::newRow("a few lines") << 3 << 1 << 0 << 0 << false << false << answer;
        QTest::newRow("full, more since") << 300 << 20 << 0 << 0 << false << false << answer;
        QTest::newRow("scrolled down") << 300 << 2 << 40 << 0 << false << false << answer;
        QTest::newRow("scrolled right") << 300 << 2 << 0 << 100 << false << false << answer;
        QTest::newRow("a selection") << 300 << 2 << 0 << 0 << true << false << answer;
        QTest::newRow("disabled") << 300 << 2 << 0 << 0 << false << true << answer;
        QTest::newRow("a flood") << 16 << 1 << 0 << 0 << false << false << flood;
        QTest::newRow("a long line, scrolled far right")
            << 30 << 1 << 0 << 150000 << false << false << (answer + flood);
        QTest::newRow("localized") << 30 << 2 << 0 << 0 << false << false << localized;
        QTest::newRow("localized, scrolled") << 30 << 2 << 3 << 0 << false << false << localized;
    }

    void logLooksAsDrawnByTheEditor()
    {
        QFETCH(int, lines);
        QFETCH(int, linesSincePainted);
        QFETCH(int, down);
        QFETCH(int, right);
        QFETCH(bool, selection);
        QFETCH(bool, disabled);
        QFETCH(QStringList, texts);
        Form1 form(noSystemPorts);
        QPlainTextEdit editor;
        editor.setFont(form.Text1->font());
        editor.resize(form.Text1->size());
        editor.setLineWrapMode(QPlainTextEdit::NoWrap);
        editor.setReadOnly(true);
        editor.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        editor.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        const auto line = [&texts](int i) {
            return QStringLiteral("2026/12/07 10:15:%1 %2\r\n")
                .arg(i % 60)
                .arg(texts[i % texts.size()]);
        };
        for (int i = 0; i < lines; ++i)
            form.prependLog(line(i));
        form.Text1->viewport()->grab();
        for (int i = 0; i < linesSincePainted; ++i)
            form.prependLog(line(lines + i));
        editor.setPlainText(form.Text1->toPlainText());
        // Shown, though not on the screen: each grab of a hidden editor lays it out anew and
        // scrolls it back to the left.
        editor.setAttribute(Qt::WA_DontShowOnScreen);
        editor.show();
        for (QPlainTextEdit *log : {static_cast<QPlainTextEdit *>(form.Text1), &editor}) {
            log->verticalScrollBar()->setValue(down);
            log->horizontalScrollBar()->setValue(right);
            if (selection) {
                QTextCursor cursor(log->document()->findBlockByNumber(1));
                cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
                log->setTextCursor(cursor);
            }
            log->setDisabled(disabled);
        }
        QCOMPARE(form.Text1->viewport()->grab().toImage(), editor.viewport()->grab().toImage());
    }

    void accessibleNames()
    {
        Form1 form(noSystemPorts);
        const QList<std::pair<QLabel *, QWidget *>> buddies{
            {form.Label1, form.Combo9},  {form.Label2, form.Combo2},  {form.Label3, form.Combo3},
            {form.Label4, form.Combo4},  {form.Label5, form.Combo5},  {form.Label7, form.Text8},
            {form.Label13, form.Combo1}, {form.Label14, form.Text14}, {form.Label25, form.Combo6},
            {form.Label26, form.Combo7}, {form.Label27, form.Combo8}, {form.Label28, form.Text3},
            {form.Label29, form.Text4},  {form.Label23, form.Text10}, {form.Label24, form.Text23},
            {form.Label6, form.Text7},   {form.Label8, form.Text9},   {form.Label10, form.Text11},
            {form.Label11, form.Text12}, {form.Label12, form.Text13}};
        // A list too is named by its label, not by its value as Qt names it on Linux.
        for (const auto &[label, field] : buddies) {
            QCOMPARE(label->buddy(), field);
            QVERIFY(field->accessibleName().isEmpty());
            QCOMPARE(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name),
                     label->text());
        }
        QCOMPARE(form.Text15->accessibleName(), QStringLiteral("V1 value"));
        QCOMPARE(form.Text22->accessibleName(), QStringLiteral("I4 value"));
        QVERIFY(!form.Text1->accessibleName().isEmpty());
        // Captions speak for buttons, so they must follow the caption.
        for (QPushButton *b : form.findChildren<QPushButton *>())
            QVERIFY2(b->accessibleName().isEmpty(), qPrintable(b->objectName()));
        // A text box's text is one run of attributes: Orca joins the runs to speak it, and
        // speaks "01" as "0" where each character is a run of none.
        int start = -1, end = -1;
        QAccessible::queryAccessibleInterface(form.Text8)
            ->textInterface()
            ->attributes(1, &start, &end);
        QCOMPARE(std::pair(start, end), std::pair(0, 2));
        // The window is a frame to a screen reader, whose read-title command then speaks it.
        QCOMPARE(QAccessible::queryAccessibleInterface(&form)->role(), QAccessible::Window);
    }

    void keyboard_data() { window_data(); }

    void keyboard()
    {
        QFETCH(QString, screen);
        Form1 form(noSystemPorts);
        form.Form_Load();
        form.move(screenNamed(screen)->availableGeometry().topLeft());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        // Tab from the first focus on, as a screen reader names each stop (on Linux a list's
        // name is its text, and the label it is labelled by comes first among its relations).
        const QString id = "Device ID(01~F7)";
        QStringList expected{"Port",    "Baudrate",       "Parity", "Stop",           id,
                             "Connect", "Baudrate",       id,       "Setup Baudrate", "Parity",
                             "Stop",    "Setup Configure"};
        for (const measure::Channel &channel : measure::Channels)
            expected << channel.caption;
        expected << "VO1(0~10000)"
                 << "Setup VO1"
                 << "VO2(0~10000)"
                 << "Setup VO2"
                 << "Clear"
                 << "Traffic log"
                 << "Port";
        // Each stop is in sight, whole or as much as the view can show, also where the window is
        // smaller than its page.
        const QWidget *view = form.findChild<QScrollArea *>()->viewport();
        QStringList heard;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QWidget *focus = QApplication::focusWidget();
            QAccessibleInterface *stop = QAccessible::queryAccessibleInterface(focus);
            if (stop->role() == QAccessible::ComboBox)
                stop = stop->relations(QAccessible::Label).first().first;
            heard << stop->text(QAccessible::Name);
            if (auto *list = qobject_cast<QComboBox *>(focus->parentWidget()))
                focus = list;
            const QRect place(focus->mapTo(view, QPoint()), focus->size());
            QCOMPARE(view->rect().intersected(place).size(), place.size().boundedTo(view->size()));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(heard, expected);

        // Space and Enter press the button that has the focus.
        QSignalSpy presses(form.Command4, &QPushButton::clicked);
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(form.Command4, key);
        QCOMPARE(presses.count(), 3);
    }

    void lists()
    {
        Form1 form(noSystemPorts);
        // The module's rates with their codes, the first seven as the module was made.
        QStringList bauds;
        QList<int> baudCodes;
        for (const modbus::BaudRate &b : modbus::BaudRates)
            bauds << QString::number(b.rate), baudCodes << b.code;
        QCOMPARE(bauds.first(7),
                 QStringList({"2400", "4800", "9600", "14400", "19200", "38400", "115200"}));
        QCOMPARE(baudCodes.first(7), QList<int>({1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(itemTexts(form.Combo1), bauds);
        QCOMPARE(itemTexts(form.Combo2), bauds);
        QCOMPARE(itemValues(form.Combo1), baudCodes);
        QCOMPARE(itemValues(form.Combo2), baudCodes);
        QCOMPARE(itemTexts(form.Combo3), QStringList({"5", "6", "7", "8"}));
        QCOMPARE(itemTexts(form.Combo6), QStringList({"5", "6", "7", "8"}));
        QCOMPARE(itemValues(form.Combo3), QList<int>({1, 2, 3, 4}));
        QCOMPARE(itemValues(form.Combo6), QList<int>({0, 2, 4, 6}));
        QCOMPARE(itemTexts(form.Combo4), QStringList({"n", "e", "o"}));
        QCOMPARE(itemTexts(form.Combo7), QStringList({"n", "e", "o"}));
        QCOMPARE(itemValues(form.Combo4), QList<int>({1, 2, 3}));
        QCOMPARE(itemValues(form.Combo7), QList<int>({0, 2, 3}));
        QCOMPARE(itemTexts(form.Combo5), QStringList({"1", "2"}));
        QCOMPARE(itemTexts(form.Combo8), QStringList({"1", "2"}));
        QCOMPARE(itemValues(form.Combo5), QList<int>({1, 2}));
        QCOMPARE(itemValues(form.Combo8), QList<int>({0, 8}));
        QCOMPARE(form.Combo9->count(), 0);
    }

    void typingFollowsTheList()
    {
        Form1 form(noSystemPorts);
        form.Form_Load();
        QComboBox *c = form.Combo2;
        QVERIFY(c->isEditable());
        QCOMPARE(c->completer(), nullptr);
        c->lineEdit()->selectAll();
        const int count = c->count();
        QTest::keyClicks(c->lineEdit(), "1234");
        QCOMPARE(c->currentText(), QStringLiteral("1234"));
        QCOMPARE(c->currentIndex(), -1);
        QTest::keyClick(c->lineEdit(), Qt::Key_Return);
        QCOMPARE(c->count(), count); // Enter never adds the typed text
        c->lineEdit()->selectAll();
        QTest::keyClicks(c->lineEdit(), "9600");
        QCOMPARE(c->currentIndex(), 2);
        QCOMPARE(c->currentText(), QStringLiteral("9600"));
    }

    void loadFillsTablesAndDefaults()
    {
        PortFolder folder;
        Form1 form(noSystemPorts);
        form.Form_Load();
        QCOMPARE(form.CrcHiTable, modbus::crcHiTable());
        QCOMPARE(form.CrcLoTable, modbus::crcLoTable());
        QCOMPARE(form.CrcHiTable[1], 0xC1);
        QCOMPARE(form.CrcLoTable[1], 0xC0);
        // No port at all: an empty list, the others at their defaults.
        QCOMPARE(form.Combo9->count(), 0);
        QCOMPARE(form.Combo9->currentIndex(), -1);
        QCOMPARE(form.Combo9->currentText(), QString());
        const QList<std::pair<QComboBox *, int>> defaults{
            {form.Combo1, 5}, {form.Combo2, 5}, {form.Combo3, 3}, {form.Combo4, 0},
            {form.Combo5, 0}, {form.Combo6, 3}, {form.Combo7, 0}, {form.Combo8, 0}};
        for (const auto &[combo, index] : defaults) {
            QCOMPARE(combo->currentIndex(), index);
            QCOMPARE(combo->currentText(), combo->itemText(index));
        }
        QCOMPARE(form.Combo2->currentText() + "," + form.Combo4->currentText() + ","
                     + form.Combo3->currentText() + "," + form.Combo5->currentText(),
                 QStringLiteral("38400,n,8,1"));
        QCOMPARE(form.Command1->text(), QStringLiteral("Connect"));
        QVERIFY(!form.Timer1->isActive());
    }

    void loadScansThePortFolder()
    {
        PortFolder folder;
        PtyPair com2, com5, held;
        QVERIFY(com2.isValid() && com5.isValid() && held.isValid());
        QVERIFY(folder.link(2, com2.slavePath()));
        QVERIFY(folder.link(5, com5.slavePath()));
        QVERIFY(folder.link(3, held.slavePath()));
        QVERIFY(folder.link(7, "/dev/duve-no-such-device"));

        Holder holder("flock", held.slavePath());
        QVERIFY(holder.held);

        Form1 form(noSystemPorts);
        form.Form_Load();
        QCOMPARE(itemTexts(form.Combo9), QStringList({"COM 2", "COM 5"}));
        QCOMPARE(itemValues(form.Combo9), QList<int>({2, 5}));
        QCOMPARE(form.Combo9->currentIndex(), 0);
        QCOMPARE(form.Combo9->currentText(), QStringLiteral("COM 2"));
        QCOMPARE(form.Combo9->itemData(0, Qt::ToolTipRole).toString(), com2.slavePath());
    }

private:
    std::unique_ptr<Form1> built;
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
