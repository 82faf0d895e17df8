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
    // The request awaited is sent, then its answer arrives in pieces. The log's
    // lines above the send line: receive lines and notes, newest first.
    void answer_data()
    {
        QTest::addColumn<int>("pending");
        QTest::addColumn<QByteArray>("request"); // sent while pending
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("pauseMs"); // between the pieces
        QTest::addColumn<QString>("text23");
        QTest::addColumn<QStringList>("channels");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("baud"); // Baudrate after it: 19200 once reopened
        const QStringList untouched(measure::ChannelCount, "00.000");
        auto with = [&](const char *channel, const QString &text) {
            QStringList c = untouched;
            c[channelRow(channel)] = text;
            return c;
        };
        const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
        const auto rx
            = [](const QByteArray &b) { return "receive  " + QString(b.toHex(' ').toUpper()); };
        const auto row
            = [](const char *name, int pending, const QByteArray &request, const QByteArray &answer,
                 int pieces, const char *text23, const QStringList &channels,
                 const QStringList &log, int pauseMs = 0, const char *baud = "38400") {
                  QTest::newRow(name) << pending << request << answer << pieces << pauseMs
                                      << QString(text23) << channels << log << QString(baud);
              };
        const QByteArray echo = hex("010600140BB8CE8C"), exception = hex("018302C0F1");
        const QByteArray idBaudEcho = hex("0106000001048999");
        const QString noise = "bytes that form no answer: check for line noise, bias and "
                              "termination, another master, or a format other than the "
                              "module's (38400,n,8,1 in use)";
        const QString crcFix = ": check termination, format and noise";
        row("V1 answer", 0, ReadV1, V1Is1500, 1, "1500", with("V1", "1.5"), {rx(V1Is1500)});
        // Byte by byte: a cut at every position, as a USB adapter may deliver it.
        row("byte by byte", 0, ReadV1, V1Is1500, 7, "1500", with("V1", "1.5"), {rx(V1Is1500)});
        // The tool asks for one register: an answer's byte count is not trusted,
        // whether damaged on the line or not; what follows the 7 bytes is logged
        // once the line falls quiet.
        for (const char *count : {"00", "04", "FF", "3F"}) {
            const QByteArray damaged = hex("0103") + hex(count) + hex("05DCBA8D");
            const QByteArray fitting = framed(damaged.first(5).toHex()).right(2);
            row(qPrintable(QStringLiteral("byte count %1").arg(count)), 0, ReadV1, damaged, 1,
                "1500", with("V1", "1.5"),
                {"V1 may be wrong: check bytes should be " + fitting.toHex(' ').toUpper() + crcFix
                     + "; byte count " + count + ", not 02: check the register map and the device",
                 rx(damaged)});
        }
        row("two registers byte by byte", 5, framed("010300090001"), hex("01030405DC0001FAC5"), 9,
            "1500", with("I2", "1.5"),
            {noise, rx(hex("FAC5")),
             "I2 may be wrong: check bytes should be 5A 8C" + crcFix
                 + "; byte count 04, not 02: check the register map and the device",
             rx(hex("01030405DC0001"))});
        row("write echo byte by byte", 3, echo, echo, 8, "00000", untouched, {rx(echo)});
        row("write echo in pieces 50 ms apart", 3, echo, echo, 4, "00000", untouched, {rx(echo)},
            50);
        row("write echo short of its last byte", 3, echo, echo.first(7), 1, "00000", untouched,
            {"Setup VO1 may be wrong: only 7 of its 8 bytes came", rx(echo.first(7))});
        row("echo of another write", 3, echo, hex("0106001505DC9AC7"), 1, "00000", untouched,
            {"Setup VO1 may be wrong: it echoes register 0015, not 0014; it echoes the value 05DC, "
             "not 0BB8",
             rx(hex("0106001505DC9AC7"))});
        // Short of its last byte: logged, and the port reopened, once the line is quiet. Its
        // note comes after the new first line, and the reopen at 19200 says the module was sent
        // 14400.
        row("settings echo short of its last byte", 8, idBaudEcho, idBaudEcho.first(7), 1, "00000",
            untouched,
            {"reopened at 19200,n,8,1: check Baudrate; the module may use 14400,n,8,1 (Setup "
             "Baudrate wrote the ID and baud rate, not the rest)",
             "Setup Baudrate may be wrong: only 7 of its 8 bytes came"},
            0, "19200");
        row("exception byte by byte", 0, ReadV1, exception, 5, "00000", untouched,
            {"V1: exception 02 (illegal data address): check the register map", rx(exception)});
        row("an answer, then the start of another", 0, ReadV1, V1Is1500 + hex("0103"), 1, "1500",
            with("V1", "1.5"), {noise, rx(hex("0103")), rx(V1Is1500)});
        row("FF FF for I1", 4, framed("010300050001"), hex("010302FFFFB9F4"), 1, "65535",
            with("I1", "65.535"), {rx(hex("010302FFFFB9F4"))});
        // Auto Scan moved on before the answer came: it lands in the next box.
        row("late answer", 1, framed("010300080001"), V1Is1500, 1, "1500", with("V2", "1.5"),
            {rx(V1Is1500)});
        row("awaiting a settings echo", 8, idBaudEcho, V1Is1500, 1, "1500", untouched,
            {"Setup Baudrate may be wrong: it answers a read, not a write", rx(V1Is1500)});
        row("write echo while reading", 3, framed("010300100001"), echo, 1, "00000", untouched,
            {"V4 may be wrong: it answers a write, not a read", rx(echo)});
        row("other function", 0, ReadV1, hex("01040205DC0000"), 1, "00000", untouched,
            {noise, rx(hex("01040205DC0000"))});
        row("exception alone", 0, ReadV1, exception, 1, "00000", untouched,
            {"V1: exception 02 (illegal data address): check the register map", rx(exception)});
        row("unknown exception from another device", 0, ReadV1, framed("02830C"), 1, "00000",
            untouched,
            {"V1: exception 0C (unknown exception code): see the module's manual; and it may be "
             "wrong: it comes from device 02, not 01: check the Device ID",
             rx(framed("02830C"))});
        row("exception, then an answer", 0, ReadV1, exception + V1Is1500, 1, "1500",
            with("V1", "1.5"),
            {rx(V1Is1500), "V1: exception 02 (illegal data address): check the register map",
             rx(exception)});
        // duve-sim --corrupt 2 on V2's answer: 2.363 where the module holds 2.5.
        row("a CRC that does not fit is still shown", 1, framed("010300080001"),
            hex("010302093BBF87"), 1, "2363", with("V2", "2.363"),
            {"V2 may be wrong: check bytes should be FF C7" + crcFix, rx(hex("010302093BBF87"))});
        row("from another device", 0, ReadV1, framed("02030205DC"), 1, "1500", with("V1", "1.5"),
            {"V1 may be wrong: it comes from device 02, not 01: check the Device ID",
             rx(framed("02030205DC"))});
        // Real RS-485 lines: an adapter that hands the request back before the answer, a
        // stray byte as the line turns around, noise that is nobody's answer.
        const QString echoed = "the adapter echoes what is sent (a two-wire RS-485 adapter "
                               "without echo suppression): its echo is logged and not taken "
                               "for the answer";
        row("the adapter's echo, then the answer", 0, ReadV1, ReadV1 + V1Is1500, 1, "1500",
            with("V1", "1.5"), {rx(V1Is1500), echoed, rx(ReadV1)});
        row("the adapter's echo and the answer byte by byte", 0, ReadV1, ReadV1 + V1Is1500, 15,
            "1500", with("V1", "1.5"), {rx(V1Is1500), echoed, rx(ReadV1)});
        row("a stray byte before the answer", 0, ReadV1, hex("FF") + V1Is1500, 1, "00000",
            untouched,
            {"V1's answer came after stray byte FF, so is not shown: check the bias and "
             "termination resistors (an unbiased line turning around)",
             rx(hex("FF") + V1Is1500)});
        row("noise", 0, ReadV1, hex("00E0FE0080"), 1, "00000", untouched,
            {noise, rx(hex("00E0FE0080"))});
    }

    void answer()
    {
        QFETCH(int, pending);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        QFETCH(int, pieces);
        QFETCH(int, pauseMs);
        QFETCH(QStringList, log);
        QFETCH(QString, baud);
        Rig rig;
        rig.form.Clock = [] { return QDateTime(QDate(2024, 3, 2), QTime(7, 4, 9)); };
        rig.form.Combo1->setCurrentIndex(rig.form.Combo1->findText("19200"));
        QVERIFY(rig.connect());
        rig.form.PendingRequest = static_cast<qint16>(pending);
        std::copy(request.cbegin(), request.cend(), rig.form.FrameBytes.begin());
        rig.form.SendFrame();
        QVERIFY(rig.peer.waitForFrames(1));
        QVERIFY(rig.peer.answer(answer, pieces, pauseMs));
        QTRY_COMPARE(rig.form.Combo2->currentText(), baud);
        // Above the send line and Connected; a reopen leaves only Connected.
        QTRY_COMPARE(logLines(rig.form).size(), log.size() + (baud == "38400" ? 2 : 1));
        QTEST(rig.form.Text23->text(), "text23");
        QTEST(channelTexts(rig.form), "channels");
        for (int i = 0; i < log.size(); ++i)
            QCOMPARE(logLines(rig.form)[i], stamp + ' ' + log[i]);
        // A box that took a value tells where it came from, and its doubts as its note did.
        for (const QLineEdit *box : channelBoxes(rig.form))
            if (box->text() != "00.000") {
                const QStringList received = logLines(rig.form).filter(" receive  ");
                QVERIFY2(std::any_of(received.cbegin(), received.cend(),
                                     [&](const QString &line) {
                                         return box->toolTip().contains(line.section("  ", 1));
                                     }),
                         qPrintable(box->toolTip()));
                QCOMPARE(box->toolTip().contains(" may be wrong: "),
                         log.join('|').contains(" may be wrong: "));
            }
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
