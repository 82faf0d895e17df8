// The serial control's parts that are the same on every system.
#include "serial/mscomm.h"

#include <utility>

bool MSComm::setSettings(const QString &text)
{
    const auto parsed = serial::parseSettings(text, &error);
    if (!parsed)
        return false;
    settingsText = text;
    settings = *parsed;
    return true;
}

QString MSComm::portName() const
{
    return device.isEmpty() ? QStringLiteral("COM %1").arg(commPort)
                            : QStringLiteral("COM %1 (%2)").arg(commPort).arg(device);
}

bool MSComm::fail(const QString &why)
{
    error = why;
    return false;
}

bool MSComm::Output(const QString &text) { return Output(text.toLatin1()); }

void MSComm::arrived(const QByteArray &bytes, const serial::LineErrors &errors)
{
    lineErrors += errors;
    if (bytes.isEmpty())
        return;
    received += bytes;
    commEvent = comEvReceive;
    Q_EMIT OnComm();
}

qint16 MSComm::InBufferCount() const
{
    return static_cast<qint16>(qMin<qsizetype>(received.size(), 32767));
}

QByteArray MSComm::Input() { return std::exchange(received, QByteArray()); }

QByteArray MSComm::Input(qint64 count)
{
    const QByteArray bytes = received.first(qBound<qint64>(0, count, received.size()));
    received.remove(0, bytes.size());
    return bytes;
}

QByteArray MSComm::Peek() { return received; }

serial::LineErrors MSComm::takeLineErrors() { return std::exchange(lineErrors, {}); }

namespace serial {

QString lossMessage(const QString &portName, const QString &systemText)
{
    return QStringLiteral(
               "%1 was lost: the device went away (unplugged, or the other end closed%2); "
               "the port is closed")
        .arg(portName,
             systemText.isEmpty() ? QString() : QStringLiteral("; the system says: ") + systemText);
}

} // namespace serial
