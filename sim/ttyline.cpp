// termios2 carries any baud rate as a number; it cannot share a translation
// unit with <termios.h>, so this file speaks to the kernel directly.
#include "sim/ttyline.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace sim {

// The termios code of a standard rate, or 0 (B0) if it has none.
static speed_t standardSpeed(int baud)
{
    static const struct
    {
        int baud;
        speed_t code;
    } codes[] = {{110, B110},     {300, B300},     {600, B600},       {1200, B1200},
                 {2400, B2400},   {4800, B4800},   {9600, B9600},     {19200, B19200},
                 {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400}};
    for (const auto &c : codes)
        if (c.baud == baud)
            return c.code;
    return B0;
}

std::optional<TtyLine> readTtyLine(int fd)
{
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return std::nullopt;
    TtyLine line;
    line.baud = static_cast<int>(tio.c_ospeed);
    switch (tio.c_cflag & CSIZE) {
    case CS5: line.dataBits = 5; break;
    case CS6: line.dataBits = 6; break;
    case CS7: line.dataBits = 7; break;
    default: line.dataBits = 8; break;
    }
    line.parity = !(tio.c_cflag & PARENB) ? 'n' : (tio.c_cflag & PARODD) ? 'o' : 'e';
    line.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    return line;
}

bool writeTtyLine(int fd, const TtyLine &line)
{
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    // Raw bytes: no echo, no line editing, no translation, no signals.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CBAUD | CRTSCTS);
    tio.c_cflag |= CREAD | CLOCAL | BOTHER;
    tio.c_cflag |= line.dataBits == 5   ? CS5
                   : line.dataBits == 6 ? CS6
                   : line.dataBits == 7 ? CS7
                                        : CS8;
    if (line.parity != 'n')
        tio.c_cflag |= PARENB | (line.parity == 'o' ? PARODD : 0);
    if (line.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_ispeed = tio.c_ospeed = static_cast<speed_t>(line.baud);
    tio.c_cflag &= ~(CBAUD << IBSHIFT);
    tio.c_cflag |= BOTHER << IBSHIFT;
    // A standard rate goes by its own code: a program that reads the line
    // with plain termios (Wine's serial ports among them) refuses a custom one.
    if (const speed_t code = standardSpeed(line.baud)) {
        tio.c_cflag = (tio.c_cflag & ~(CBAUD | CBAUD << IBSHIFT)) | code;
        tio.c_ispeed = 0; // input at the output's rate
    }
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

} // namespace sim
