#include "modbus/checksum.h"

#include <utility>

namespace modbus {

static quint16 tableEntry(int i)
{
    quint16 crc = static_cast<quint16>(i);
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    return crc;
}

CrcTable crcHiTable()
{
    CrcTable table{};
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<quint8>(tableEntry(i) & 0xFF);
    return table;
}

CrcTable crcLoTable()
{
    CrcTable table{};
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<quint8>(tableEntry(i) >> 8);
    return table;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

QList<quint8> pairValues(QStringView hexText)
{
    QList<quint8> values;
    for (qsizetype p = 0; p < hexText.size(); p += 2) {
        int value = 0;
        for (QChar c : hexText.mid(p, 2)) {
            const int digit = hexDigit(c);
            if (digit < 0)
                break;
            value = value * 16 + digit;
        }
        values << static_cast<quint8>(value);
    }
    return values;
}

static QString hex2(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// The table walk of the Modbus serial-line rules: a ends as the CRC's low byte.
template <typename Bytes>
static std::pair<quint8, quint8> crcWalk(const Bytes &bytes, const CrcTable &hi, const CrcTable &lo)
{
    quint8 a = 0xFF;
    quint8 b = 0xFF;
    for (auto v : bytes) {
        const quint8 index = static_cast<quint8>(v) ^ a;
        a = hi[index] ^ b;
        b = lo[index];
    }
    return {a, b};
}

QString crcText(QStringView hexText, const CrcTable &hi, const CrcTable &lo)
{
    const auto [a, b] = crcWalk(pairValues(hexText), hi, lo);
    return hex2(a) + hex2(b);
}

quint16 crc16(QByteArrayView bytes)
{
    static const CrcTable hi = crcHiTable();
    static const CrcTable lo = crcLoTable();
    const auto [a, b] = crcWalk(bytes, hi, lo);
    return static_cast<quint16>(b << 8 | a);
}

QString lrcText(QStringView hexText)
{
    int sum = 0;
    for (quint8 v : pairValues(hexText))
        sum += v;
    return hex2((256 - sum % 256) % 256);
}

} // namespace modbus
