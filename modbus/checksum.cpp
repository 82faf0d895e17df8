#include "modbus/checksum.h"

#include "modbus/hextext.h"

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

// The table walk of the Modbus serial-line rules: a ends as the CRC's low byte.
template<typename Bytes>
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

QString crcText(QStringView text, const CrcTable &hi, const CrcTable &lo)
{
    const auto [a, b] = crcWalk(pairValues(text), hi, lo);
    return hexText(a, 2) + hexText(b, 2);
}

quint16 crc16(QByteArrayView bytes)
{
    static const CrcTable hi = crcHiTable();
    static const CrcTable lo = crcLoTable();
    const auto [a, b] = crcWalk(bytes, hi, lo);
    return static_cast<quint16>(b << 8 | a);
}

QByteArray withCrc(QByteArray frame)
{
    const quint16 crc = crc16(frame);
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

bool crcFits(QByteArrayView frame)
{
    if (frame.size() < 4)
        return false;
    const quint16 crc = crc16(frame.first(frame.size() - 2));
    return static_cast<quint8>(frame[frame.size() - 2]) == (crc & 0xFF)
           && static_cast<quint8>(frame[frame.size() - 1]) == crc >> 8;
}

QString lrcText(QStringView text)
{
    int sum = 0;
    for (quint8 v : pairValues(text))
        sum += v;
    return hexText((256 - sum % 256) % 256, 2);
}

} // namespace modbus
