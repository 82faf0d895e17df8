#include "serial/portio_win.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <vector>

namespace serial {

Requests::Requests()
{
    reading.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writing.hEvent = reading.hEvent ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr;
    error = writing.hEvent ? 0 : ::GetLastError();
}

Requests::~Requests()
{
    if (reading.hEvent)
        ::CloseHandle(reading.hEvent);
    if (writing.hEvent)
        ::CloseHandle(writing.hEvent);
}

namespace {

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

// The requests of closed handles that their drivers had not ended, with the
// events the drivers signal when they do.
struct Leftover
{
    QString path;
    std::unique_ptr<Requests> requests;
    std::vector<HANDLE> events;

    bool ended() const
    {
        return ::WaitForMultipleObjects(DWORD(events.size()), events.data(), TRUE, 0)
               < WAIT_OBJECT_0 + events.size();
    }
};

// Never destroyed: at exit a driver may still write into what it holds.
std::vector<Leftover> &leftovers()
{
    static auto *kept = new std::vector<Leftover>;
    return *kept;
}

} // namespace

// The cancel reaches the requests whichever thread started them (CancelIoEx).
// Some USB and Bluetooth drivers never end a cancelled request once their
// device is gone, and a close must not hang Disconnect, the loss or quitting:
// after CloseWaitMs the handle is closed anyway. Closing it has the driver end
// every request of the handle in its cleanup (IRP_MJ_CLEANUP; the port's
// close is complete, and the port free, only once they have ended), so the
// requests get LastChanceMs more; what is ended then is freed.
void closePort(HANDLE handle, const QString &path, std::unique_ptr<Requests> requests,
               bool readPending, bool writePending)
{
    ::CancelIoEx(handle, nullptr); // ERROR_NOT_FOUND: nothing under way
    const QDeadlineTimer deadline(CloseWaitMs);
    std::vector<HANDLE> pending;
    if (readPending && !ended(handle, requests->reading, deadline))
        pending.push_back(requests->reading.hEvent);
    if (writePending && !ended(handle, requests->writing, deadline))
        pending.push_back(requests->writing.hEvent);
    ::CloseHandle(handle);
    Leftover left{path, std::move(requests), std::move(pending)};
    if (left.events.empty()
        || ::WaitForMultipleObjects(DWORD(left.events.size()), left.events.data(), TRUE,
                                    LastChanceMs)
               < WAIT_OBJECT_0 + left.events.size())
        return;
    // The process may linger on exit too, as the I/O manager waits for such
    // a request (up to five minutes) before the process can end.
    leftovers().push_back(std::move(left));
}

bool heldByLeftover(const QString &path)
{
    auto &kept = leftovers();
    kept.erase(
        std::remove_if(kept.begin(), kept.end(), [](const Leftover &left) { return left.ended(); }),
        kept.end());
    return std::any_of(kept.begin(), kept.end(), [&](const Leftover &left) {
        return left.path.compare(path, Qt::CaseInsensitive) == 0;
    });
}

DeviceWatch::DeviceWatch(QObject *parent)
    : QObject(parent)
{
    // Once a second is soon enough for the operator and costs nothing.
    timer.setInterval(1000);
    QObject::connect(&timer, &QTimer::timeout, this, [this] {
        if (const DWORD code = status()) {
            stop();
            Q_EMIT gone(code);
        }
    });
}

bool DeviceWatch::start(Status status)
{
    stop();
    if (status() != 0)
        return false;
    this->status = std::move(status);
    timer.start();
    return true;
}

void DeviceWatch::stop()
{
    timer.stop();
    status = nullptr;
}

bool DeviceWatch::deviceThere() const { return status && status() == 0; }

} // namespace serial
