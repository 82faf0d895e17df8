#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// How "COM n" maps onto a device on this system, and whether a device is free.
// Linux's rules are in portnames_unix.cpp; on Windows (portnames_win.cpp) COM n
// is the system's COMn, there is no port folder, and the Qt lock file and the
// device's group do not apply.
namespace serial {

// Port number (1..9) -> the path that names its device.
using PortMap = QMap<int, QString>;

constexpr int FirstPort = 1;
constexpr int LastPort = 9;

// The folder whose entries COM1..COM9 pin a device to a port number:
// $XDG_CONFIG_HOME/duve/ports, by default ~/.config/duve/ports.
QString portFolder();

// The system's serial devices as Qt sees them (ttyS*, ttyUSB*, ttyACM*, ...).
QStringList systemSerialPorts();

// Entries of the port folder claim their numbers, even when their target is
// missing; the system's ports not named by such an entry get the free numbers
// in ascending order, on-board ttyS* first by number, then the rest by name.
// The system's ports that get no number from 1 to 9 go to unnumbered (if given).
PortMap assignPortNumbers(const QString &folder, const QStringList &systemPorts,
                          QStringList *unnumbered = nullptr);

// The scan's line for a system port that got no number from 1 to 9: its name,
// why and the fix (on Linux: pin it in the port folder).
QString unnumberedPort(const QString &systemPort);

// True for a port that the scan is not to open to test it, because its open
// reaches out to a remote device and may block for seconds: on Windows the
// port of a paired Bluetooth device. The scan lists it untested.
bool bluetoothPort(const QString &path);

// What a Connect to the port behind path waits for, where its open may keep
// it waiting (a Bluetooth port), as words that follow the port's name; empty
// where the port opens at once.
inline QString openWait(const QString &path)
{
    return bluetoothPort(path) ? QStringLiteral("is a Bluetooth port: waiting for its device to "
                                                "answer, which may take several seconds")
                               : QString();
}

// The real device behind a path (links resolved), empty if there is none.
QString canonicalDevice(const QString &path);

// The lock file Qt Serial Port creates for a device, or empty if none is held
// by a live process.
QString heldQtLockFile(const QString &device);

// True when the device is a terminal that can be opened now and that no one
// holds (neither a Qt lock file of a live process nor an flock on the
// device); otherwise false and, in why (if given), why not, as words that
// follow the port's name ("is in use by another program"). The device is
// opened once and closed again at once; its line settings are not touched.
bool deviceAvailable(const QString &path, QString *why = nullptr);

// Why this user may not open the device, and the fix where there is one, as
// words that follow the port's name: the device's group only where that
// group may read and write it.
QString permissionAdvice(const QString &device);

// The lock file beside a simulator's link COMn, which the simulator holds
// while it lives and which records its process and pseudo-terminal.
QString linkLockFile(const QString &link);

// True when the entry was left behind by a simulator that has ended: its lock
// file is there and no process holds it. Its pseudo-terminal may belong to
// someone else's terminal by now.
bool leftBehind(const QString &link);

} // namespace serial
