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
#include "serial/portline_win.h"
#include "serial/portnames.h"

#include <QDeadlineTimer>
#include <QTimer>
#include <QWinEventNotifier>

#include <algorithm>
#include <memory>
#include <optional>

#include <windows.h>

namespace {

constexpr DWORD ReadGapMs = 10;
constexpr DWORD ReadSize = 4096;
// An empty read is not expected with the time-outs above; should a driver
// give one anyway, the next read waits this long instead of spinning.
constexpr int EmptyReadPauseMs = 50;
// How long a close waits, in all, for the driver to end the cancelled read
// and write.
constexpr int CloseWaitMs = 1500;

using serial::systemText;

// What the driver may write into while a read or a write is under way: the
// requests, their events and their bytes.
struct Requests
{
    Requests()
    {
        reading.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        writing.hEvent = reading.hEvent ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr;
        error = writing.hEvent ? 0 : ::GetLastError();
    }
    ~Requests()
    {
        if (reading.hEvent)
            ::CloseHandle(reading.hEvent);
        if (writing.hEvent)
            ::CloseHandle(writing.hEvent);
    }
    Requests(const Requests &) = delete;
    Requests &operator=(const Requests &) = delete;

    OVERLAPPED reading{};
    OVERLAPPED writing{};
    // The system's error where an event could not be made, else 0.
    DWORD error = 0;
    QByteArray readBuffer{ReadSize, Qt::Uninitialized};
    // The bytes of the write under way, kept until it is done.
    QByteArray written;
};

// Waits until the driver has ended a request, or the deadline has passed;
// false then.
bool ended(HANDLE handle, OVERLAPPED &request, const QDeadlineTimer &deadline)
{
    DWORD count = 0;
    const auto ms = static_cast<DWORD>(std::max<qint64>(0, deadline.remainingTime()));
    if (::GetOverlappedResultEx(handle, &request, &count, ms, FALSE))
        return true;
    const DWORD code = ::GetLastError();
    return code != WAIT_TIMEOUT && code != ERROR_IO_INCOMPLETE;
}

} // namespace

class MSComm::Port
{
public:
    explicit Port(MSComm &owner);
    ~Port();

    bool isOpen() const { return handle != INVALID_HANDLE_VALUE; }
    void close();
    // 0 once a read is under way, else the system's error code.
    DWORD startRead();
    void readDone();
    void readOn();
    // 0 once the queued bytes are on their way, else the system's error code.
    DWORD startWrite();
    void writeDone();
    void lose(DWORD code);
    // A write failed with code: a lost port where the device is gone.
    void writeFailed(DWORD code);

    MSComm &owner;
    HANDLE handle = INVALID_HANDLE_VALUE;
    // Made anew at each open.
    std::unique_ptr<Requests> requests;
    bool readPending = false;
    bool writePending = false;
    QWinEventNotifier readEvent;
    QWinEventNotifier writeEvent;
    // The bytes handed to Output while a write is under way.
    QByteArray queued;
};

MSComm::Port::Port(MSComm &owner)
    : owner(owner)
{
    QObject::connect(&readEvent, &QWinEventNotifier::activated, &owner, [this] { readDone(); });
    QObject::connect(&writeEvent, &QWinEventNotifier::activated, &owner, [this] { writeDone(); });
}

MSComm::Port::~Port() { close(); }

// The read and the write under way are cancelled (CancelIoEx: whichever thread
// started them) and waited for, a bounded time: some USB and Bluetooth drivers
// never end a cancelled request once their device is gone, and a close must
// not hang Disconnect, the loss or quitting. CancelIoEx's failure
// (ERROR_NOT_FOUND: nothing under way) changes nothing here.
void MSComm::Port::close()
{
    readEvent.setEnabled(false);
    writeEvent.setEnabled(false);
    if (!isOpen())
        return;
    ::CancelIoEx(handle, nullptr);
    const QDeadlineTimer deadline(CloseWaitMs);
    const bool done = (!readPending || ended(handle, requests->reading, deadline))
                      && (!writePending || ended(handle, requests->writing, deadline));
    readPending = writePending = false;
    ::CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    // A driver that has not ended a request may still write into it and its
    // buffer when it does at last: then they are leaked on purpose, to stay
    // valid for it.
    if (done)
        requests.reset();
    else
        static_cast<void>(requests.release());
    queued.clear();
}

