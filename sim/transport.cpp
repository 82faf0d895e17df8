#include "sim/transport.h"

#include "serial/portnames.h"
#include "sim/ttyline.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

static QString lineName(const TtyLine &line)
{
    return QStringLiteral("%1 %2").arg(line.baud).arg(formatName(line));
}

Transport::Transport(const ModuleOptions &module, const Faults &faults, int delayMs,
                     QObject *parent)
    : QObject(parent)
    , model(module)
    , faults(faults)
    , delayMs(delayMs)
{
    clock.start();
    sendTimer.setSingleShot(true);
    connect(&sendTimer, &QTimer::timeout, this, &Transport::sendNext);
    abandonTimer.setInterval(1000);
    connect(&abandonTimer, &QTimer::timeout, this, &Transport::freeAbandonedLine);
}

Transport::~Transport() { close(); }

bool Transport::fail(const QString &message)
{
    error = message;
    close();
    return false;
}

bool Transport::openPty(int comNumber)
{
    close();
    char name[256] = {};
    if (::openpty(&fd, &ptySlave, name, nullptr, nullptr) != 0) {
        fd = ptySlave = -1;
        return fail(QStringLiteral("cannot open a pseudo-terminal: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(ptySlave, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    device = QString::fromLocal8Bit(name);
    // Raw and at the module's rate, so that a peer which sets nothing still talks to it.
    writeTtyLine(ptySlave, model.settings().line);

    const QString folder = serial::portFolder();
    QDir().mkpath(folder);
    removed.clear();
    removeStaleLinks(folder);
    const int first = comNumber > 0 ? comNumber : serial::FirstPort;
    const int last = comNumber > 0 ? comNumber : serial::LastPort;
    for (int n = first; n <= last && link.isEmpty(); ++n)
        if (claim(QDir(folder).filePath(QStringLiteral("COM%1").arg(n))))
            com = n;
    if (link.isEmpty())
        return fail(comNumber > 0
                        ? QStringLiteral("COM%1 is taken in %2").arg(comNumber).arg(folder)
                        : QStringLiteral("COM1 to COM9 are all taken in %1").arg(folder));
    listen();
    abandonTimer.start();
    return true;
}

// A simulator's link COMn has a lock file beside it, COMn.lock, which the
// simulator holds (flock) while it lives and in which it records its process
// id and its pseudo-terminal. A link whose lock no one holds and whose target
// is the one recorded was left behind by a simulator that ended without
// cleaning up (kill -9, a crash). Such a link leads to a pseudo-terminal that
// the system may give to the next program that asks, perhaps another
// simulator under another number: remove it. A link without such a record is
// someone else's (an adapter pinned by hand) and stays.

void Transport::removeStaleLinks(const QString &folder)
{
    for (int n = serial::FirstPort; n <= serial::LastPort; ++n) {
        const QString path = QDir(folder).filePath(QStringLiteral("COM%1").arg(n));
        const QByteArray lockPath = QFile::encodeName(serial::linkLockFile(path));
        const int lock = ::open(lockPath.constData(), O_RDWR | O_CLOEXEC);
        if (lock < 0)
            continue;
        if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
            char record[512] = {};
            const ssize_t size = ::read(lock, record, sizeof record - 1);
            const QStringList fields
                = QString::fromLocal8Bit(record, qMax<ssize_t>(size, 0)).split(u'\n');
            if (fields.size() >= 2 && !fields[1].isEmpty()
                && QFile::symLinkTarget(path) == fields[1] && QFile::remove(path))
                removed
                    << QStringLiteral(
                           "Removed COM%1 (%2), left behind by duve-sim process %3, which has ended")
                           .arg(n)
                           .arg(fields[1], fields[0]);
            ::unlink(lockPath.constData());
        }
        ::close(lock);
    }
}

// Takes COMn for this simulator: its lock first, so that no other simulator
// takes the link for stale meanwhile, then the link itself.
bool Transport::claim(const QString &path)
{
    const QByteArray lockPath = QFile::encodeName(serial::linkLockFile(path));
    const int lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0)
        return false;
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) { // a live simulator's
        ::close(lock);
        return false;
    }
    // symlink() refuses an existing entry, a dangling link included: that
    // number belongs to someone else.
    if (::symlink(QFile::encodeName(device).constData(), QFile::encodeName(path).constData())
        != 0) {
        ::unlink(lockPath.constData());
        ::close(lock);
        return false;
    }
    const QByteArray record
        = QByteArray::number(::getpid()) + '\n' + QFile::encodeName(device) + '\n';
    if (::ftruncate(lock, 0) != 0
        || ::write(lock, record.constData(), size_t(record.size())) != record.size())
        qWarning("duve-sim: cannot record the owner of %s", lockPath.constData());
    link = path;
    linkLock = lock;
    return true;
}

