// The serial control on Linux (and other POSIX systems), through Qt Serial Port.
#include "serial/mscomm.h"
#include "serial/parity.h"
#include "serial/portline_unix.h"
#include "serial/portnames.h"

#include <QSerialPort>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

// What Linux's serial drivers count since the port was opened; nothing
// where the driver does not count (TIOCGICOUNT fails).
static std::optional<serial::LineErrors> driverCounters(int fd)
{
#ifdef __linux__
    serial_icounter_struct counts{};
    if (::ioctl(fd, TIOCGICOUNT, &counts) == 0)
        return serial::LineErrors{counts.parity, counts.frame, counts.brk, counts.overrun,
                                  counts.buf_overrun};
#endif
    Q_UNUSED(fd);
    return std::nullopt;
}

class MSComm::Port
{
public:
    explicit Port(MSComm &owner);

    // Qt opens a port with input parity checking off, so a byte in error
    // passes as if it were good. Have the driver check and mark it instead,
    // with breaks marked too (no IGNBRK, no BRKINT) and FF bytes kept whole
    // (no ISTRIP).
    bool markErrors();
    // The driver's error counts since the last call, where it keeps them.
    serial::LineErrors countedErrors();
    void readyRead();
    void failed(QSerialPort::SerialPortError code);
    // Qt Serial Port 6.4 reports a hung-up tty (an adapter unplugged, a
    // pseudo-terminal whose other end closed) as a read error; 6.8 takes the
    // end of file it reads there for no data, says nothing, and is woken for
    // it again at once. So the hang-up is watched here, on a descriptor of
    // our own for the same device, whatever Qt's version does.
    void watchHangUp();
    bool hungUp() const;
    // A USB adapter being unplugged fails a write with ENODEV before its tty hangs up.
    static bool deviceGone(const QString &systemText)
    {
        return systemText == qt_error_string(ENODEV) || systemText == qt_error_string(ENXIO);
    }
    void close();
    void lost(const QString &systemText);

    MSComm &owner;
    QSerialPort serial;
    bool marking = false;
    serial::MarkState markState = serial::MarkState::Plain;
    bool writing = false;
    // The driver's error counters at the last look; none where it keeps none
    // (pseudo-terminals, many USB adapters).
    std::optional<serial::LineErrors> counters;
    int watched = -1;
    std::unique_ptr<QSocketNotifier> hangUp;
};

MSComm::Port::Port(MSComm &owner)
    : owner(owner)
{
    QObject::connect(&serial, &QSerialPort::readyRead, &owner, [this] { readyRead(); });
    QObject::connect(&serial, &QSerialPort::errorOccurred, &owner,
                     [this](QSerialPort::SerialPortError code) { failed(code); });
}

MSComm::MSComm(PortResolver resolver, QObject *parent)
    : QObject(parent)
    , resolver(std::move(resolver))
    , port(std::make_unique<Port>(*this))
{
}

MSComm::~MSComm() = default;

bool MSComm::PortOpen() const { return port->serial.isOpen(); }

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
    QSerialPort &serial = port->serial;
    serial.setPortName(device);
    serial.setBaudRate(settings.baud);
    serial.setParity(line->parity);
    serial.setDataBits(line->dataBits);
    serial.setStopBits(line->stopBits);
    serial.setFlowControl(QSerialPort::NoFlowControl);
    if (!serial.open(QIODevice::ReadWrite)) {
        switch (serial.error()) {
        case QSerialPort::PermissionError:
            return fail(portName() + u' ' + serial::permissionAdvice(device));
        case QSerialPort::DeviceNotFoundError:
            return fail(QStringLiteral("%1 is gone").arg(portName()));
        default:
            return fail(
                QStringLiteral("%1 cannot be opened: %2").arg(portName(), serial.errorString()));
        }
    }
    // Qt's lock file only binds programs that look for it; an flock binds the rest.
    if (::flock(serial.handle(), LOCK_EX | LOCK_NB) != 0) {
        serial.close();
        return fail(QStringLiteral("%1 is in use by another program").arg(portName()));
    }
    serial.setDataTerminalReady(true);
    serial.setRequestToSend(false);
    port->watchHangUp();
    received.clear();
    lineErrors = {};
    port->counters = driverCounters(serial.handle());
    port->markState = serial::MarkState::Plain;
    port->marking = line->markErrors;
    if (port->marking && !port->markErrors()) {
        const QString why = qt_error_string(errno);
        port->close();
        return fail(QStringLiteral("%1 cannot mark bytes received with parity errors: %2")
                        .arg(portName(), why));
    }
    return true;
}

