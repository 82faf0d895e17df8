#include "measure/channels.h"
#include "serial/mscomm.h"
#include "tests/support/rig.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString stamp = QStringLiteral("2024/03/02 07:04:09");

QStringList channelTexts(const Form1 &form)
{
    QStringList texts;
    for (const QLineEdit *box : channelBoxes(form))
        texts << box->text();
    return texts;
}

} // namespace

class TestReceive : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answer_data()
    {
        QTest::addColumn<int>("pending");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("pauseMs"); // between the pieces
        QTest::addColumn<QString>("text23");
        QTest::addColumn<QStringList>("channels");
        QTest::addColumn<QByteArrayList>("lines"); // the bytes of each receive line, newest first
        QTest::addColumn<QString>("baud");         // Baudrate after it: 19200 once reopened
        const QStringList untouched(measure::ChannelCount, "00.000");
        auto with = [&](const char *channel, const QString &text) {
            QStringList c = untouched;
            c[channelRow(channel)] = text;
            return c;
        };
        const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
        const auto row
            = [](const char *name, int pending, const QByteArray &answer, int pieces,
                 const char *text23, const QStringList &channels, const QByteArrayList &lines,
                 int pauseMs = 0, const char *baud = "38400") {
                  QTest::newRow(name) << pending << answer << pieces << pauseMs << QString(text23)
                                      << channels << lines << QString(baud);
              };
        const QByteArray echo = hex("010600140BB8CE8C"), exception = hex("018302C0F1");
        const QByteArray idBaudEcho = hex("01060000010449C9");
        row("V1 answer", 0, V1Is1500, 1, "1500", with("V1", "1.5"), {V1Is1500});
        // Byte by byte: a cut at every position, as a USB adapter may deliver it.
        row("byte by byte", 0, V1Is1500, 7, "1500", with("V1", "1.5"), {V1Is1500});
        // The tool asks for one register: an answer's byte count is not trusted,
        // whether damaged on the line or not; what follows the 7 bytes is logged
        // once the line falls quiet.
        for (const char *count : {"00", "04", "FF", "3F"}) {
            const QByteArray damaged = hex("0103") + hex(count) + hex("05DCBA8D");
            row(qPrintable(QStringLiteral("byte count %1").arg(count)), 0, damaged, 1, "1500",
                with("V1", "1.5"), {damaged});
        }
        row("two registers byte by byte", 5, hex("01030405DC0001FAC5"), 9, "1500",
            with("I2", "1.5"), {hex("FAC5"), hex("01030405DC0001")});
        row("write echo byte by byte", 3, echo, 8, "00000", untouched, {echo});
        row("write echo in pieces 50 ms apart", 3, echo, 4, "00000", untouched, {echo}, 50);
        // Short of its last byte: logged, and the port reopened, once the line is quiet.
        row("settings echo short of its last byte", 8, idBaudEcho.first(7), 1, "00000", untouched,
            {}, 0, "19200");
        row("exception byte by byte", 0, exception, 5, "00000", untouched, {exception});
        row("an answer, then the start of another", 0, V1Is1500 + hex("0103"), 1, "1500",
            with("V1", "1.5"), {hex("0103"), V1Is1500});
        row("FF FF for I1", 4, hex("010302FFFFB9F4"), 1, "65535", with("I1", "65.535"),
            {hex("010302FFFFB9F4")});
        // Auto Scan moved on before the answer came: it lands in the next box.
        row("late answer", 1, V1Is1500, 1, "1500", with("V2", "1.5"), {V1Is1500});
        row("awaiting a settings echo", 8, V1Is1500, 1, "1500", untouched, {V1Is1500});
        row("write echo while reading", 3, echo, 1, "00000", untouched, {echo});
        row("other function", 0, hex("01040205DC0000"), 1, "00000", untouched,
            {hex("01040205DC0000")});
        row("exception alone", 0, exception, 1, "00000", untouched, {exception});
        row("exception, then an answer", 0, exception + V1Is1500, 1, "1500", with("V1", "1.5"),
            {V1Is1500, exception});
        row("a CRC that does not fit is still shown", 2, hex("0103020064FFFF"), 1, "100",
            with("V3", "0.1"), {hex("0103020064FFFF")});
    }

    void answer()
    {
        QFETCH(int, pending);
        QFETCH(QByteArray, answer);
        QFETCH(int, pieces);
        QFETCH(int, pauseMs);
        QFETCH(QByteArrayList, lines);
        QFETCH(QString, baud);
        Rig rig;
        rig.form.Clock = [] { return QDateTime(QDate(2024, 3, 2), QTime(7, 4, 9)); };
        rig.form.Combo1->setCurrentIndex(rig.form.Combo1->findText("19200"));
        QVERIFY(rig.connect());
        rig.form.PendingRequest = static_cast<qint16>(pending);
        QVERIFY(rig.peer.answer(answer, pieces, pauseMs));
        QTRY_COMPARE(rig.form.Combo2->currentText(), baud);
        QTRY_COMPARE(logLines(rig.form).size(), lines.size() + 1);
        QTEST(rig.form.Text23->text(), "text23");
        QTEST(channelTexts(rig.form), "channels");
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(logLines(rig.form)[i], stamp + " receive  " + lines[i].toHex(' ').toUpper());
        QCOMPARE(rig.form.PendingRequest, pending);
        QVERIFY(rig.form.MSComm1->PortOpen());
    }

    void leftoverBytesLoggedBeforeTheNextRequest()
    {
        Rig rig;
        QVERIFY(rig.connect());
        QVERIFY(rig.peer.answer(QByteArray::fromHex("010302")));
        QCOMPARE(logLines(rig.form).size(), 1); // fewer than 7 bytes: nothing taken
        rig.form.Command11->click();
        QStringList lines = logLines(rig.form);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].endsWith(" send  " + ReadV1.toHex(' ').toUpper()));
        QVERIFY(lines[1].endsWith(" receive  01 03 02"));
        QVERIFY(rig.peer.answer(V1Is1500));
        QTRY_COMPARE(rig.form.Text15->text(), "1.5");
    }

    // A block longer than the log line box holds goes on whole lines of its own.
    void longBlockLoggedWhole()
    {
        Rig rig;
        rig.form.Text5->setMaxLength(200);
        QVERIFY(rig.connect());
        // However the kernel cuts it, no later block reads as an answer.
        QByteArray block = QByteArray::fromHex("0103020BB8");
        for (int i = 0; block.size() < 5000; ++i)
            block += char(0xA0 | (i & 0x0F));
        QVERIFY(rig.peer.answer(block));
        QTRY_COMPARE(logBytes(rig.form, u"receive"), block);
        QCOMPARE(rig.form.Text23->text(), "3000");
        QCOMPARE(rig.form.Text15->text(), "3");
        for (const QString &line : logLines(rig.form))
            QVERIFY(line.size() <= 200);
    }

    // A pseudo-terminal carries no parity: whatever parity is chosen, bytes
    // that look like the driver's marks arrive as they were sent.
    void parityOnAPseudoTerminalChangesNothing()
    {
        Rig rig;
        rig.form.Combo4->setCurrentIndex(rig.form.Combo4->findText("e"));
        QVERIFY(rig.connect());
        const QByteArray bytes = QByteArray::fromHex("FF0041FFFF0102");
        QVERIFY(rig.peer.answer(bytes));
        QTRY_COMPARE(logBytes(rig.form, u"receive"), bytes);
    }
};

QTEST_MAIN(TestReceive)
#include "tst_receive.moc"
