// The serial control on Windows, through the Win32 communications functions.
//
// Reads: one overlapped ReadFile at a time, whose event the event loop waits
// on. Its time-outs make it wait as long as it takes for a first byte and end
// once the line has been quiet for ReadGapMs after the last one, so each burst
// of bytes is one receive event. Windows' own drivers and Wine both honour
// that; Wine's serial ports cannot signal a read that waits only for a
// first byte, nor WaitCommEvent on a pseudo-terminal.
#include "serial/mscomm.h"
#include "serial/portcheck_win.h"
#include "serial/portio_win.h"
#include "serial/portline_win.h"
#include "serial/portnames.h"

#include <QTimer>
#include <QWinEventNotifier>

#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include <windows.h>

namespace {

constexpr DWORD ReadGapMs = 10;
// An empty read is not expected with the time-outs above; should a driver
// give one anyway, the next read waits this long instead of spinning.
constexpr int EmptyReadPauseMs = 50;
// A read that failed while the device still answers is tried again after
// this long: a driver in trouble is not to be asked twenty times a second.
constexpr int ReadRetryMs = 1000;
// A Bluetooth device switched off or out of reach while connected is never
// reported by its driver: its port only stops taking writes. So many writes
// in a row that time out, with nothing received between, are its loss.
constexpr int BluetoothTimeoutsForLoss = 3;

using serial::systemText;

// A port opened with its line settings, or why not. The handle is closed with
// it unless taken: an open whose result nobody takes any more lets go of it.
struct Opening
{
    Opening() = default;
    Opening(const Opening &) = delete;
    Opening &operator=(const Opening &) = delete;
    ~Opening()
    {
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
    }
    HANDLE take() { return std::exchange(handle, INVALID_HANDLE_VALUE); }

    HANDLE handle = INVALID_HANDLE_VALUE;
    QString error;
};

// Opens path and applies the line settings: the part of an open that may
// block (a Bluetooth port's open reaches out to its device), so it takes
// nothing of the control and runs on any thread.
void openPort(Opening &opening, const QString &path, const QString &portName,
              const serial::LineSettings &settings, const QString &settingsText, bool leftover)
{
    const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()),
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        opening.error = portName + u' ' + serial::openRefusal(code, leftover);
        return;
    }
    opening.handle = handle;
    // The system's error is taken first: making the words may change it.
    const auto refuse = [&](const auto &words) {
        const DWORD code = ::GetLastError();
        ::CloseHandle(opening.take());
        opening.error = portName + u' ' + words(code);
    };
    // The driver's own settings, which the line settings go over.
    DCB current{};
    current.DCBlength = sizeof(DCB);
    if (!::GetCommState(handle, &current))
        return refuse(serial::stateRefusal);
    std::optional<DCB> dcb = serial::portDcb(current, settings, portName, &opening.error);
    if (!dcb) {
        ::CloseHandle(opening.take());
        return;
    }
    if (!::SetCommState(handle, &*dcb))
        return refuse([&](DWORD code) { return serial::lineRefusal(code, settingsText); });
    // A write may take as long as its bytes need on the line (12 bits a byte
    // at most), and a second more; one that cannot finish is reported.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = ReadGapMs;
    timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(12000 / settings.baud + 1);
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!::SetCommTimeouts(handle, &timeouts))
        return refuse([](DWORD code) {
            return QStringLiteral("cannot be opened: %1").arg(systemText(code));
        });
}

// An open under way on a thread of its own, and the control that awaits it:
// none once the control has gone.
struct Job
{
    std::mutex lock;
    MSComm *owner = nullptr;
};

} // namespace

class MSComm::Port
{
public:
    explicit Port(MSComm &owner);
    ~Port();

