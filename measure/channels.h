#pragma once

#include "modbus/protocol.h"

#include <QtGlobal>

#include <iterator>

// The module's input channels: the one list of them that the window's
// controls (app/channelcontrols.h), Auto Scan, the receive handler and the
// tests read. A row's place is its place in Auto Scan and in the window.
namespace measure {

struct Channel
{
    const char *caption; // its button's caption, and its box's name: "<caption> value"
    quint16 reg;         // the module's input register that holds it
    qint16 code;         // the PendingRequest of its read
    const char *unit;    // of the value its box shows (the register's value / 1000), in words
};

inline constexpr Channel Channels[] = {
    {"V1", 0x0004, 0, "volts"},        {"V2", 0x0008, 1, "volts"},
    {"V3", 0x000C, 2, "volts"},        {"V4", 0x0010, 3, "volts"},
    {"I1", 0x0005, 4, "milliamperes"}, {"I2", 0x0009, 5, "milliamperes"},
    {"I3", 0x000D, 6, "milliamperes"}, {"I4", 0x0011, 7, "milliamperes"},
};

constexpr qsizetype ChannelCount = std::size(Channels);

// The row of the channel whose read has this code, or -1.
constexpr int channelOfCode(qint16 code)
{
    for (qsizetype i = 0; i < ChannelCount; ++i)
        if (Channels[i].code == code)
            return int(i);
    return -1;
}

// A code names one read: no two channels share one, and none is a settings echo's.
constexpr bool codesClear()
{
    for (qsizetype i = 0; i < ChannelCount; ++i) {
        const qint16 code = Channels[i].code;
        if (code < 0 || code == modbus::IdBaudEcho || code == modbus::FormatEcho
            || channelOfCode(code) != i)
            return false;
    }
    return true;
}
static_assert(codesClear(), "each channel needs a code of its own, clear of the settings echoes");

} // namespace measure
