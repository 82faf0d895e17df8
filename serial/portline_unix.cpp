#include "serial/portline_unix.h"

namespace serial {

std::optional<PortLine> portLine(const LineSettings &settings, bool pseudoTerminal,
                                 QStringView portName, QString *why)
{
    PortLine line;
    if (pseudoTerminal) {
        line.stopBits = settings.stopHalves == 4 ? QSerialPort::TwoStop : QSerialPort::OneStop;
        return line;
    }
    // Linux knows 5 to 8 data bits, and one stop-bit flag that means 2 stop
    // bits, or 1.5 after 5 data bits. Qt would take 1.5 as 1 without a word.
    if (!portCanCarry(settings, portName, why))
        return std::nullopt;
    line.dataBits = static_cast<QSerialPort::DataBits>(settings.dataBits);
    line.stopBits = settings.stopHalves == 2 ? QSerialPort::OneStop : QSerialPort::TwoStop;
    switch (settings.parity) {
    case 'e': line.parity = QSerialPort::EvenParity; break;
    case 'o': line.parity = QSerialPort::OddParity; break;
    case 'm': line.parity = QSerialPort::MarkParity; break;
    case 's': line.parity = QSerialPort::SpaceParity; break;
    default: line.parity = QSerialPort::NoParity; break;
    }
    line.markErrors = line.parity != QSerialPort::NoParity;
    return line;
}

} // namespace serial
