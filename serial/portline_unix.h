#pragma once

#include "serial/settings.h"

#include <QSerialPort>
#include <QStringView>

#include <optional>

namespace serial {

// What a port is opened with through Qt Serial Port.
struct PortLine
{
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    // The driver marks each byte received with a parity or framing error, so
    // that it can reach the operator as the replacement character.
    bool markErrors = false;
};

// A pseudo-terminal carries neither parity nor a length other than 8, so it is
// opened 8N with the stop bits it can carry. A real port is opened with exactly
// the settings or not at all: what it cannot carry gives nullopt and, in why
// (if given), a message that names the field, quotes it and names portName.
std::optional<PortLine> portLine(const LineSettings &settings, bool pseudoTerminal,
                                 QStringView portName, QString *why = nullptr);

} // namespace serial
