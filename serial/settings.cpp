#include "serial/settings.h"

#include "modbus/protocol.h"

#include <QList>

#include <algorithm>

namespace serial {

static std::nullopt_t refuse(QString *why, const QString &message)
{
    if (why)
        *why = message;
    return std::nullopt;
}

std::optional<LineSettings> parseSettings(QStringView text, QString *why)
{
    // The serial control's standard rates, and whatever rate the module knows.
    static const int rates[] = {110,   300,   600,   1200,  2400,  4800,   9600,   14400,
                                19200, 28800, 38400, 56000, 57600, 115200, 128000, 256000};
    const QList<QStringView> fields = text.split(u',');
    if (fields.size() != 4)
        return refuse(why, QStringLiteral("Line settings \"%1\" must be baud rate, parity, length "
                                          "and stop bits joined by commas")
                               .arg(text));
    LineSettings s;
    bool ok = false;
    s.baud = fields[0].toInt(&ok);
    if (!ok
        || (std::find(std::begin(rates), std::end(rates), s.baud) == std::end(rates)
            && modbus::baudCode(s.baud) == 0))
        return refuse(why, QStringLiteral("Baudrate \"%1\" is not a standard rate (110 to 256000)")
                               .arg(fields[0]));

    const QString parity = fields[1].toString().toLower();
    if (parity.size() != 1 || !QStringLiteral("neoms").contains(parity))
        return refuse(why, QStringLiteral("Parity \"%1\" must be n, e, o, m or s").arg(fields[1]));
    s.parity = parity.at(0).toLatin1();

    s.lengthText = fields[2].toString();
    s.dataBits = fields[2].toInt(&ok);
    if (!ok || s.dataBits < 4 || s.dataBits > 8)
        return refuse(why, QStringLiteral("Length \"%1\" must be 4 to 8 data bits").arg(fields[2]));

    if (fields[3] == u"1")
        s.stopHalves = 2;
    else if (fields[3] == u"1.5")
        s.stopHalves = 3;
    else if (fields[3] == u"2")
        s.stopHalves = 4;
    else
        return refuse(why,
                      QStringLiteral("Stop \"%1\" must be 1, 1.5 or 2 stop bits").arg(fields[3]));
    return s;
}

bool portCanCarry(const LineSettings &settings, QStringView portName, QString *why)
{
    QString problem;
    if (settings.dataBits < 5)
        problem = QStringLiteral("Length \"%1\" cannot be used on %2: a serial port sends 5 to 8 "
                                 "data bits")
                      .arg(settings.lengthText, portName);
    else if (settings.stopHalves == 3 && settings.dataBits != 5)
        problem = QStringLiteral("Stop \"1.5\" cannot be used on %1 with %2 data bits: a serial "
                                 "port sends 1.5 stop bits only after 5 data bits")
                      .arg(portName)
                      .arg(settings.dataBits);
    else if (settings.stopHalves == 4 && settings.dataBits == 5)
        problem = QStringLiteral("Stop \"2\" cannot be used on %1 with 5 data bits: after 5 data "
                                 "bits a serial port sends 1.5 stop bits, not 2")
                      .arg(portName);
    if (why && !problem.isEmpty())
        *why = problem;
    return problem.isEmpty();
}

} // namespace serial
