// termios2 carries any baud rate as a number; it cannot share a translation
// unit with <termios.h>, so this file speaks to the kernel directly.
#include "sim/ttyline.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace sim {

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
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

} // namespace sim
