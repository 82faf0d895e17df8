#include "config/values.h"

#include <QTest>

class TestValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void outputValue_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("value"); // empty: refused
        // clang-format off
        QTest::newRow("0") << "0" << "0000";
        QTest::newRow("5") << "5" << "0005";
        QTest::newRow("100") << "100" << "0064";
        QTest::newRow("255") << "255" << "00FF";
        QTest::newRow("256") << "256" << "0100";
        QTest::newRow("1500") << "1500" << "05DC";
        QTest::newRow("1500.4") << "1500.4" << "05DC";
        QTest::newRow("1500.5, half to even") << "1500.5" << "05DC";
        QTest::newRow("1501.5, half to even") << "1501.5" << "05DE";
        QTest::newRow("2500.5, half to even") << "2500.5" << "09C4";
        QTest::newRow("10000") << "10000" << "2710";
        QTest::newRow("12000, above the label's range") << "12000" << "2EE0";
        QTest::newRow("65535") << "65535" << "FFFF";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("abc") << "abc" << "";
        QTest::newRow("-1") << "-1" << "";
        QTest::newRow("65536") << "65536" << "";
        QTest::newRow("65535.5 rounds to 65536") << "65535.5" << "";
        QTest::newRow("1e12") << "1e12" << "";
        QTest::newRow("inf") << "inf" << "";
        // clang-format on
    }

    void outputValue()
    {
        QFETCH(QString, typed);
        QFETCH(QString, value);
        QString problem;
        const auto text = config::outputValueText(typed, "VO1", &problem);
        QCOMPARE(text.value_or(QString()), value);
        if (value.isEmpty())
            QCOMPARE(problem,
                     QStringLiteral("VO1 \"%1\" must be a number from 0 to 65535 (millivolts)")
                         .arg(typed));
    }
};

QTEST_MAIN(TestValues)
#include "tst_values.moc"