bool Transport::openDevice(const QString &path)
{
    close();
    fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("cannot open %1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    if (!::isatty(fd))
        return fail(QStringLiteral("%1 is not a serial device").arg(path));
    // The tool's port scan then sees the device as in use.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(QStringLiteral("%1 is in use by another program").arg(path));
    if (!writeTtyLine(fd, model.settings().line))
        return fail(QStringLiteral("%1 refuses %2").arg(path, lineName(model.settings().line)));
    device = path;
    listen();
    return true;
}

void Transport::listen()
{
    notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &Transport::readLine);
}

void Transport::close()
{
    notifier.reset();
    sendTimer.stop();
    abandonTimer.stop();
    queue.clear();
    stream.clear();
    if (!link.isEmpty()) {
        // Only our own link: someone may have put another in its place.
        if (QFile::symLinkTarget(link) == device)
            QFile::remove(link);
        ::unlink(QFile::encodeName(serial::linkLockFile(link)).constData());
        ::close(linkLock);
        linkLock = -1;
        link.clear();
        com = 0;
    }
    if (fd >= 0)
        ::close(fd);
    if (ptySlave >= 0)
        ::close(ptySlave);
    fd = ptySlave = -1;
    device.clear();
}

// A tool that opens the line with Qt Serial Port asks for exclusive use
// (TIOCEXCL), which lasts until the last handle of the terminal goes; ours
// stays, so a tool that was killed would leave the line busy (EBUSY) until the
// simulator ends. A real adapter is free again once its users are gone: give
// the line back when no live program holds it, by Qt's lock file or an flock.
void Transport::freeAbandonedLine()
{
    if (!serial::heldQtLockFile(device).isEmpty() || ::flock(ptySlave, LOCK_SH | LOCK_NB) != 0)
        return;
    ::ioctl(ptySlave, TIOCNXCL);
    ::flock(ptySlave, LOCK_UN);
}

// Empty when the tool's end of the pseudo-terminal is set as the module's line.
// Only the baud rate and stop bits count: a pseudo-terminal carries no parity
// and always 8 data bits.
QString Transport::lineMismatch() const
{
    if (ptySlave < 0)
        return {};
    const auto tool = readTtyLine(ptySlave);
    const TtyLine own = model.settings().line;
    if (!tool)
        return QStringLiteral("the line settings of %1 cannot be read").arg(device);
    if (tool->baud == own.baud && tool->stopBits == own.stopBits)
        return {};
    return QStringLiteral("line at %1 baud, %2 stop bits; module at %3")
        .arg(tool->baud)
        .arg(tool->stopBits)
        .arg(lineName(own));
}

void Transport::readLine()
{
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        // The device is gone; stop watching rather than spin on it.
        notifier->setEnabled(false);
        return;
    }
    const QByteArray bytes(buffer, n);
    // The adapter hands back what the tool sends as it goes out, whatever the module makes of it.
    if (faults.echoes() && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size())
        Q_EMIT sent(bytes);
    if (const QString mismatch = lineMismatch(); !mismatch.isEmpty()) {
        // At the wrong rate the module hears noise: nothing of it, or of what
        // came before, makes a frame.
        stream.clear();
        Q_EMIT garbled(bytes, mismatch);
        return;
    }
    stream += bytes;
    for (const QByteArray &frame : takeFrames(stream))
        answer(frame);
}

void Transport::answer(const QByteArray &request)
{
    Q_EMIT received(request);
    const QByteArray reply = model.answer(request, clock.elapsed());
    // An echo while new settings wait: this write brought them.
    const bool settingsWritten = model.pendingSettings() && reply == request;
    const QList<QByteArray> pieces = faults.shape(reply);
    for (qsizetype i = 0; i < pieces.size(); ++i)
        queue << Outgoing{pieces[i], i == 0 ? delayMs : faults.splitGapMs(), false};
    // The module changes its settings after the echo, whether the line lost it or not.
    if (settingsWritten) {
        if (pieces.isEmpty())
            queue << Outgoing{{}, delayMs, true};
        else
            queue.last().thenApplySettings = true;
    }
    if (!queue.isEmpty() && !sendTimer.isActive())
        sendTimer.start(queue.first().waitMs);
}

void Transport::sendNext()
{
    if (queue.isEmpty())
        return;
    const Outgoing out = queue.takeFirst();
    if (!out.bytes.isEmpty()) {
        // The tool may have changed its settings while the answer waited.
        if (const QString mismatch = lineMismatch(); !mismatch.isEmpty())
            Q_EMIT garbled(out.bytes, mismatch);
        else if (::write(fd, out.bytes.constData(), size_t(out.bytes.size())) == out.bytes.size())
            Q_EMIT sent(out.bytes);
        else
            qWarning("duve-sim: the line did not take %lld answer bytes",
                     qlonglong(out.bytes.size()));
    }
    if (out.thenApplySettings)
        applySettings();
    if (!queue.isEmpty())
        sendTimer.start(queue.first().waitMs);
}

void Transport::applySettings()
{
    if (!model.pendingSettings())
        return;
    model.applyPendingSettings();
    if (ptySlave < 0) {
        // A real line: let the echo leave at the old rate before switching.
        ::tcdrain(fd);
        writeTtyLine(fd, model.settings().line);
    }
    Q_EMIT settingsChanged(model.settings());
}

} // namespace sim
