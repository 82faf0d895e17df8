#pragma once

#include <optional>

namespace sim {

// The line settings a terminal device carries right now, as any holder of it
// sees them (the peer of a pseudo-terminal reads here what the tool has set).
struct TtyLine
{
    int baud = 0; // bits per second, standard or custom
    int dataBits = 8;
    char parity = 'n'; // 'n', 'e' or 'o'
    int stopBits = 1;

    bool operator==(const TtyLine &) const = default;
};

std::optional<TtyLine> readTtyLine(int fd);

// Sets a terminal to raw bytes with these settings (any baud rate).
bool writeTtyLine(int fd, const TtyLine &line);

} // namespace sim
