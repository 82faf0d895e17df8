// The window's controls with their design values: names, captions, texts,
// lists, fonts, colours, start states and places (in twips, 1440 to the inch).
#include "app/channelcontrols.h"
#include "app/combo.h"
#include "app/form1.h"
#include "app/logview.h"
#include "app/room.h"
#include "modbus/protocol.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

namespace {

const QString MingFace = QStringLiteral("新細明體");
const QString FixedMingFace = QStringLiteral("細明體");

QFont mingFont(qreal points, bool bold = false)
{
    QFont font(MingFace);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    return font;
}

const QFont &captionFont()
{
    static const QFont font = mingFont(14.25, true);
    return font;
}

enum Start { Shown = 0, Hidden = 1, Disabled = 2 };

template<typename W>
W *place(W *widget, const char *name, int left, int top, int width, int height, int start)
{
    widget->setObjectName(QLatin1String(name));
    const int x = widget->logicalDpiX(), y = widget->logicalDpiY();
    widget->setGeometry(left * x / 1440, top * y / 1440, width * x / 1440, height * y / 1440);
    // Children of a frame keep the window's font, not the frame's caption font.
    if (qobject_cast<QGroupBox *>(widget->parentWidget()))
        widget->setFont(mingFont(12));
    if (start & Hidden)
        widget->hide();
    if (start & Disabled)
        widget->setEnabled(false);
    return widget;
}

QGroupBox *frame(QWidget *parent, const char *name, const QString &caption, int l, int t, int w,
                 int h, int start = Shown)
{
    auto *box = place(new QGroupBox(caption, parent), name, l, t, w, h, start);
    box->setFont(captionFont());
    return box;
}

QLabel *label(QWidget *parent, const char *name, const QString &caption, int l, int t, int w, int h,
              int start = Shown)
{
    return place(new QLabel(caption, parent), name, l, t, w, h, start);
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, int l, int t, int w,
                    int h, int start = Shown)
{
    auto *b = place(new app::WrappingButton(caption, parent), name, l, t, w, h, start);
    b->setAutoDefault(true); // Enter presses the button that has the focus, as Space does
    return b;
}

QLineEdit *textBox(QWidget *parent, const char *name, const QString &text, int l, int t, int w,
                   int h, int start = Shown)
{
    return place(new QLineEdit(text, parent), name, l, t, w, h, start);
}

QComboBox *combo(QWidget *parent, const char *name, const QList<std::pair<QString, int>> &items,
                 int l, int t, int w, int h, int start = Shown)
{
    auto *c = place(new QComboBox(parent), name, l, t, w, h, start);
    app::makeEditableList(c, items);
    return c;
}

// A disabled box must still show its colour, so set it for every colour group;
// its value stays black so that it reads well on the colour.
void setBackground(QWidget *widget, QColor colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Text, Qt::black);
    widget->setPalette(palette);
}

// The module's rates, each with its code as the item's value.
QList<std::pair<QString, int>> baudItems()
{
    QList<std::pair<QString, int>> items;
    for (const modbus::BaudRate &b : modbus::BaudRates)
        items.append({QString::number(b.rate), b.code});
    return items;
}

} // namespace

