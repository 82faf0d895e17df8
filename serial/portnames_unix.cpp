#include "serial/portnames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <tuple>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace serial {

QString portFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/duve/ports");
}

QStringList systemSerialPorts()
{
    QStringList paths;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        paths << info.systemLocation();
    return paths;
}

// A link claims its number even when it dangles, so look at the entry itself.
static bool entryExists(const QString &path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path.toStdString(), ec));
}

PortMap assignPortNumbers(const QString &folder, const QStringList &systemPorts,
                          QStringList *unnumbered)
{
    PortMap map;
    QStringList linkedDevices;
    for (int n = FirstPort; n <= LastPort; ++n) {
        const QString entry = QDir(folder).filePath(QStringLiteral("COM%1").arg(n));
        if (!entryExists(entry))
            continue;
        map.insert(n, entry);
        linkedDevices << canonicalDevice(entry);
    }

    QStringList free;
    for (const QString &port : systemPorts) {
        const QString device = canonicalDevice(port);
        if (!linkedDevices.contains(device.isEmpty() ? port : device))
            free << port;
    }
    // On-board ttyS* first, then by name with the trailing number compared as
    // a number (ttyUSB2 before ttyUSB10).
    const auto key = [](const QString &path) {
        const QString name = QFileInfo(path).fileName();
        qsizetype digits = name.size();
        while (digits > 0 && name.at(digits - 1).isDigit())
            --digits;
        const QString stem = name.left(digits);
        return std::tuple(stem != QLatin1String("ttyS"), stem, name.mid(digits).toLongLong(), name);
    };
    std::sort(free.begin(), free.end(),
              [&](const QString &a, const QString &b) { return key(a) < key(b); });

    int n = FirstPort;
    for (const QString &port : free) {
        while (n <= LastPort && map.contains(n))
            ++n;
        if (n <= LastPort)
            map.insert(n, port);
        else if (unnumbered)
            *unnumbered << port;
    }
    return map;
}

QString unnumberedPort(const QString &systemPort)
{
    return QStringLiteral("%1 got no number from 1 to 9: pin it to one in the port folder, "
                          "in place of an entry there (ln -sfn %1 %2/COMn)")
        .arg(systemPort, portFolder());
}

// The scan's open does not wait (O_NONBLOCK), whatever the device.
bool bluetoothPort(const QString &) { return false; }

QString canonicalDevice(const QString &path) { return QFileInfo(path).canonicalFilePath(); }

// Where Qt Serial Port may have put its lock for a device: the same folders
// it tries, under the name it derives from the device path.
static QStringList qtLockFileCandidates(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    QStringList files;
    for (const char *dir : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                            "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"})
        files << QString::fromLatin1(dir) + QStringLiteral("/LCK..") + name;
    return files;
}

static bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

QString heldQtLockFile(const QString &device)
{
    for (const QString &path : qtLockFileCandidates(device)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // The first line of a Qt lock file is the owner's process id.
        bool ok = false;
        const qint64 pid = file.readLine().trimmed().toLongLong(&ok);
        if (ok && processAlive(pid))
            return path;
    }
    return {};
}

// The group a user must belong to to open a device (dialout if it cannot be told).
static QString deviceGroup(const QString &device)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return QStringLiteral("dialout");
    const group *g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
}

QString permissionAdvice(const QString &device)
{
    struct stat st = {};
    const mode_t groupRw = S_IRGRP | S_IWGRP;
    if (::stat(QFile::encodeName(device).constData(), &st) == 0
        && (st.st_mode & groupRw) != groupRw)
        return QStringLiteral("is not open to this user; only its owner may open it");
    return QStringLiteral("is not open to this user; add your user to the group \"%1\" (sudo "
                          "adduser $USER %1) and log in again")
        .arg(deviceGroup(device));
}

QString linkLockFile(const QString &link) { return link + QStringLiteral(".lock"); }

bool leftBehind(const QString &link)
{
    const int lock
        = ::open(QFile::encodeName(linkLockFile(link)).constData(), O_RDONLY | O_CLOEXEC);
    if (lock < 0)
        return false;
    // Shared, so that a simulator starting now is not kept from its own lock for long.
    const bool free = ::flock(lock, LOCK_SH | LOCK_NB) == 0;
    ::close(lock);
    return free;
}

static bool refuse(QString *why, const QString &message)
{
    if (why)
        *why = message;
    return false;
}

bool deviceAvailable(const QString &path, QString *why)
{
    const QString inUse = QStringLiteral("is in use by another program");
    if (leftBehind(path))
        return refuse(why, QStringLiteral("was left behind by a simulator that has ended"));
    const QString device = canonicalDevice(path);
    if (device.isEmpty())
        return refuse(why, QStringLiteral("does not exist"));
    if (!heldQtLockFile(device).isEmpty())
        return refuse(why, inUse);
    // Non-blocking so that a modem line cannot stall the scan; no controlling tty.
    const int fd
        = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case EACCES:
        case EPERM: return refuse(why, permissionAdvice(device));
        case EBUSY: // opened for exclusive use (TIOCEXCL)
            return refuse(why, inUse);
        default:
            return refuse(why, QStringLiteral("cannot be opened (%1)")
                                   .arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
    }
    // flock conflicts with any other open of the device, in this process too,
    // and holds against root, unlike TIOCEXCL.
    const bool terminal = ::isatty(fd);
    const bool held = terminal && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    if (!terminal)
        return refuse(why, QStringLiteral("is not a serial device"));
    if (held)
        return refuse(why, inUse);
    return true;
}

} // namespace serial
