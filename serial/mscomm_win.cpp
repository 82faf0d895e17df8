// The serial control on Windows, through the Win32 communications functions.
//
// Reads: one overlapped ReadFile at a time, whose event the event loop waits
// on. Its time-outs make it wait as long as it takes for a first byte and end
// once the line has been quiet for ReadGapMs after the last one, so each burst
// of bytes is one receive event. Windows' own drivers and Wine both honour
// that; Wine's serial ports cannot signal a read that waits only for a
// first byte, nor WaitCommEvent on a pseudo-terminal.
#include "serial/mscomm.h"
#include "serial/portline_win.h"
#include "serial/portnames.h"

#include <QTimer>
#include <QWinEventNotifier>

#include <algorithm>
#include <optional>

#include <windows.h>

namespace {

constexpr DWORD ReadGapMs = 10;
constexpr DWORD ReadSize = 4096;
// An empty read is not expected with the time-outs above; should a driver
// give one anyway, the next read waits this long instead of spinning.
constexpr int EmptyReadPauseMs = 50;

// What Windows reports when a device is unplugged, or Wine when a
// pseudo-terminal's other end closes: nothing more than "it went away".
bool saysMoreThanGone(DWORD code)
{
    static const DWORD gone[]
        = {ERROR_BROKEN_PIPE,    ERROR_ACCESS_DENIED,     ERROR_BAD_COMMAND,
           ERROR_DEVICE_REMOVED, ERROR_GEN_FAILURE,       ERROR_FILE_NOT_FOUND,
           ERROR_INVALID_HANDLE, ERROR_OPERATION_ABORTED, ERROR_DEVICE_NOT_CONNECTED};
    return std::find(std::begin(gone), std::end(gone), code) == std::end(gone);
}

QString systemText(DWORD code) { return qt_error_string(static_cast<int>(code)); }

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

    MSComm &owner;
    HANDLE handle = INVALID_HANDLE_VALUE;
    OVERLAPPED reading{};
    OVERLAPPED writing{};
    bool readPending = false;
    bool writePending = false;
    QWinEventNotifier readEvent;
    QWinEventNotifier writeEvent;
    QByteArray readBuffer;
    // The bytes of the write under way, kept until it is done, and those
    // handed to Output meanwhile.
    QByteArray written;
    QByteArray queued;
};

MSComm::Port::Port(MSComm &owner)
    : owner(owner)
    , readBuffer(ReadSize, Qt::Uninitialized)
{
    reading.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writing.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    readEvent.setHandle(reading.hEvent);
    writeEvent.setHandle(writing.hEvent);
    QObject::connect(&readEvent, &QWinEventNotifier::activated, &owner, [this] { readDone(); });
    QObject::connect(&writeEvent, &QWinEventNotifier::activated, &owner, [this] { writeDone(); });
}

MSComm::Port::~Port()
{
    close();
    ::CloseHandle(reading.hEvent);
    ::CloseHandle(writing.hEvent);
}

// Nothing may write into the buffers once the handle is closed: what is under
// way is cancelled and waited for.
void MSComm::Port::close()
{
    readEvent.setEnabled(false);
    writeEvent.setEnabled(false);
    if (!isOpen())
        return;
    ::CancelIo(handle);
    DWORD count = 0;
    if (readPending)
        ::GetOverlappedResult(handle, &reading, &count, TRUE);
    if (writePending)
        ::GetOverlappedResult(handle, &writing, &count, TRUE);
    readPending = writePending = false;
    ::CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    written.clear();
    queued.clear();
}

DWORD MSComm::Port::startRead()
{
    // The event is signalled when the read is done, also when it is done at once.
    if (!::ReadFile(handle, readBuffer.data(), ReadSize, nullptr, &reading)
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
    if (!::GetOverlappedResult(handle, &reading, &count, FALSE)) {
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
    const QByteArray bytes = readBuffer.first(count);
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
    written = std::exchange(queued, QByteArray());
    if (!::WriteFile(handle, written.constData(), static_cast<DWORD>(written.size()), nullptr,
                     &writing)
        && ::GetLastError() != ERROR_IO_PENDING)
        return ::GetLastError();
    writePending = true;
    writeEvent.setEnabled(true);
    return 0;
}

void MSComm::Port::writeDone()
{
    DWORD count = 0;
    const bool done = ::GetOverlappedResult(handle, &writing, &count, FALSE);
    const DWORD code = done ? 0 : ::GetLastError();
    if (code == ERROR_IO_INCOMPLETE)
        return;
    writePending = false;
    writeEvent.setEnabled(false);
    QString why;
    if (!done)
        why = systemText(code);
    else if (count < static_cast<DWORD>(written.size()))
        why = QStringLiteral("the port took %1 of %2 bytes in time").arg(count).arg(written.size());
    else if (!queued.isEmpty()) {
        if (const DWORD next = startWrite())
            why = systemText(next);
    }
    if (!why.isEmpty()) {
        queued.clear();
        Q_EMIT owner.WriteFailed(
            QStringLiteral("writing to %1 failed: %2").arg(owner.portName(), why));
    }
}

void MSComm::Port::lose(DWORD code)
{
    if (!isOpen())
        return;
    const QString reason = serial::lossMessage(
        owner.portName(), saysMoreThanGone(code) ? systemText(code) : QString());
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
    const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()),
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        switch (const DWORD code = ::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return fail(QStringLiteral("%1 is gone").arg(portName()));
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return fail(QStringLiteral("%1 is in use by another program").arg(portName()));
        default:
            return fail(
                QStringLiteral("%1 cannot be opened: %2").arg(portName(), systemText(code)));
        }
    }
    const auto refuse = [&](const QString &why) {
        ::CloseHandle(handle);
        return fail(why);
    };

    DCB current{};
    current.DCBlength = sizeof(DCB);
    ::GetCommState(handle, &current);
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
        return fail(QStringLiteral("writing to %1 failed: %2").arg(portName(), systemText(code)));
    }
    return true;
}
