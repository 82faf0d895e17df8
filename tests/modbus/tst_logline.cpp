#include "app/form1.h"
#include "modbus/logline.h"
#include "modbus/request.h"
#include "tests/support/frames.h"

#include <QTest>

namespace {

const QDateTime morning(QDate(2024, 3, 2), QTime(7, 4, 9));

} // namespace

class TestLogLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeText_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("morning") << morning << "2024/03/02 07:04:09";
        QTest::newRow("single digits")
            << QDateTime(QDate(2025, 1, 5), QTime(0, 0, 0)) << "2025/01/05 00:00:00";
        QTest::newRow("last second of a year")
            << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << "2026/12/31 23:59:59";
        QTest::newRow("year not padded")
            << QDateTime(QDate(999, 10, 11), QTime(12, 30, 45)) << "999/10/11 12:30:45";
    }

    void timeText()
    {
        QFETCH(QDateTime, time);
        QFETCH(QString, text);
        QCOMPARE(modbus::timeText(time), text);

        Form1 form([] { return QStringList(); });
        form.Clock = [time] { return time; };
        form.GetTimeText();
        QCOMPARE(form.TimeText, text);
    }

    void logLine_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("line");
        QTest::newRow("V1 read") << "send" << ReadV1
                                 << "2024/03/02 07:04:09 send  01 03 00 04 00 01 C5 CB\r\n";
        QTest::newRow("small bytes padded, letters upper case")
            << "send" << QByteArray::fromHex("050bc8000a0f10ff")
            << "2024/03/02 07:04:09 send  05 0B C8 00 0A 0F 10 FF\r\n";
        QTest::newRow("receive") << "receive" << V1Is1500
                                 << "2024/03/02 07:04:09 receive  01 03 02 05 DC BA 8D\r\n";
    }

    void logLine()
    {
        QFETCH(QString, word);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, line);
        QCOMPARE(modbus::logLine(modbus::timeText(morning), word, bytes), line);
    }

    // The rule every sender uses to turn its hex fields into request bytes.
    void frameBytes_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("reg");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("crc");
        QTest::addColumn<QByteArray>("bytes");
        // clang-format off
        QTest::newRow("V1 read") << "01" << "0004" << "0001" << "C5CB" << ReadV1;
        QTest::newRow("lower case, one digit") << "a" << "00ff" << "1a2b" << "0c0d" << QByteArray::fromHex("0A0300FF1A2B0C0D");
        QTest::newRow("no digits give 0") << "" << "zz" << "" << "x1" << QByteArray::fromHex("0003000000000000");
        QTest::newRow("reading stops at a non-digit")
            << "1g" << "1g2h" << "0 12" << "C5CB" << QByteArray::fromHex("0103010200 12C5CB");
        QTest::newRow("short fields") << "F7" << "04" << "1" << "C" << QByteArray::fromHex("F70304000100 0C00");
        // clang-format on
    }

    void frameBytes()
    {
        QFETCH(QString, id);
        QFETCH(QString, reg);
        QFETCH(QString, data);
        QFETCH(QString, crc);
        QFETCH(QByteArray, bytes);
        const modbus::Frame frame = modbus::frameBytes(id, 3, reg, data, crc);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.data()), 8).toHex(' '),
                 bytes.toHex(' '));
    }
};

QTEST_MAIN(TestLogLine)
#include "tst_logline.moc"
