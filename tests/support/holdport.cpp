// Another program that holds a serial device, the way real ones do:
//   holdport qt PATH     opens it with Qt Serial Port (Qt's lock file)
//   holdport flock PATH  opens it and takes an flock on it
// Prints "held" once it holds the device and keeps it until stdin closes.
#include <QCoreApplication>
#include <QSerialPort>

#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    QSerialPort port;
    int fd = -1;
    if (std::strcmp(argv[1], "qt") == 0) {
        port.setPortName(QString::fromLocal8Bit(argv[2]));
        if (!port.open(QIODevice::ReadWrite))
            return 1;
    } else {
        fd = ::open(argv[2], O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
            return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    char c;
    while (::read(STDIN_FILENO, &c, 1) > 0) { }
    return 0;
}
