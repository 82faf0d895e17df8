#include "serial/mscomm.h"

#include "serial/portnames.h"

#include <QFile>

#include <sys/file.h>

MSComm::MSComm(PortResolver resolver, QObject *parent)
    : QObject(parent), resolver(std::move(resolver))
{
    connect(&port, &QSerialPort::readyRead, this, [this] {
        commEvent = comEvReceive;
        Q_EMIT OnComm();
    });
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

using serial::deviceGroup;

bool MSComm::open()
{
    const QString path = resolver ? resolver(commPort) : QString();
    device = serial::canonicalDevice(path);
    if (path.isEmpty())
        return fail(QStringLiteral("COM %1 has no device").arg(commPort));
    if (device.isEmpty())
        return fail(QStringLiteral("COM %1 (%2) does not exist").arg(commPort).arg(path));
    if (!serial::heldQtLockFile(device).isEmpty())
        return fail(QStringLiteral("%1 is in use by another program").arg(portName()));

    // A pseudo-terminal carries neither parity nor a data length other than
    // 8 (the kernel drops them), and no 1.5 stop bits: open it with what it can carry.
    const bool pty = device.startsWith(QLatin1String("/dev/pts/"));
    if (!pty && settings.dataBits == 4)
        return fail(QStringLiteral("%1 cannot use 4 data bits").arg(portName()));
    static const QMap<char, QSerialPort::Parity> parities{{'n', QSerialPort::NoParity},
                                                          {'e', QSerialPort::EvenParity},
                                                          {'o', QSerialPort::OddParity},
                                                          {'m', QSerialPort::MarkParity},
                                                          {'s', QSerialPort::SpaceParity}};
    port.setPortName(device);
    port.setBaudRate(settings.baud);
    port.setParity(pty ? QSerialPort::NoParity : parities.value(settings.parity));
    port.setDataBits(pty ? QSerialPort::Data8 : static_cast<QSerialPort::DataBits>(settings.dataBits));
    port.setStopBits(settings.stopHalves == 4   ? QSerialPort::TwoStop
                     : settings.stopHalves == 3 && !pty ? QSerialPort::OneAndHalfStop
                                                        : QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite)) {
        switch (port.error()) {
        case QSerialPort::PermissionError:
            return fail(QStringLiteral("%1: permission denied; add your user to the group \"%2\" "
                                       "(sudo adduser $USER %2) and log in again")
                            .arg(portName(), deviceGroup(device)));
        case QSerialPort::DeviceNotFoundError:
            return fail(QStringLiteral("%1 is gone").arg(portName()));
        default:
            return fail(QStringLiteral("%1 cannot be opened: %2").arg(portName(), port.errorString()));
        }
    }
    // Qt's lock file only binds programs that look for it; an flock binds the rest.
    if (::flock(port.handle(), LOCK_EX | LOCK_NB) != 0) {
        port.close();
        return fail(QStringLiteral("%1 is in use by another program").arg(portName()));
    }
    port.setDataTerminalReady(true);
    port.setRequestToSend(false);
    return true;
}

bool MSComm::setPortOpen(bool open)
{
    if (open == port.isOpen())
        return true;
    if (open)
        return this->open();
    port.close();
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

bool MSComm::Output(const QString &text)
{
    return Output(text.toLatin1());
}

qint16 MSComm::InBufferCount() const
{
    return static_cast<qint16>(qMin<qint64>(port.bytesAvailable(), 32767));
}

QByteArray MSComm::Input()
{
    return port.readAll();
}

QByteArray MSComm::Input(qint64 count)
{
    return port.read(count);
}

QByteArray MSComm::Peek()
{
    return port.peek(port.bytesAvailable());
}

void MSComm::onError(QSerialPort::SerialPortError code)
{
    if (!port.isOpen())
        return;
    switch (code) {
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError: {
        // Qt keeps reporting a dead device as fast as it can until the port
        // is closed, so close it now.
        const QString reason = QStringLiteral("%1 was lost (%2); the port is closed")
                                   .arg(portName(), port.errorString());
        port.close();
        Q_EMIT PortLost(reason);
        break;
    }
    case QSerialPort::WriteError:
        if (!writing) // Output reports its own failures
            Q_EMIT WriteFailed(QStringLiteral("writing to %1 failed: %2").arg(portName(), port.errorString()));
        break;
    default:
        break;
    }
}
