#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringView>

#include <optional>

namespace serial {

// A line settings text such as 38400,n,8,1, taken apart.
struct LineSettings
{
    int baud = 9600;
    char parity = 'n';                        // n, e, o, m or s
    int dataBits = 8;                         // 4 to 8
    int stopHalves = 2;                       // stop bits in halves: 2, 3 (1.5) or 4
    QString lengthText = QStringLiteral("8"); // the length as typed, for messages

    bool operator==(const LineSettings &) const = default;
};

// Accepts the standard rates 110 to 256000, parity n/e/o/m/s in either case,
// 4 to 8 data bits and 1, 1.5 or 2 stop bits. Anything else is refused: nullopt
// and, in why (if given), a message that names the field as the window labels it.
std::optional<LineSettings> parseSettings(QStringView text, QString *why = nullptr);

// What a port is opened with.
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
