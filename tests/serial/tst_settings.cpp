#include "serial/settings.h"

#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settingsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal"); // empty: accepted
        QTest::addColumn<int>("baud");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopHalves");
        // clang-format off
        QTest::newRow("defaults") << "38400,n,8,1" << "" << 38400 << "n" << 8 << 2;
        QTest::newRow("even, 7, 2") << "9600,E,7,2" << "" << 9600 << "e" << 7 << 4;
        QTest::newRow("lowest rate, 1.5 stop") << "110,o,4,1.5" << "" << 110 << "o" << 4 << 3;
        QTest::newRow("highest rate, mark") << "256000,M,5,1" << "" << 256000 << "m" << 5 << 2;
        QTest::newRow("14400, space") << "14400,s,6,1" << "" << 14400 << "s" << 6 << 2;
        QTest::newRow("empty") << "" << "Line settings" << 0 << "" << 0 << 0;
        QTest::newRow("three fields") << "38400,n,8" << "Line settings" << 0 << "" << 0 << 0;
        QTest::newRow("five fields") << "38400,n,8,1," << "Line settings" << 0 << "" << 0 << 0;
        QTest::newRow("odd rate") << "12345,n,8,1" << "Baudrate \"12345\"" << 0 << "" << 0 << 0;
        QTest::newRow("rate not a number") << "fast,n,8,1" << "Baudrate \"fast\"" << 0 << "" << 0 << 0;
        QTest::newRow("rate too high") << "512000,n,8,1" << "Baudrate" << 0 << "" << 0 << 0;
        QTest::newRow("parity letter") << "38400,x,8,1" << "Parity \"x\"" << 0 << "" << 0 << 0;
        QTest::newRow("parity word") << "38400,none,8,1" << "Parity" << 0 << "" << 0 << 0;
        QTest::newRow("3 data bits") << "38400,n,3,1" << "Length \"3\"" << 0 << "" << 0 << 0;
        QTest::newRow("9 data bits") << "38400,n,9,1" << "Length" << 0 << "" << 0 << 0;
        QTest::newRow("3 stop bits") << "38400,n,8,3" << "Stop \"3\"" << 0 << "" << 0 << 0;
        QTest::newRow("no stop bits") << "38400,n,8," << "Stop" << 0 << "" << 0 << 0;
        // clang-format on
    }

    void settingsText()
    {
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        QString error;
        const auto parsed = serial::parseSettings(text, &error);
        if (!refusal.isEmpty()) {
            QVERIFY(!parsed);
            QVERIFY2(error.startsWith(refusal), qPrintable(error));
            return;
        }
        QVERIFY2(parsed, qPrintable(error));
        QTEST(parsed->baud, "baud");
        QTEST(QString(QChar::fromLatin1(parsed->parity)), "parity");
        QTEST(parsed->dataBits, "dataBits");
        QTEST(parsed->stopHalves, "stopHalves");
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
