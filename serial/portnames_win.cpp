// Port numbers on Windows: COM n is the system's own COMn, opened as \\.\COMn.
#include "serial/portcheck_win.h"
#include "serial/portio_win.h"
#include "serial/portnames.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include <windows.h>

namespace serial {

static const QString DevicePrefix = QStringLiteral("\\\\.\\");

// Windows names its ports itself (Device Manager shows and changes the
// numbers), so there is no folder of links.
QString portFolder() { return {}; }

// The system's own list: each serial driver (serial.sys, usbser.sys, FTDI's,
// Bluetooth's) enters its ports under SERIALCOMM as device = COM name. Nothing
// is opened to find them. The key is missing where no port exists.
QStringList systemSerialPorts()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                        &key)
        != ERROR_SUCCESS)
        return {};
    QStringList paths;
    for (DWORD i = 0;; ++i) {
        wchar_t device[256];
        wchar_t name[64];
        DWORD deviceSize = std::size(device);
        DWORD nameBytes = sizeof(name);
        DWORD type = 0;
        const LONG result = ::RegEnumValueW(key, i, device, &deviceSize, nullptr, &type,
                                            reinterpret_cast<BYTE *>(name), &nameBytes);
        if (result == ERROR_MORE_DATA)
            continue; // no COM name is that long
        if (result != ERROR_SUCCESS)
            break; // ERROR_NO_MORE_ITEMS, or the key has gone
        if (type == REG_SZ)
            paths << DevicePrefix
                         + QString::fromWCharArray(name, nameBytes / sizeof(wchar_t))
                               .section(QChar(0), 0, 0);
    }
    ::RegCloseKey(key);
    // COM2 before COM10.
    std::sort(paths.begin(), paths.end(), [](const QString &a, const QString &b) {
        return std::pair(a.size(), a) < std::pair(b.size(), b);
    });
    return paths;
}

// The number of \\.\COMn, 0 for another name.
static int portNumber(const QString &path)
{
    const QString com = DevicePrefix + QLatin1String("COM");
    return path.startsWith(com, Qt::CaseInsensitive) ? path.mid(com.size()).toInt() : 0;
}

PortMap assignPortNumbers(const QString &, const QStringList &systemPorts, QStringList *unnumbered)
{
    PortMap map;
    for (const QString &path : systemPorts) {
        const int n = portNumber(path);
        if (n >= FirstPort && n <= LastPort)
            map.insert(n, path);
        else if (unnumbered)
            *unnumbered << path;
    }
    return map;
}

QString unnumberedPort(const QString &systemPort)
{
    const QString name = systemPort.mid(DevicePrefix.size());
    const QString device = canonicalDevice(systemPort);
    return (device.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, device)) + u' '
           + numberAdvice(name);
}

bool bluetoothPort(const QString &path) { return bluetoothDevice(canonicalDevice(path)); }

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
        const DWORD code = ::GetLastError();
        return refuse(why, openRefusal(code, heldByLeftover(path)));
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    const bool serial = ::GetCommState(handle, &dcb);
    const DWORD code = serial ? 0 : ::GetLastError();
    ::CloseHandle(handle);
    return serial || refuse(why, stateRefusal(code));
}

} // namespace serial
