// Port numbers on Windows: COM n is the system's own COMn, opened as \\.\COMn.
#include "serial/portnames.h"

#include <windows.h>

namespace serial {

static const QString DevicePrefix = QStringLiteral("\\\\.\\");

// Windows names its ports itself (Device Manager shows and changes the
// numbers), so there is no folder of links.
QString portFolder() { return {}; }

QStringList systemSerialPorts()
{
    QStringList paths;
    for (int n = FirstPort; n <= LastPort; ++n) {
        const QString path = DevicePrefix + QStringLiteral("COM%1").arg(n);
        if (!canonicalDevice(path).isEmpty())
            paths << path;
    }
    return paths;
}

PortMap assignPortNumbers(const QString &, const QStringList &systemPorts)
{
    PortMap map;
    for (const QString &path : systemPorts) {
        bool ok = false;
        const int n = path.mid(DevicePrefix.size() + 3).toInt(&ok);
        if (ok && path.startsWith(DevicePrefix + QLatin1String("COM")) && n >= FirstPort
            && n <= LastPort)
            map.insert(n, path);
    }
    return map;
}

// The kernel's device behind a COM name, such as \Device\Serial0 for an
// on-board port or the driver's own name for a USB adapter.
QString canonicalDevice(const QString &path)
{
    if (!path.startsWith(DevicePrefix))
        return {};
    const QString name = path.mid(DevicePrefix.size());
    wchar_t target[MAX_PATH] = {};
    if (::QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target, MAX_PATH) == 0)
        return {};
    return QString::fromWCharArray(target);
}

static bool refuse(QString *why, const QString &message)
{
    if (why)
        *why = message;
    return false;
}

bool deviceAvailable(const QString &path, QString *why)
{
    // Opened for this program alone, as a connect opens it; the line settings
    // are left as they are.
    const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()),
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        switch (const DWORD code = ::GetLastError()) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return refuse(why, QStringLiteral("is in use by another program"));
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return refuse(why, QStringLiteral("does not exist"));
        default:
            return refuse(why, QStringLiteral("cannot be opened (%1)")
                                   .arg(qt_error_string(static_cast<int>(code))));
        }
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    const bool serial = ::GetCommState(handle, &dcb);
    ::CloseHandle(handle);
    return serial || refuse(why, QStringLiteral("is not a serial device"));
}

} // namespace serial
