#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

#include <windows.h>

// What a Windows port has under way with its driver, and how the tool lets go
// of it: the requests, the close that waits a bounded time for them, the ones a
// driver never ends, and the watch on the device while the port is idle.
namespace serial {

// What the driver may write into while a read or a write is under way: the
// requests, their events and their bytes. Made anew at each open.
struct Requests
{
    static constexpr DWORD ReadSize = 4096;

    Requests();
    ~Requests();
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

// How long a close waits, in all, for the driver to end the cancelled read and
// write, and then, once the handle is closed, for a request still under way.
constexpr int CloseWaitMs = 1500;
constexpr int LastChanceMs = 250;

// Cancels the read and the write under way on the handle of port path (the
// ones marked pending), waits a bounded time for the driver to end them, and
// closes the handle. A request its driver never ends keeps its memory (the
// driver may still write into it) and holds the port: heldByLeftover says so
// until the driver ends it at last.
void closePort(HANDLE handle, const QString &path, std::unique_ptr<Requests> requests,
               bool readPending, bool writePending);

// True while a request of an earlier connection to port path is outstanding
// with its driver. Frees first what drivers have ended since.
bool heldByLeftover(const QString &path);

// Asks the driver of an open port once a second whether its device is still
// there, with a status call that changes nothing: some drivers leave the read
// pending when their device is unplugged, and the loss would otherwise be seen
// only at the next write.
class DeviceWatch : public QObject
{
    Q_OBJECT

public:
    // 0 when the driver answered, else the system's error code.
    using Status = std::function<DWORD()>;

    explicit DeviceWatch(QObject *parent = nullptr);

    // Watches with status where the driver answers it now; false, watching
    // nothing, where it does not (Wine's pseudo-terminals have no modem lines).
    bool start(Status status);
    void stop();
    // True when watching and the driver answers now: the device is there.
    bool deviceThere() const;

Q_SIGNALS:
    // The status call failed with code: the device is gone or its driver
    // answers no more. Said once; the watch has stopped.
    void gone(DWORD code);

private:
    Status status;
    QTimer timer;
};

} // namespace serial
