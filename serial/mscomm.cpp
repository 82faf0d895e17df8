#include "serial/mscomm.h"

#include "serial/portnames.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <utility>

#include <sys/file.h>
#include <termios.h>

MSComm::MSComm(PortResolver resolver, QObject *parent)
    : QObject(parent)
    , resolver(std::move(resolver))
{
    connect(&port, &QSerialPort::readyRead, this, &MSComm::onReadyRead);
    connect(&port, &QSerialPort::errorOccurred, this, &MSComm::onError);
}

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

bool MSComm::open()
{
    const QString path = resolver ? resolver(commPort) : QString();
    device = serial::canonicalDevice(path);
    if (path.isEmpty())
        return fail(QStringLiteral("COM %1 has no device").arg(commPort));
    if (device.isEmpty())
        return fail(QStringLiteral("COM %1 (%2) does not exist").arg(commPort).arg(path));
    if (serial::leftBehind(path))
        return fail(
            QStringLiteral("%1 was left behind by a simulator that has ended").arg(portName()));
    if (!serial::heldQtLockFile(device).isEmpty())
        return fail(QStringLiteral("%1 is in use by another program").arg(portName()));

    const bool pty = device.startsWith(QLatin1String("/dev/pts/"));
    const auto line = serial::portLine(settings, pty, portName(), &error);
    if (!line)
        return false;
    port.setPortName(device);
    port.setBaudRate(settings.baud);
    port.setParity(line->parity);
    port.setDataBits(line->dataBits);
    port.setStopBits(line->stopBits);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite)) {
        switch (port.error()) {
        case QSerialPort::PermissionError:
            return fail(portName() + u' ' + serial::permissionAdvice(device));
        case QSerialPort::DeviceNotFoundError:
            return fail(QStringLiteral("%1 is gone").arg(portName()));
        default:
            return fail(
                QStringLiteral("%1 cannot be opened: %2").arg(portName(), port.errorString()));
        }
    }
    // Qt's lock file only binds programs that look for it; an flock binds the rest.
    if (::flock(port.handle(), LOCK_EX | LOCK_NB) != 0) {
        port.close();
        return fail(QStringLiteral("%1 is in use by another program").arg(portName()));
    }
    port.setDataTerminalReady(true);
    port.setRequestToSend(false);
    received.clear();
    markState = serial::MarkState::Plain;
    marking = line->markErrors;
    if (marking && !markErrors()) {
        const QString why = qt_error_string(errno);
        port.close();
        return fail(QStringLiteral("%1 cannot mark bytes received with parity errors: %2")
                        .arg(portName(), why));
    }
    return true;
}

// Qt opens a port with input parity checking off, so a byte in error passes
// as if it were good. Have the driver check and mark it instead, with breaks
// marked too (no IGNBRK, no BRKINT) and FF bytes kept whole (no ISTRIP).
bool MSComm::markErrors()
{
    termios tio{};
    if (::tcgetattr(port.handle(), &tio) != 0)
        return false;
    tio.c_iflag |= INPCK | PARMRK;
    tio.c_iflag &= ~(IGNPAR | ISTRIP | IGNBRK | BRKINT);
    return ::tcsetattr(port.handle(), TCSANOW, &tio) == 0;
}

bool MSComm::setPortOpen(bool open)
{
    if (open == port.isOpen())
        return true;
    if (open)
        return this->open();
    port.close();
    received.clear();
    return true;
}

bool MSComm::Output(const QByteArray &bytes)
{
    if (!port.isOpen())
        return fail(QStringLiteral("%1 is not open").arg(portName()));
    port.clearError();
    writing = true;
    const bool queued = port.write(bytes) == bytes.size();
    port.flush();
    writing = false;
    if (!queued || port.error() != QSerialPort::NoError)
        return fail(QStringLiteral("writing to %1 failed: %2").arg(portName(), port.errorString()));
    return true;
}

bool MSComm::Output(const QString &text) { return Output(text.toLatin1()); }

// Everything Qt has read is taken at once, so that no one sees a byte before
// its mark is undone; a mark cut between two reads adds nothing until its end.
void MSComm::onReadyRead()
{
    const QByteArray bytes = port.readAll();
    const qsizetype before = received.size();
    received += marking ? serial::unmarkErrors(bytes, markState) : bytes;
    if (received.size() == before)
        return;
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

void MSComm::onError(QSerialPort::SerialPortError code)
{
    if (!port.isOpen())
        return;
    switch (code) {
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError: {
        // Qt keeps reporting a dead device as fast as it can until the port
        // is closed, so close it now. What arrived before stays to be taken.
        const QString reason = serial::lossMessage(portName(), port.errorString());
        port.close();
        Q_EMIT PortLost(reason);
        break;
    }
    case QSerialPort::WriteError:
        if (!writing) // Output reports its own failures
            Q_EMIT WriteFailed(
                QStringLiteral("writing to %1 failed: %2").arg(portName(), port.errorString()));
        break;
    default: break;
    }
}

namespace serial {

QString lossMessage(const QString &portName, const QString &systemText)
{
    // What the system reports when a device is unplugged or a pseudo-terminal's
    // other end closes; often only a left-over error of an earlier call.
    static const int gone[] = {0, EIO, ENXIO, ENODEV, ENOENT, EAGAIN, ENOTTY, EBADF};
    const bool saysMore = std::none_of(std::begin(gone), std::end(gone), [&](int code) {
        return systemText == qt_error_string(code);
    });
    return QStringLiteral(
               "%1 was lost: the device went away (unplugged, or the other end closed%2); "
               "the port is closed")
        .arg(portName, saysMore ? QStringLiteral("; the system says: ") + systemText : QString());
}

} // namespace serial