    bool isOpen() const { return handle != INVALID_HANDLE_VALUE; }
    // The path behind the port number, and the device behind it; false and
    // the reason in the control's error where there is none.
    bool resolve(QString *path);
    // The window's side of an open, on the event thread: the port opened
    // takes its requests and reads.
    bool adopt(const QString &path, Opening &opening);
    void close();
    // 0 once a read is under way, else the system's error code.
    DWORD startRead();
    void readDone();
    void readOn();
    // 0 once the queued bytes are on their way, else the system's error code.
    DWORD startWrite();
    void writeDone();
    // True when code, from a read or a write, means the device has gone: a
    // code that says the device failed is asked of the device itself.
    bool gone(DWORD code) const;
    void lose(DWORD code);
    void lost(const QString &reason);
    // A write failed with code: a lost port where the device is gone.
    void writeFailed(DWORD code);
    // A write timed out after the port took taken of its bytes.
    void writeTimedOut(DWORD taken);

    MSComm &owner;
    HANDLE handle = INVALID_HANDLE_VALUE;
    // The name the port was opened by, which a request left with its driver holds.
    QString path;
    bool bluetooth = false;
    std::unique_ptr<serial::Requests> requests;
    bool readPending = false;
    bool writePending = false;
    // A failed read has been told, and none has succeeded since.
    bool readTrouble = false;
    // Writes that timed out in a row.
    int writeTimeouts = 0;
    QWinEventNotifier readEvent;
    QWinEventNotifier writeEvent;
    serial::DeviceWatch watch;
    // The bytes handed to Output while a write is under way.
    QByteArray queued;
    std::shared_ptr<Job> job;
};

MSComm::Port::Port(MSComm &owner)
    : owner(owner)
{
    QObject::connect(&readEvent, &QWinEventNotifier::activated, &owner, [this] { readDone(); });
    QObject::connect(&writeEvent, &QWinEventNotifier::activated, &owner, [this] { writeDone(); });
    QObject::connect(&watch, &serial::DeviceWatch::gone, &owner,
                     [this](DWORD code) { lose(code); });
}

MSComm::Port::~Port()
{
    if (job) {
        const std::lock_guard guard(job->lock);
        job->owner = nullptr;
    }
    close();
}

void MSComm::Port::close()
{
    readEvent.setEnabled(false);
    writeEvent.setEnabled(false);
    watch.stop();
    if (!isOpen())
        return;
    serial::closePort(std::exchange(handle, INVALID_HANDLE_VALUE), path, std::move(requests),
                      readPending, writePending);
    readPending = writePending = false;
    queued.clear();
}

DWORD MSComm::Port::startRead()
{
    // The event is signalled when the read is done, also when it is done at once.
    if (!::ReadFile(handle, requests->readBuffer.data(), serial::Requests::ReadSize, nullptr,
                    &requests->reading)
        && ::GetLastError() != ERROR_IO_PENDING)
        return ::GetLastError();
    readPending = true;
    readEvent.setEnabled(true);
    return 0;
}

void MSComm::Port::readOn()
{
    if (const DWORD code = startRead())
        lose(code);
}

// What the driver flagged on the line since the last look. Windows says which
// errors happened, not how many.
static serial::LineErrors flaggedErrors(HANDLE handle)
{
    serial::LineErrors errors;
    errors.counted = false;
    DWORD flags = 0;
    if (::ClearCommError(handle, &flags, nullptr)) {
        errors.parity = (flags & CE_RXPARITY) ? 1 : 0;
        errors.framing = (flags & CE_FRAME) ? 1 : 0;
        errors.breaks = (flags & CE_BREAK) ? 1 : 0;
        errors.overruns = (flags & CE_OVERRUN) ? 1 : 0;
        errors.bufferFull = (flags & CE_RXOVER) ? 1 : 0;
    }
    return errors;
}

