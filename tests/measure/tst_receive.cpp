#include "measure/answer.h"
#include "serial/mscomm.h"
#include "tests/support/rig.h"
#include "tests/support/testmain.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString stamp = QStringLiteral("2024/03/02 07:04:09");

QStringList channelTexts(Form1 &form)
{
    QStringList texts;
    for (QLineEdit *box : {form.Text15, form.Text16, form.Text17, form.Text18, form.Text19, form.Text20,
                           form.Text21, form.Text22})
        texts << box->text();
    return texts;
}

// Every byte of the receive lines in the log, oldest line first.
QByteArray receivedInLog(Form1 &form)
{
    QByteArray bytes;
    const QStringList lines = logLines(form);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (it->contains(" receive  "))
            bytes += QByteArray::fromHex(it->section(" receive  ", 1).toLatin1());
    return bytes;
}

} // namespace

class TestReceive : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valueText_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::newRow("1500") << 1500 << "1.5" << "1,5";
        QTest::newRow("7") << 7 << "0.007" << "0,007";
        QTest::newRow("250") << 250 << "0.25" << "0,25";
        QTest::newRow("10000") << 10000 << "10" << "10";
        QTest::newRow("0") << 0 << "0" << "0";
        QTest::newRow("12345, no group separator") << 12345 << "12.345" << "12,345";
        QTest::newRow("65535") << 65535 << "65.535" << "65,535";
    }

    void valueText()
    {
        QFETCH(int, raw);
        QTEST(measure::valueText(raw, QLocale(QLocale::English, QLocale::UnitedStates)), "english");
        QTEST(measure::valueText(raw, QLocale(QLocale::German, QLocale::Germany)), "german");
    }

    void answer_data()
    {
        QTest::addColumn<int>("pending");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<QString>("text23");
        QTest::addColumn<QStringList>("channels");
        QTest::addColumn<QStringList>("receiveLines");
        const QStringList untouched(8, "00.000");
        auto with = [&](int box, const QString &text) {
            QStringList c = untouched;
            c[box] = text;
            return c;
        };
        const QByteArray v1 = QByteArray::fromHex("01030205DCBA8D");
        QTest::newRow("V1 answer") << 0 << v1 << 1 << "1500" << with(0, "1.5")
                                   << QStringList{"01 03 02 05 DC BA 8D"};
        QTest::newRow("in pieces") << 0 << v1 << 4 << "1500" << with(0, "1.5") << QStringList{"01 03 02 05 DC BA 8D"};
        QTest::newRow("FF FF for I1") << 4 << QByteArray::fromHex("010302FFFFB9F4") << 1 << "65535"
                                      << with(4, "65.535") << QStringList{"01 03 02 FF FF B9 F4"};
        // Auto Scan moved on before the answer came: it lands in the next box.
        QTest::newRow("late answer") << 1 << v1 << 1 << "1500" << with(1, "1.5") << QStringList{"01 03 02 05 DC BA 8D"};
        QTest::newRow("awaiting a settings echo") << 8 << v1 << 1 << "1500" << untouched
                                                  << QStringList{"01 03 02 05 DC BA 8D"};
        QTest::newRow("write echo while reading") << 3 << QByteArray::fromHex("010600140BB8CE8C") << 1 << "00000"
                                                  << untouched << QStringList{"01 06 00 14 0B B8 CE 8C"};
        QTest::newRow("other function") << 0 << QByteArray::fromHex("01040205DC0000") << 1 << "00000" << untouched
                                        << QStringList{"01 04 02 05 DC 00 00"};
        QTest::newRow("exception alone") << 0 << QByteArray::fromHex("018302C0F1") << 1 << "00000" << untouched
                                         << QStringList{"01 83 02 C0 F1"};
        QTest::newRow("exception, then an answer")
            << 0 << QByteArray::fromHex("018302C0F1 01030205DCBA8D") << 1 << "1500" << with(0, "1.5")
            << QStringList{"01 03 02 05 DC BA 8D", "01 83 02 C0 F1"};
        QTest::newRow("a CRC that does not fit is still shown")
            << 2 << QByteArray::fromHex("0103020064FFFF") << 1 << "100" << with(2, "0.1") << QStringList{"01 03 02 00 64 FF FF"};
    }

    void answer()
    {
        QFETCH(int, pending);
        QFETCH(QByteArray, answer);
        QFETCH(int, pieces);
        QFETCH(QStringList, receiveLines);
        Rig rig;
        rig.form.Clock = [] { return QDateTime(QDate(2024, 3, 2), QTime(7, 4, 9)); };
        QVERIFY(rig.connect());
        rig.form.PendingRequest = static_cast<qint16>(pending);
        QVERIFY(rig.peer.answer(answer, pieces));
        QTRY_COMPARE(logLines(rig.form).size(), receiveLines.size() + 1);
        QTEST(rig.form.Text23->text(), "text23");
        QTEST(channelTexts(rig.form), "channels");
        for (int i = 0; i < receiveLines.size(); ++i)
            QCOMPARE(logLines(rig.form)[i], stamp + " receive  " + receiveLines[i]);
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
        QVERIFY(lines[0].endsWith(" send  01 03 00 04 00 01 C5 CB"));
        QVERIFY(lines[1].endsWith(" receive  01 03 02"));
        QVERIFY(rig.peer.answer(QByteArray::fromHex("01030205DCBA8D")));
        QTRY_COMPARE(rig.form.Text15->text(), "1.5");
    }

    void longBlockLoggedWhole()
    {
        Rig rig;
        QVERIFY(rig.connect());
        // However the kernel cuts it, no later block reads as an answer.
        QByteArray block = QByteArray::fromHex("0103020BB8");
        for (int i = 0; block.size() < 5000; ++i)
            block += char(0xA0 | (i & 0x0F));
        QVERIFY(rig.peer.answer(block));
        QTRY_COMPARE(receivedInLog(rig.form), block);
        QCOMPARE(rig.form.Text23->text(), "3000");
        QCOMPARE(rig.form.Text15->text(), "3");
    }
};

DUVE_TEST(TestReceive)
#include "tst_receive.moc"
