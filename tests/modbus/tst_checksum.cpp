#include "modbus/checksum.h"
#include "tests/support/frames.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// Reference LRC written from the Modbus serial-line rules, independent of
// the code under test (the CRC reference lives with the test peer).
quint8 twosComplementLrc(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (char c : bytes)
        sum += static_cast<quint8>(c);
    return static_cast<quint8>(-sum);
}

// Transmission order: low byte first.
QString crcOnLine(quint16 crc)
{
    return QStringLiteral("%1%2")
        .arg(crc & 0xFF, 2, 16, QLatin1Char('0'))
        .arg(crc >> 8, 2, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace

class TestChecksum : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Entries of auchCRCHi and auchCRCLo as the Modbus over serial line guide
    // prints them; the random frames below hold every entry to the bitwise CRC.
    void tables_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("hi");
        QTest::addColumn<int>("lo");
        const int entries[][3]
            = {{0x00, 0x00, 0x00}, {0x01, 0xC1, 0xC0}, {0x0F, 0x40, 0x04}, {0x10, 0x01, 0xCC},
               {0x3C, 0x00, 0x11}, {0x55, 0xC0, 0x3F}, {0x7F, 0x41, 0xE0}, {0x80, 0x01, 0xA0},
               {0xAA, 0x80, 0x7F}, {0xC3, 0x40, 0x51}, {0xFF, 0x40, 0x40}};
        for (const auto &[index, hi, lo] : entries)
            QTest::addRow("%02X", index) << index << hi << lo;
    }

    void tables()
    {
        QFETCH(int, index);
        QTEST(int(modbus::crcHiTable()[index]), "hi");
        QTEST(int(modbus::crcLoTable()[index]), "lo");
    }

    void checks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("crc");
        QTest::addColumn<QString>("lrc");
        // clang-format off
        QTest::newRow("V1 read") << "010300040001" << "C5CB" << "F7";
        QTest::newRow("empty") << "" << "FFFF" << "00";
        QTest::newRow("sum above 255") << "FFFF" << "0000" << "02";
        QTest::newRow("LRC below 0x10") << "F5" << "7F07" << "0B";
        QTest::newRow("first CRC byte below 0x10") << "010300080001" << "05C8" << "F3";
        QTest::newRow("second CRC byte below 0x10") << "010300110001" << "D40F" << "EA";
        QTest::newRow("lower case") << "0a03" << "4711" << "F3";
        QTest::newRow("upper case") << "0A03" << "4711" << "F3";
        QTest::newRow("odd length") << "01030" << "20F0" << "FC";
        QTest::newRow("odd length padded") << "010300" << "20F0" << "FC";
        // A pair reads up to its first non-hex character; one that starts
        // with such a character reads as 0.
        QTest::newRow("pair starts with non-hex") << "zz03" << crcOnLine(referenceCrc16(QByteArray::fromHex("0003"))) << "FD";
        QTest::newRow("pair ends with non-hex") << "1g03" << crcOnLine(referenceCrc16(QByteArray::fromHex("0103"))) << "FC";
        QTest::newRow("blank inside") << "01 3" << crcOnLine(referenceCrc16(QByteArray::fromHex("0100"))) << "FF";
        // clang-format on
    }

    void checks()
    {
        QFETCH(QString, text);
        QFETCH(QString, crc);
        QFETCH(QString, lrc);
        QCOMPARE(modbus::crcText(text, modbus::crcHiTable(), modbus::crcLoTable()), crc);
        QCOMPARE(modbus::lrcText(text), lrc);
    }

    void randomFramesAgreeWithBitwiseRules()
    {
        QRandomGenerator random(20261207);
        const auto hi = modbus::crcHiTable();
        const auto lo = modbus::crcLoTable();
        for (int round = 0; round < 500; ++round) {
            QByteArray bytes(random.bounded(0, 64), Qt::Uninitialized);
            for (char &b : bytes)
                b = static_cast<char>(random.bounded(256));
            QString text = QString::fromLatin1(bytes.toHex());
            if (round % 2)
                text = text.toUpper();
            QCOMPARE(modbus::crcText(text, hi, lo), crcOnLine(referenceCrc16(bytes)));
            QCOMPARE(modbus::crc16(bytes), referenceCrc16(bytes));
            QCOMPARE(modbus::lrcText(text),
                     QStringLiteral("%1")
                         .arg(twosComplementLrc(bytes), 2, 16, QLatin1Char('0'))
                         .toUpper());
        }
    }
};

QTEST_MAIN(TestChecksum)
#include "tst_checksum.moc"
