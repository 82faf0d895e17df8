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
        QTest::addColumn<QString>("text23");
        QTest::addColumn<QStringList>("channels");
        QTest::addColumn<QByteArrayList>("lines"); // the bytes of each receive line, newest first
        const QStringList untouched(8, "00.000");
        auto with = [&](int box, const QString &text) {
            QStringList c = untouched;
            c[box] = text;
            return c;
        };
        const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
        const QByteArray echo = hex("010600140BB8CE8C"), exception = hex("018302C0F1");
        QTest::newRow("V1 answer")
            << 0 << V1Is1500 << 1 << "1500" << with(0, "1.5") << QByteArrayList{V1Is1500};
        // Byte by byte: a cut at every position, as a USB adapter may deliver it.
        QTest::newRow("byte by byte")
            << 0 << V1Is1500 << 7 << "1500" << with(0, "1.5") << QByteArrayList{V1Is1500};
        QTest::newRow("two registers byte by byte")
            << 5 << hex("01030405DC0001FAC5") << 9 << "1500" << with(5, "1.5")
            << QByteArrayList{hex("01030405DC0001FAC5")};
        QTest::newRow("write echo byte by byte")
            << 3 << echo << 8 << "00000" << untouched << QByteArrayList{echo};
        QTest::newRow("exception byte by byte")
            << 0 << exception << 5 << "00000" << untouched << QByteArrayList{exception};
        QTest::newRow("an answer, then the start of another")
            << 0 << V1Is1500 + hex("0103") << 1 << "1500" << with(0, "1.5")
            << QByteArrayList{V1Is1500};
        QTest::newRow("FF FF for I1") << 4 << hex("010302FFFFB9F4") << 1 << "65535"
                                      << with(4, "65.535") << QByteArrayList{hex("010302FFFFB9F4")};
        // Auto Scan moved on before the answer came: it lands in the next box.
        QTest::newRow("late answer")
            << 1 << V1Is1500 << 1 << "1500" << with(1, "1.5") << QByteArrayList{V1Is1500};
        QTest::newRow("awaiting a settings echo")
            << 8 << V1Is1500 << 1 << "1500" << untouched << QByteArrayList{V1Is1500};
        QTest::newRow("write echo while reading")
            << 3 << echo << 1 << "00000" << untouched << QByteArrayList{echo};
        QTest::newRow("other function") << 0 << hex("01040205DC0000") << 1 << "00000" << untouched
                                        << QByteArrayList{hex("01040205DC0000")};
        QTest::newRow("exception alone")
            << 0 << exception << 1 << "00000" << untouched << QByteArrayList{exception};
        QTest::newRow("exception, then an answer")
            << 0 << exception + V1Is1500 << 1 << "1500" << with(0, "1.5")
            << QByteArrayList{V1Is1500, exception};
        QTest::newRow("a CRC that does not fit is still shown")
            << 2 << hex("0103020064FFFF") << 1 << "100" << with(2, "0.1")
            << QByteArrayList{hex("0103020064FFFF")};
    }

    void answer()
    {
        QFETCH(int, pending);
        QFETCH(QByteArray, answer);
        QFETCH(int, pieces);
        QFETCH(QByteArrayList, lines);
        Rig rig;
        rig.form.Clock = [] { return QDateTime(QDate(2024, 3, 2), QTime(7, 4, 9)); };
        QVERIFY(rig.connect());
        rig.form.PendingRequest = static_cast<qint16>(pending);
        QVERIFY(rig.peer.answer(answer, pieces));
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