DWORD MSComm::Port::startRead()
{
    // The event is signalled when the read is done, also when it is done at once.
    if (!::ReadFile(handle, requests->readBuffer.data(), ReadSize, nullptr, &requests->reading)
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
        // Wine reports a read that timed out empty as an error, Windows does not.
        if (code != ERROR_TIMEOUT)
            return lose(code);
    }
    readPending = false;
    readEvent.setEnabled(false);
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
    const qsizetype size = requests->written.size();
    if (!done)
        writeFailed(code);
    else if (count < static_cast<DWORD>(size)) {
        queued.clear();
        Q_EMIT owner.WriteFailed(QStringLiteral("writing to %1 failed: the port took %2 of %3 "
                                                "bytes in time")
                                     .arg(owner.portName())
                                     .arg(count)
                                     .arg(size));
    } else if (!queued.isEmpty()) {
        if (const DWORD next = startWrite())
            writeFailed(next);
    }
}

// Unplugging often fails a write first, while the read stays pending: then the
// port is lost, as by a failed read, and reported once.
void MSComm::Port::writeFailed(DWORD code)
{
    queued.clear();
    if (serial::deviceGone(code))
        return lose(code);
    Q_EMIT owner.WriteFailed(
        QStringLiteral("writing to %1 failed: %2").arg(owner.portName(), systemText(code)));
}

void MSComm::Port::lose(DWORD code)
{
    if (!isOpen())
        return;
    const QString reason = serial::lossMessage(
        owner.portName(), serial::deviceGone(code) ? QString() : systemText(code));
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
    const QString path = resolver ? resolver(commPort) : QString();
    device = serial::canonicalDevice(path);
    if (path.isEmpty())
        return fail(QStringLiteral("COM %1 has no device").arg(commPort));
    auto requests = std::make_unique<Requests>();
    if (requests->error)
        return fail(
            QStringLiteral("%1 cannot be opened: %2").arg(portName(), systemText(requests->error)));
    const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()),
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return fail(portName() + u' ' + serial::openRefusal(::GetLastError()));
    const auto refuse = [&](const QString &why) {
        ::CloseHandle(handle);
        return fail(why);
    };

    // The driver's own settings, which the line settings go over.
    DCB current{};
    current.DCBlength = sizeof(DCB);
    if (!::GetCommState(handle, &current))
        return refuse(portName() + u' ' + serial::stateRefusal(::GetLastError()));
    std::optional<DCB> dcb = serial::portDcb(current, settings, portName(), &error);
    if (!dcb)
        return refuse(error);
    if (!::SetCommState(handle, &*dcb))
        return refuse(QStringLiteral("%1 does not take the line settings %2: %3")
                          .arg(portName(), settingsText, systemText(::GetLastError())));
    // A write may take as long as its bytes need on the line (12 bits a byte
    // at most), and a second more; one that cannot finish is reported.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = ReadGapMs;
    timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(12000 / settings.baud + 1);
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!::SetCommTimeouts(handle, &timeouts))
        return refuse(QStringLiteral("%1 cannot be opened: %2")
                          .arg(portName(), systemText(::GetLastError())));
    port->handle = handle;
    port->requests = std::move(requests);
    port->readEvent.setHandle(port->requests->reading.hEvent);
    port->writeEvent.setHandle(port->requests->writing.hEvent);
    received.clear();
    lineErrors = {};
    if (const DWORD code = port->startRead()) {
        port->close();
        return fail(QStringLiteral("%1 cannot be read: %2").arg(portName(), systemText(code)));
    }
    return true;
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
        if (serial::deviceGone(code)) {
            port->lose(code);
            return true;
        }
        return fail(QStringLiteral("writing to %1 failed: %2").arg(portName(), systemText(code)));
    }
    return true;
}
