#include "modbus/request.h"

#include "modbus/hextext.h"

namespace modbus {

Frame frameBytes(QStringView deviceId, quint8 function, QStringView reg, QStringView data,
                 QStringView crc)
{
    const auto high = [](QStringView field) { return hexByte(field.mid(0, 2)); };
    const auto low = [](QStringView field) {
        return hexByte(field.size() > 2 ? field.mid(2, 2) : QStringView());
    };
    return {hexByte(deviceId), function,  high(reg), low(reg),
            high(data),        low(data), high(crc), low(crc)};
}

std::optional<quint8> parseDeviceId(QStringView text, QStringView field, QString *why)
{
    const quint8 value = isHexDigits(text, 2) ? hexByte(text) : 0;
    if (value >= 0x01 && value <= 0xF7)
        return value;
    if (why)
        *why = QStringLiteral("%1 \"%2\" must be two hexadecimal digits from 01 to F7")
                   .arg(field, text);
    return std::nullopt;
}

} // namespace modbus
