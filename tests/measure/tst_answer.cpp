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
    // where its header says how long it is, else everything waiting.
    void blockLength_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("alone");
        QTest::newRow("read answer") << V1Is1500 << true;
        QTest::newRow("read answer, two registers")
            << QByteArray::fromHex("01030405DC0001FAC5") << true;
        QTest::newRow("read answer, no register") << QByteArray::fromHex("0103002040") << true;
        QTest::newRow("write echo") << QByteArray::fromHex("010600140BB8CE8C") << true;
        QTest::newRow("exception") << QByteArray::fromHex("018302C0F1") << true;
        QTest::newRow("exception, CRC does not fit")
            << QByteArray::fromHex("01830200000000") << false;
        QTest::newRow("other function") << QByteArray::fromHex("01040205DC0000") << false;
    }

    void blockLength()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, alone);
        const QByteArray stream = frame + QByteArray::fromHex("0103");
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            const qsizetype taken = cut < frame.size() ? 0 : alone ? frame.size() : cut;
            QCOMPARE(measure::blockLength(stream.first(cut)), taken);
        }
    }
};

QTEST_MAIN(TestAnswer)
#include "tst_answer.moc"
