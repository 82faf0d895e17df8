#include "modbus/checksum.h"
#include "tests/support/peer.h"
#include "tests/support/testmain.h"

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
    return QStringLiteral("%1%2").arg(crc & 0xFF, 2, 16, QLatin1Char('0')).arg(crc >> 8, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

class TestChecksum : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tables()
    {
        const auto hi = modbus::crcHiTable();
        const auto lo = modbus::crcLoTable();
        const quint8 hiStart[] = {0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41,
                                  0x01, 0xC0, 0x80, 0x41, 0x00, 0xC1, 0x81, 0x40};
        const quint8 loStart[] = {0x00, 0xC0, 0xC1, 0x01, 0xC3, 0x03, 0x02, 0xC2,
                                  0xC6, 0x06, 0x07, 0xC7, 0x05, 0xC5, 0xC4, 0x04};
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(hi[i], hiStart[i]);
            QCOMPARE(lo[i], loStart[i]);
        }
        QCOMPARE(hi[255], 0x40);
        QCOMPARE(lo[255], 0x40);
        // Every entry: the CRC of the single byte i started from zero.
        for (int i = 0; i < 256; ++i) {
            quint16 entry = static_cast<quint16>(i);
            for (int bit = 0; bit < 8; ++bit)
                entry = (entry & 1) ? (entry >> 1) ^ 0xA001 : entry >> 1;
            QCOMPARE(hi[i], entry & 0xFF);
            QCOMPARE(lo[i], entry >> 8);
        }
    }

    void checks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("crc");
        QTest::addColumn<QString>("lrc");
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
                     QStringLiteral("%1").arg(twosComplementLrc(bytes), 2, 16, QLatin1Char('0')).toUpper());
        }
    }
};

DUVE_TEST(TestChecksum)
#include "tst_checksum.moc"
