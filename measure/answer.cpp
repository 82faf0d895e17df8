#include "measure/answer.h"

#include "modbus/checksum.h"

namespace measure {

int readValue(QByteArrayView answer)
{
    return static_cast<quint8>(answer[3]) << 8 | static_cast<quint8>(answer[4]);
}

QString valueText(int raw, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(raw / 1000.0, 'g', QLocale::FloatingPointShortest);
}

bool startsWithException(QByteArrayView bytes)
{
    if (bytes.size() < 5 || !(static_cast<quint8>(bytes[1]) & 0x80))
        return false;
    const quint16 crc = modbus::crc16(bytes.first(3));
    return static_cast<quint8>(bytes[3]) == (crc & 0xFF) && static_cast<quint8>(bytes[4]) == crc >> 8;
}

} // namespace measure
