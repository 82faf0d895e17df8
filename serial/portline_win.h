#pragma once

#include "serial/settings.h"

#include <QStringView>

#include <optional>

#include <windows.h>

namespace serial {

// The device control block a Windows port is opened with: dcb as the driver
// gave it, with the line settings, raw bytes, no flow control (XON and XOFF
// set apart all the same), DTR on and RTS off, and with parity a byte received
// with a parity error replaced by the driver with the replacement character
// "?", as the serial control promises. What a Windows port cannot carry gives
// nullopt and, in why (if given), a message that names the field, quotes it
// and names portName.
std::optional<DCB> portDcb(DCB dcb, const LineSettings &settings, QStringView portName,
                           QString *why = nullptr);

} // namespace serial
