#include "serial/portcheck_win.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace serial {

QString systemText(DWORD code) { return qt_error_string(static_cast<int>(code)); }

// ERROR_NO_SUCH_DEVICE, "A device which does not exist was specified", which
// MinGW's winerror.h lacks.
constexpr DWORD NoSuchDevice = 433;

template<std::size_t N>
static bool among(const DWORD (&codes)[N], DWORD code)
{
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

// Windows' serial and USB drivers fail the requests of a device that is gone
// with these (a write often first, while a read stays pending), as the kernel
// maps their status: STATUS_DELETE_PENDING is ERROR_ACCESS_DENIED, a KMDF
// driver's queues purged at surprise removal fail new requests with
// STATUS_INVALID_DEVICE_STATE (ERROR_BAD_COMMAND) and cancel those under way
// (ERROR_OPERATION_ABORTED), STATUS_NO_SUCH_DEVICE is ERROR_FILE_NOT_FOUND, and
// Qt Serial Port's Windows backend takes the same codes for a removed device.
// Wine reports the closed other end of a pseudo-terminal as ERROR_BROKEN_PIPE.
bool deviceGone(DWORD code)
{
    static const DWORD gone[] = {
        ERROR_ACCESS_DENIED,  ERROR_BAD_COMMAND,          ERROR_DEVICE_REMOVED,
        ERROR_NOT_READY,      ERROR_DEVICE_NOT_CONNECTED, ERROR_DEV_NOT_EXIST,
        NoSuchDevice,         ERROR_FILE_NOT_FOUND,       ERROR_PATH_NOT_FOUND,
        ERROR_INVALID_HANDLE, ERROR_OPERATION_ABORTED,    ERROR_BROKEN_PIPE,
    };
    return among(gone, code);
}

// STATUS_UNSUCCESSFUL (ERROR_GEN_FAILURE, "A device attached to the system is
// not functioning") and STATUS_IO_DEVICE_ERROR (ERROR_IO_DEVICE) are what a
// driver answers for any failure it does not name: adapters that are plugged
// in give them (a CH340's driver at SetCommState, jSerialComm issues 495 and
// 518; a CDC device without the optional requests, pyserial issue 739), and
// so do drivers whose device was just unplugged. The code alone cannot tell.
bool deviceTrouble(DWORD code) { return code == ERROR_GEN_FAILURE || code == ERROR_IO_DEVICE; }

// serial.sys ends a write whose total time-out ran out with STATUS_TIMEOUT, a
// success with fewer bytes; usbser.sys and the Bluetooth serial driver fail it
// with STATUS_IO_TIMEOUT (ERROR_SEM_TIMEOUT, "The semaphore timeout period has
// expired"), others with ERROR_COUNTER_TIMEOUT or ERROR_TIMEOUT.
bool writeTimedOut(DWORD code)
{
    static const DWORD timedOut[] = {ERROR_SEM_TIMEOUT, ERROR_COUNTER_TIMEOUT, ERROR_TIMEOUT};
    return among(timedOut, code);
}

QString openRefusal(DWORD code, bool leftover)
{
    // A name that names nothing: the device is not there (anymore).
    static const DWORD missing[] = {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_DEV_NOT_EXIST,
                                    NoSuchDevice, ERROR_INVALID_NAME};
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // A port admits one handle at a time, and its close is complete only
        // once every request of the handle has ended (IRP_MJ_CLEANUP, then
        // IRP_MJ_CLOSE): a request its driver never ended holds it as well.
        return leftover ? QStringLiteral("is still held by a request its driver never ended after "
                                         "the last connection: unplug the adapter and plug it in "
                                         "again to free it")
                        : QStringLiteral("is in use by another program");
    case ERROR_SEM_TIMEOUT: // a Bluetooth port whose device does not answer
        return QStringLiteral("did not answer: its device is switched off or out of reach (%1)")
            .arg(systemText(code));
    default:
        return among(missing, code) ? QStringLiteral("does not exist")
                                    : QStringLiteral("cannot be opened: %1").arg(systemText(code));
    }
}

// Just opened, the port is there: whatever the code (Windows' drivers give
// ERROR_INVALID_FUNCTION, Wine ERROR_INVALID_HANDLE), it takes no serial requests.
QString stateRefusal(DWORD code)
{
    return QStringLiteral("is not a serial device: its line settings cannot be read (%1)")
        .arg(systemText(code));
}

// A driver refuses settings it cannot carry with ERROR_INVALID_PARAMETER (some
// USB adapters have no mark or space parity); any other failure is the port's,
// not the settings', such as ERROR_GEN_FAILURE from a driver in trouble.
QString lineRefusal(DWORD code, const QString &settingsText)
{
    return code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED
               ? QStringLiteral("does not take the line settings %1: %2")
                     .arg(settingsText, systemText(code))
               : QStringLiteral("cannot be opened: %1").arg(systemText(code));
}

QString timedOutWrite(const QString &portName, qsizetype taken, qsizetype size, bool bluetooth)
{
    return QStringLiteral("writing to %1 timed out: the port took %2 of %3 bytes in time%4")
        .arg(portName)
        .arg(taken)
        .arg(size)
        .arg(bluetooth
                 ? QStringLiteral("; its Bluetooth device may be switched off or out of reach")
                 : QString());
}

bool bluetoothDevice(const QString &device)
{
    return device.startsWith(QLatin1String("\\Device\\BthModem"), Qt::CaseInsensitive);
}

QString numberAdvice(const QString &name)
{
    static const QRegularExpression numbered(QStringLiteral("^COM[1-9][0-9]+$"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QString where = QStringLiteral("in Device Manager, Ports (COM & LPT), the port's "
                                         "Properties, Port Settings, Advanced, COM Port Number");
    return numbered.match(name).hasMatch()
               ? QStringLiteral("is numbered above 9: give it a number from 1 to 9 %1").arg(where)
               : QStringLiteral("has no number from 1 to 9: give it one %1").arg(where);
}

} // namespace serial
