#include "measure/answer.h"
#include "tests/support/frames.h"

#include <QTest>

class TestAnswer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valueText_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        // clang-format off
        QTest::newRow("1500") << 1500 << "1.5" << "1,5";
        QTest::newRow("7") << 7 << "0.007" << "0,007";
        QTest::newRow("250") << 250 << "0.25" << "0,25";
        QTest::newRow("10000") << 10000 << "10" << "10";
        QTest::newRow("0") << 0 << "0" << "0";
        QTest::newRow("12345, no group separator") << 12345 << "12.345" << "12,345";
        QTest::newRow("65535") << 65535 << "65.535" << "65,535";
        // clang-format on
    }

    void valueText()
    {
        QFETCH(int, raw);
        QTEST(measure::valueText(raw, QLocale(QLocale::English, QLocale::UnitedStates)), "english");
        QTEST(measure::valueText(raw, QLocale(QLocale::German, QLocale::Germany)), "german");
    }

    // Each kind of answer cut at every position, followed by the start of the
    // next: nothing is taken before the frame is whole, then the frame alone
    // where the tool knows its length, else everything once 7 bytes wait;
    // once the line is quiet, whatever waits.
    void blockLength_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("length"); // taken alone at this length; 0: everything
        const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
        QTest::newRow("read answer") << V1Is1500 << 7;
        QTest::newRow("read answer, byte count FF") << hex("0103FF05DCBA8D") << 7;
        QTest::newRow("read answer, two registers") << hex("01030405DC0001FAC5") << 7;
        QTest::newRow("read answer, no register") << hex("0103002040") << 7;
        QTest::newRow("write echo") << hex("010600140BB8CE8C") << 8;
        QTest::newRow("exception") << hex("018302C0F1") << 5;
        QTest::newRow("exception, CRC does not fit") << hex("01830200000000") << 0;
        QTest::newRow("other function") << hex("01040205DC0000") << 0;
    }

    void blockLength()
    {
        QFETCH(QByteArray, frame);
        QFETCH(int, length);
        const QByteArray stream = frame + QByteArray::fromHex("0103");
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            const qsizetype taken = length ? (cut >= length ? length : 0) : (cut >= 7 ? cut : 0);
            QCOMPARE(measure::blockLength(stream.first(cut)), taken);
            QCOMPARE(measure::blockLength(stream.first(cut), true), taken ? taken : cut);
        }
    }
};

QTEST_MAIN(TestAnswer)
#include "tst_answer.moc"