bool MSComm::Port::markErrors()
{
    termios tio{};
    if (::tcgetattr(serial.handle(), &tio) != 0)
        return false;
    tio.c_iflag |= INPCK | PARMRK;
    tio.c_iflag &= ~(IGNPAR | ISTRIP | IGNBRK | BRKINT);
    return ::tcsetattr(serial.handle(), TCSANOW, &tio) == 0;
}

bool MSComm::setPortOpen(bool open)
{
    if (open == PortOpen())
        return true;
    if (open)
        return this->open();
    port->close();
    received.clear();
    return true;
}

bool MSComm::Output(const QByteArray &bytes)
{
    QSerialPort &serial = port->serial;
    if (!serial.isOpen())
        return fail(QStringLiteral("%1 is not open").arg(portName()));
    serial.clearError();
    port->writing = true;
    const bool queued = serial.write(bytes) == bytes.size();
    serial.flush();
    port->writing = false;
    if (!serial.isOpen())
        return true; // the device went away: told once, by PortLost
    if (!queued || serial.error() != QSerialPort::NoError)
        return fail(
            QStringLiteral("writing to %1 failed: %2").arg(portName(), serial.errorString()));
    return true;
}

serial::LineErrors MSComm::Port::countedErrors()
{
    const auto now = driverCounters(serial.handle());
    serial::LineErrors errors;
    if (now && counters) {
        errors.parity = now->parity - counters->parity;
        errors.framing = now->framing - counters->framing;
        errors.breaks = now->breaks - counters->breaks;
        errors.overruns = now->overruns - counters->overruns;
        errors.bufferFull = now->bufferFull - counters->bufferFull;
    }
    counters = now;
    return errors;
}

// Everything Qt has read is taken at once, so that no one sees a byte before
// its mark is undone; a mark cut between two reads adds nothing until its end.
void MSComm::Port::readyRead()
{
    const QByteArray bytes = serial.readAll();
    serial::LineErrors errors = countedErrors();
    owner.arrived(marking ? serial::unmarkErrors(bytes, markState, &errors.marked) : bytes, errors);
}

// What the system reports when a device is unplugged or a pseudo-terminal's
// other end closes; often only a left-over error of an earlier call.
static bool saysMoreThanGone(const QString &systemText)
{
    static const int gone[] = {0, EIO, ENXIO, ENODEV, ENOENT, EAGAIN, ENOTTY, EBADF};
    return std::none_of(std::begin(gone), std::end(gone),
                        [&](int code) { return systemText == qt_error_string(code); });
}

void MSComm::Port::failed(QSerialPort::SerialPortError code)
{
    if (!serial.isOpen())
        return;
    switch (code) {
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError: {
        const QString text = serial.errorString();
        lost(saysMoreThanGone(text) ? text : QString());
        break;
    }
    case QSerialPort::WriteError:
        // A write that finds the device gone is the lost port, whichever of the write,
        // the flush or the read hears of it first: one line, not a failure and a loss.
        if (hungUp() || deviceGone(serial.errorString()))
            lost(QString());
        else if (!writing) // Output reports its own failures
            Q_EMIT owner.WriteFailed(QStringLiteral("writing to %1 failed: %2")
                                         .arg(owner.portName(), serial.errorString()));
        break;
    default: break;
    }
}

void MSComm::Port::watchHangUp()
{
    watched = ::fcntl(serial.handle(), F_DUPFD_CLOEXEC, 0);
    if (watched < 0)
        return; // Qt's own report is all there is
    hangUp = std::make_unique<QSocketNotifier>(watched, QSocketNotifier::Read);
    // Woken for every byte too, which Qt's own notifier takes; only a hang-up is ours.
    QObject::connect(hangUp.get(), &QSocketNotifier::activated, &owner, [this] {
        if (hungUp())
            lost(QString());
    });
}

bool MSComm::Port::hungUp() const
{
    pollfd state{watched, POLLIN, 0};
    return watched >= 0 && ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR));
}

void MSComm::Port::close()
{
    hangUp.reset();
    if (watched >= 0)
        ::close(std::exchange(watched, -1));
    serial.close();
}

// Qt keeps reporting a dead device as fast as it can until the port is
// closed, so close it now. What arrived before stays to be taken.
void MSComm::Port::lost(const QString &systemText)
{
    if (!serial.isOpen())
        return;
    const QString reason = serial::lossMessage(owner.portName(), systemText);
    close();
    Q_EMIT owner.PortLost(reason);
}

// Opening a port does not block here: it opens at the next turn of the event
// loop, and the result comes as on Windows, where a Bluetooth port's open may.
void MSComm::openInBackground()
{
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT Opened(setPortOpen(true)); }, Qt::QueuedConnection);
}