void MSComm::Port::readDone()
{
    DWORD count = 0;
    if (!::GetOverlappedResult(handle, &requests->reading, &count, FALSE)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_IO_INCOMPLETE)
            return;
        // A device that failed a read and still answers is read on, a while
        // later, and the failure told once.
        if (serial::deviceTrouble(code) && !gone(code)) {
            readPending = false;
            readEvent.setEnabled(false);
            if (!std::exchange(readTrouble, true))
                Q_EMIT owner.ReadFailed(QStringLiteral("reading from %1 failed: %2; reading on")
                                            .arg(owner.portName(), systemText(code)));
            QTimer::singleShot(ReadRetryMs, &owner, [this, before = handle] {
                if (handle == before && !readPending)
                    readOn();
            });
            return;
        }
        // Wine reports a read that timed out empty as an error, Windows does not.
        if (code != ERROR_TIMEOUT)
            return lose(code);
    }
    readPending = false;
    readEvent.setEnabled(false);
    readTrouble = false;
    if (count > 0)
        writeTimeouts = 0; // the device is there to answer
    // The receive handler may close the port, or close and open it again
    // (a settings write): read on only where it did neither.
    const QByteArray bytes = requests->readBuffer.first(count);
    const HANDLE before = handle;
    owner.arrived(bytes, flaggedErrors(handle));
    if (handle != before || readPending)
        return;
    if (count > 0)
        readOn();
    else
        QTimer::singleShot(EmptyReadPauseMs, &owner, [this, before] {
            if (handle == before && !readPending)
                readOn();
        });
}

DWORD MSComm::Port::startWrite()
{
    QByteArray &written = requests->written;
    written = std::exchange(queued, QByteArray());
    if (!::WriteFile(handle, written.constData(), static_cast<DWORD>(written.size()), nullptr,
                     &requests->writing)
        && ::GetLastError() != ERROR_IO_PENDING)
        return ::GetLastError();
    writePending = true;
    writeEvent.setEnabled(true);
    return 0;
}

void MSComm::Port::writeDone()
{
    DWORD count = 0;
    const bool done = ::GetOverlappedResult(handle, &requests->writing, &count, FALSE);
    const DWORD code = done ? 0 : ::GetLastError();
    if (code == ERROR_IO_INCOMPLETE)
        return;
    writePending = false;
    writeEvent.setEnabled(false);
    // A failed request's count is what the driver took of it all the same.
    if (done ? count < static_cast<DWORD>(requests->written.size()) : serial::writeTimedOut(code))
        return writeTimedOut(count);
    if (!done)
        return writeFailed(code);
    writeTimeouts = 0;
    if (!queued.isEmpty()) {
        if (const DWORD next = startWrite())
            writeFailed(next);
    }
}

// Unplugging often fails a write first, while the read stays pending: then the
// port is lost, as by a failed read, and reported once.
void MSComm::Port::writeFailed(DWORD code)
{
    queued.clear();
    if (gone(code))
        return lose(code);
    Q_EMIT owner.WriteFailed(
        QStringLiteral("writing to %1 failed: %2").arg(owner.portName(), systemText(code)));
}

void MSComm::Port::writeTimedOut(DWORD taken)
{
    queued.clear();
    if (bluetooth && ++writeTimeouts >= BluetoothTimeoutsForLoss)
        return lost(QStringLiteral("%1 was lost: its Bluetooth device took none of the last %2 "
                                   "writes in time, so it is switched off or out of reach; the "
                                   "port is closed")
                        .arg(owner.portName())
                        .arg(BluetoothTimeoutsForLoss));
    Q_EMIT owner.WriteFailed(
        serial::timedOutWrite(owner.portName(), taken, requests->written.size(), bluetooth));
}

// ERROR_GEN_FAILURE and ERROR_IO_DEVICE come from drivers whose device was
// unplugged as well as from drivers in trouble with a device that is there:
// the device's answer to the watch's status call tells which. Where nothing
// answers that call (it failed at the open), a read or write that fails so is
// taken for the loss, since nothing else will tell.
bool MSComm::Port::gone(DWORD code) const
{
    return serial::deviceGone(code) || (serial::deviceTrouble(code) && !watch.deviceThere());
}

