#pragma once

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

// Whether a real serial port can send these settings as they are: 5 to 8 data
// bits, and 1.5 stop bits after 5 data bits only, 2 only after 6 to 8 (both
// Linux and Windows drivers hold to this). If not, false and, in why (if
// given), a message that names the field, quotes it and names portName.
bool portCanCarry(const LineSettings &settings, QStringView portName, QString *why = nullptr);

} // namespace serial
