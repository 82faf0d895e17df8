#include "modbus/request.h"

#include "modbus/hextext.h"

namespace modbus {

Frame frameBytes(QStringView deviceId, quint8 function, QStringView reg, QStringView data,
                 QStringView crc)
{
    const auto high = [](QStringView field) { return hexByte(field.mid(0, 2)); };
    const auto low = [](QStringView field) { return hexByte(field.size() > 2 ? field.mid(2, 2) : QStringView()); };
    return {hexByte(deviceId), function, high(reg), low(reg), high(data), low(data), high(crc), low(crc)};
}

QString deviceIdProblem(QStringView id, QStringView field)
{
    const bool twoDigits = isHexDigits(id, 2);
    const quint8 value = twoDigits ? hexByte(id) : 0;
    if (twoDigits && value >= 0x01 && value <= 0xF7)
        return {};
    return QStringLiteral("%1 \"%2\" must be two hexadecimal digits from 01 to F7").arg(field, id);
}

} // namespace modbus