void MSComm::Port::lose(DWORD code)
{
    lost(serial::lossMessage(owner.portName(),
                             serial::deviceGone(code) ? QString() : systemText(code)));
}

void MSComm::Port::lost(const QString &reason)
{
    if (!isOpen())
        return;
    close();
    Q_EMIT owner.PortLost(reason);
}

MSComm::MSComm(PortResolver resolver, QObject *parent)
    : QObject(parent)
    , resolver(std::move(resolver))
    , port(std::make_unique<Port>(*this))
{
}

MSComm::~MSComm() = default;

bool MSComm::PortOpen() const { return port->isOpen(); }

bool MSComm::open()
{
    QString path;
    if (!port->resolve(&path))
        return false;
    Opening opening;
    openPort(opening, path, portName(), settings, settingsText, serial::heldByLeftover(path));
    return port->adopt(path, opening);
}

bool MSComm::Port::resolve(QString *path)
{
    *path = owner.resolver ? owner.resolver(owner.commPort) : QString();
    owner.device = serial::canonicalDevice(*path);
    return !path->isEmpty()
           || owner.fail(QStringLiteral("COM %1 has no device").arg(owner.commPort));
}

bool MSComm::Port::adopt(const QString &path, Opening &opening)
{
    if (opening.handle == INVALID_HANDLE_VALUE)
        return owner.fail(opening.error);
    auto made = std::make_unique<serial::Requests>();
    if (made->error)
        return owner.fail(QStringLiteral("%1 cannot be opened: %2")
                              .arg(owner.portName(), systemText(made->error)));
    handle = opening.take();
    this->path = path;
    bluetooth = serial::bluetoothDevice(owner.device);
    writeTimeouts = 0;
    readTrouble = false;
    requests = std::move(made);
    readEvent.setHandle(requests->reading.hEvent);
    writeEvent.setHandle(requests->writing.hEvent);
    owner.received.clear();
    owner.lineErrors = {};
    if (const DWORD code = startRead()) {
        close();
        return owner.fail(
            QStringLiteral("%1 cannot be read: %2").arg(owner.portName(), systemText(code)));
    }
    // The modem lines' status: the drivers keep it (usbser.sys from the
    // device's notices, FTDI's from every packet's status bytes), so asking
    // needs no round trip to the device, and it changes nothing.
    watch.start([handle = handle] {
        DWORD lines = 0;
        return ::GetCommModemStatus(handle, &lines) ? DWORD(0) : ::GetLastError();
    });
    return true;
}

// The open runs on a thread of its own and hands its result to the event
// thread. Should the control go first, the result finds no one and the port
// is closed again.
void MSComm::openInBackground()
{
    QString path;
    if (!port->resolve(&path)) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT Opened(false); }, Qt::QueuedConnection);
        return;
    }
    auto job = port->job = std::make_shared<Job>();
    job->owner = this;
    std::thread([job, path, name = portName(), settings = settings, text = settingsText,
                 leftover = serial::heldByLeftover(path)] {
        auto opening = std::make_shared<Opening>();
        openPort(*opening, path, name, settings, text, leftover);
        const std::lock_guard guard(job->lock);
        if (MSComm *owner = job->owner)
            QMetaObject::invokeMethod(
                owner,
                [owner, job, path, opening] {
                    if (owner->port->job == job)
                        owner->port->job.reset();
                    Q_EMIT owner->Opened(owner->port->adopt(path, *opening));
                },
                Qt::QueuedConnection);
    }).detach();
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
    if (!PortOpen())
        return fail(QStringLiteral("%1 is not open").arg(portName()));
    port->queued += bytes;
    if (port->writePending)
        return true; // goes out when the write under way is done
    if (const DWORD code = port->startWrite()) {
        port->queued.clear();
        // A device gone is a lost port, reported once, by PortLost.
        if (port->gone(code)) {
            port->lose(code);
            return true;
        }
        return fail(QStringLiteral("writing to %1 failed: %2").arg(portName(), systemText(code)));
    }
    return true;
}
