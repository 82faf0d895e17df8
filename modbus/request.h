#pragma once

#include "modbus/protocol.h"

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// A Modbus RTU request built from the window's hexadecimal text fields.
namespace modbus {

using Frame = std::array<quint8, RequestLength>;

// The eight request bytes: the device ID read whole; the register, the data
// and the check text as four-digit fields, characters 1-2 the first byte and
// 3-4 the second. Device IDs are checked before they get here, so every ID
// that reaches it fits in its byte.
Frame frameBytes(QStringView deviceId, quint8 function, QStringView reg, QStringView data,
                 QStringView crc);

// The address a device ID text names: exactly two hexadecimal digits, 01 to
// F7. Otherwise nothing, and in why (if given) a message that names the box
// by field and quotes the text.
std::optional<quint8> parseDeviceId(QStringView text, QStringView field, QString *why = nullptr);

} // namespace modbus
