#include "tests/support/pty.h"

#include "serial/portnames.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&masterFd, &slaveFd, name, &raw, nullptr) != 0) {
        masterFd = slaveFd = -1;
        return;
    }
    ::fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
    path = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (slaveFd >= 0)
        ::close(slaveFd);
}

int PtyPair::unread() const
{
    int count = 0;
    return ::ioctl(slaveFd, FIONREAD, &count) == 0 ? count : -1;
}

void PtyPair::closeMaster()
{
    if (masterFd >= 0)
        ::close(masterFd);
    masterFd = -1;
}

PortFolder::PortFolder()
    : savedHome(qgetenv("XDG_CONFIG_HOME"))
    , hadHome(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    QDir().mkpath(serial::portFolder());
}

PortFolder::~PortFolder()
{
    if (hadHome)
        qputenv("XDG_CONFIG_HOME", savedHome);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString PortFolder::path() const { return serial::portFolder(); }

bool PortFolder::link(int n, const QString &target) const
{
    return QFile::link(target, QDir(path()).filePath(QStringLiteral("COM%1").arg(n)));
}
