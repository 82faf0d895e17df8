#include "tests/support/frames.h"

quint16 referenceCrc16(const QByteArray &bytes)
{
    quint16 crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= static_cast<quint8>(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

QByteArray framed(const QByteArray &hex)
{
    QByteArray bytes = QByteArray::fromHex(hex);
    const quint16 crc = referenceCrc16(bytes);
    bytes.append(static_cast<char>(crc & 0xFF));
    return bytes.append(static_cast<char>(crc >> 8));
}
