#pragma once

#include <QString>
#include <QStringView>

#include "modbus/protocol.h"

#include <array>

// A Modbus RTU request built from the window's hexadecimal text fields.
namespace modbus {

using Frame = std::array<quint8, RequestLength>;

// The eight request bytes: the device ID read whole; the register, the data
// and the check text as four-digit fields, characters 1-2 the first byte and
// 3-4 the second. Device IDs are checked before they get here, so every ID
// that reaches it fits in its byte.
Frame frameBytes(QStringView deviceId, quint8 function, QStringView reg, QStringView data,
                 QStringView crc);

// Why a device ID text cannot address a module (empty when it can): it must
// be exactly two hexadecimal digits, 01 to F7. field names the box in the message.
QString deviceIdProblem(QStringView id, QStringView field);

} // namespace modbus
