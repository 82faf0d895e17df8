#include "serial/portcheck_win.h"

#include <QRegularExpression>

#include <algorithm>

namespace serial {

QString systemText(DWORD code) { return qt_error_string(static_cast<int>(code)); }

// Windows' serial and USB drivers fail the requests of a device that is gone
// with these (a write often first, while a read stays pending); Wine reports
// the closed other end of a pseudo-terminal as ERROR_BROKEN_PIPE.
bool deviceGone(DWORD code)
{
    static const DWORD gone[] = {
        ERROR_ACCESS_DENIED,  ERROR_BAD_COMMAND,       ERROR_GEN_FAILURE,
        ERROR_DEVICE_REMOVED, ERROR_NOT_READY,         ERROR_DEVICE_NOT_CONNECTED,
        ERROR_DEV_NOT_EXIST,  ERROR_FILE_NOT_FOUND,    ERROR_PATH_NOT_FOUND,
        ERROR_INVALID_HANDLE, ERROR_OPERATION_ABORTED, ERROR_BROKEN_PIPE,
    };
    return std::find(std::begin(gone), std::end(gone), code) != std::end(gone);
}

QString openRefusal(DWORD code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return QStringLiteral("is in use by another program");
    case ERROR_SEM_TIMEOUT: // a Bluetooth port whose device does not answer
        return QStringLiteral("did not answer: its device is switched off or out of reach (%1)")
            .arg(systemText(code));
    default:
        return deviceGone(code) ? QStringLiteral("does not exist")
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