void Form1::buildControls(QWidget *page)
{
    // Placed directly on the window's page.
    Frame1 = frame(page, "Frame1", "COM", 360, 360, 12375, 1215);
    Frame5 = frame(page, "Frame5", "Device Configure", 360, 1800, 12375, 1215);
    Frame3 = frame(page, "Frame3", "Voltage", 360, 3240, 6135, 1695);
    Frame4 = frame(page, "Frame4", "Current", 6600, 3240, 6135, 1695);
    Command7 = button(page, "Command7", "Auto Scan", 360, 5040, 1575, 375, Hidden | Disabled);
    Command6 = button(page, "Command6", "One shot", 2160, 5040, 1335, 375, Hidden | Disabled);
    Label23 = label(page, "Label23", "Register", 6600, 5040, 1095, 375, Hidden | Disabled);
    Text10 = textBox(page, "Text10", "0004", 7680, 5040, 735, 390, Hidden | Disabled);
    Label24 = label(page, "Label24", "Value", 8640, 5040, 855, 375, Hidden | Disabled);
    Text23 = textBox(page, "Text23", "00000", 9480, 5040, 855, 435, Hidden | Disabled);
    Frame6 = frame(page, "Frame6", "VO Configure", 360, 5520, 12375, 1455);
    Command4 = button(page, "Command4", "Clear", 360, 7080, 1095, 375);
    Text5 = textBox(page, "Text5", "Text5", 10320, 7080, 2175, 375, Hidden);
    Text1 = place(new app::LogView(page), "Text1", 360, 7560, 12375, 2655, Shown);
    Frame2 = frame(page, "Frame2", QStringLiteral("命令"), 360, 7680, 9975, 975, Hidden | Disabled);

    for (QPushButton *b : {Command4, Command6, Command7})
        b->setFont(captionFont());
    for (QWidget *w : std::initializer_list<QWidget *>{Label23, Label24, Text10, Text23})
        w->setFont(captionFont());
    setBackground(Text10, QColor(255, 255, 0));
    setBackground(Text23, QColor(255, 128, 255));
    Label23->setBuddy(Text10);
    Label24->setBuddy(Text23);
    Text5->setAccessibleName("Log line");
    // Never shown: its text needs no shaping.
    QFont unshaped;
    unshaped.setStyleStrategy(QFont::PreferNoShaping);
    Text5->setFont(unshaped);
    Text1->setReadOnly(true);
    // Read with the keyboard too: the caret walks the lines, a screen reader follows it.
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->setUndoRedoEnabled(false); // an undo history would double the log's memory
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setAccessibleName("Traffic log");
    // The log holds digits, Latin letters and the tool's own messages, which need no shaping;
    // the face's glyphs are drawn as they are, once per character, a good part faster. Its face
    // is the fixed-width Ming one, so that the bytes of its lines stand in columns.
    QFont logFont = unshaped;
    logFont.setFamily(FixedMingFace);
    Text1->setFont(logFont);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);

    // "COM"
    Label1 = label(Frame1, "Label1", "Port", 120, 360, 615, 255);
    Combo9 = combo(Frame1, "Combo9", {}, 120, 720, 1335, 360);
    Label2 = label(Frame1, "Label2", "Baudrate", 1560, 360, 735, 255);
    Combo2 = combo(Frame1, "Combo2", baudItems(), 1560, 720, 975, 360);
    Label3 = label(Frame1, "Label3", "Length", 2760, 360, 735, 255);
    Combo3 = combo(Frame1, "Combo3", {{"5", 1}, {"6", 2}, {"7", 3}, {"8", 4}}, 2760, 720, 735, 360,
                   Disabled);
    Label4 = label(Frame1, "Label4", "Parity", 3720, 360, 975, 255);
    Combo4 = combo(Frame1, "Combo4", {{"n", 1}, {"e", 2}, {"o", 3}}, 3720, 720, 735, 360);
    Label5 = label(Frame1, "Label5", "Stop", 4680, 360, 615, 255);
    Combo5 = combo(Frame1, "Combo5", {{"1", 1}, {"2", 2}}, 4680, 720, 735, 360);
    Label7 = label(Frame1, "Label7", "Device ID(01~F7)", 5640, 360, 1815, 255);
    Text8 = textBox(Frame1, "Text8", "01", 5640, 720, 495, 270);
    Command1 = button(Frame1, "Command1", "Connect", 8040, 720, 1455, 375);
    app::alsoShows(Command1, {"Disconnect"});
    Label1->setBuddy(Combo9);
    Label2->setBuddy(Combo2);
    Label3->setBuddy(Combo3);
    Label4->setBuddy(Combo4);
    Label5->setBuddy(Combo5);
    Label7->setBuddy(Text8);

    // "Device Configure"
    Label13 = label(Frame5, "Label13", "Baudrate", 240, 360, 855, 255);
    Combo1 = combo(Frame5, "Combo1", baudItems(), 240, 720, 1335, 360);
    Label14 = label(Frame5, "Label14", "Device ID(01~F7)", 1680, 360, 1935, 255);
    Text14 = textBox(Frame5, "Text14", "01", 1680, 720, 735, 270);
    Command5 = button(Frame5, "Command5", "Setup Baudrate", 3480, 480, 1095, 615);
    Label25 = label(Frame5, "Label25", "Length", 5880, 360, 735, 255);
    Combo6 = combo(Frame5, "Combo6", {{"5", 0}, {"6", 2}, {"7", 4}, {"8", 6}}, 5880, 720, 735, 360,
                   Disabled);
    Label26 = label(Frame5, "Label26", "Parity", 6840, 360, 615, 255);
    Combo7 = combo(Frame5, "Combo7", {{"n", 0}, {"e", 2}, {"o", 3}}, 6840, 720, 735, 360);
    Label27 = label(Frame5, "Label27", "Stop", 7800, 360, 735, 375);
    Combo8 = combo(Frame5, "Combo8", {{"1", 0}, {"2", 8}}, 7800, 720, 735, 360);
    Command8 = button(Frame5, "Command8", "Setup Configure", 8760, 480, 1095, 615);
    Label13->setBuddy(Combo1);
    Label14->setBuddy(Text14);
    Label25->setBuddy(Combo6);
    Label26->setBuddy(Combo7);
    Label27->setBuddy(Combo8);

    // "Voltage" and "Current": a button per channel with its display box above it, the
    // channels side by side in their frame.
    QHash<QGroupBox *, int> placed;
    for (qsizetype i = 0; i < measure::ChannelCount; ++i) {
        const app::ChannelControls &c = app::ChannelControlList[i];
        const char *caption = measure::Channels[i].caption;
        QGroupBox *group = this->*c.frame;
        const int left = 240 + placed[group]++ * 1200;
        QLineEdit *box = textBox(group, c.boxName, "00.000", left, 480, 855, 495, Disabled);
        QPushButton *read = button(group, c.buttonName, caption, left, 1080, 855, 375);
        this->*c.box = box;
        this->*c.button = read;
        setBackground(box, group == Frame3 ? QColor(0, 255, 0) : QColor(255, 192, 192));
        box->setAccessibleName(QStringLiteral("%1 value").arg(caption));
        describeValue(int(i));
    }

    // "VO Configure"
    Label28 = label(Frame6, "Label28", "VO1(0~10000)", 240, 360, 2055, 255);
    Text3 = textBox(Frame6, "Text3", "0", 240, 720, 1455, 375);
    Command9 = button(Frame6, "Command9", "Setup VO1", 1800, 720, 855, 615);
    Label29 = label(Frame6, "Label29", "VO2(0~10000)", 3240, 360, 2055, 375);
    Text4 = textBox(Frame6, "Text4", "0", 3240, 720, 1455, 375);
    Command10 = button(Frame6, "Command10", "Setup VO2", 4800, 720, 855, 615);
    Label30 = label(Frame6, "Label30", "Ex. Setup Value 1500 means 1.5V ", 6120, 360, 5655, 255,
                    Disabled);
    QPalette red = Label30->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    Label30->setPalette(red);
    Label28->setBuddy(Text3);
    Label29->setBuddy(Text4);
    // The hint gives the unit of both boxes: a screen reader speaks it with each.
    for (QLineEdit *output : {Text3, Text4})
        output->setAccessibleDescription("In millivolts. " + Label30->text().trimmed());

    // The command panel, 9 point throughout.
    Label6 = label(Frame2, "Label6", "STX", 360, 360, 615, 255, Hidden | Disabled);
    Text7 = textBox(Frame2, "Text7", ":", 360, 720, 495, 270, Hidden | Disabled);
    Label8 = label(Frame2, "Label8", QStringLiteral("功能碼"), 2640, 360, 735, 375);
    Text9 = textBox(Frame2, "Text9", "03", 2640, 720, 735, 270, Disabled);
    Label9 = label(Frame2, "Label9", QStringLiteral("暫存器位址"), 3960, 360, 975, 375);
    Label10 = label(Frame2, "Label10", QStringLiteral("資料(長度)"), 5400, 360, 1095, 255,
                    Hidden | Disabled);
    Text11 = textBox(Frame2, "Text11", "0001", 5400, 720, 735, 270);
    Label11 = label(Frame2, "Label11", "LRC", 360, 1320, 615, 255);
    Text12 = textBox(Frame2, "Text12", "", 360, 1560, 735, 270);
    Command2 = button(Frame2, "Command2", "ASCII", 1440, 1560, 855, 255, Hidden | Disabled);
    Label12 = label(Frame2, "Label12", "CRC16", 3240, 1200, 855, 255);
    Text13 = textBox(Frame2, "Text13", "", 3240, 1560, 855, 270);
    Command3 = button(Frame2, "Command3", "RTU", 4560, 1560, 1095, 255);
    for (QWidget *child : Frame2->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->setFont(mingFont(9));
    Label6->setBuddy(Text7);
    Label8->setBuddy(Text9);
    Label10->setBuddy(Text11);
    Label11->setBuddy(Text12);
    Label12->setBuddy(Text13);

    // Tab goes in reading order, group by group as on the screen; Qt passes over what is
    // hidden or disabled. The operator starts at the Port list.
    QWidgetList tabOrder{Combo9, Combo2, Combo3,   Combo4, Combo5, Text8,  Command1,
                         Combo1, Text14, Command5, Combo6, Combo7, Combo8, Command8};
    for (const app::ChannelControls &c : app::ChannelControlList)
        tabOrder << this->*c.button;
    tabOrder << Text3 << Command9 << Text4 << Command10 << Command4 << Text1;
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    Combo9->setFocus();
}
