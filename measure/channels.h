#pragma once

#include "app/form1.h"
#include "modbus/protocol.h"

#include <iterator>

// The module's input channels and the controls that read and show each: the
// one list of them that the window's controls, its handlers, Auto Scan and
// the receive handler all read.
namespace measure {

struct Channel
{
    const char *caption;         // its button's caption, and its box's name: "<caption> value"
    quint16 reg;                 // the module's input register that holds it
    QGroupBox *Form1::*frame;    // "Voltage" or "Current": its controls take the next place there
    QPushButton *Form1::*button; // reads it
    void (Form1::*click)();      // the button's handler
    const char *buttonName;
    QLineEdit *Form1::*box; // shows its value
    const char *boxName;
};

// clang-format off
// A row from the names of the channel's controls, so that each name is written once.
#define DUVE_CHANNEL(caption, reg, frame, button, box)                                       \
    Channel { caption, reg, &Form1::frame, &Form1::button, &Form1::button##_Click, #button, \
              &Form1::box, #box }
// clang-format on

// In PendingRequest order: a channel's index here is the PendingRequest of its read.
inline constexpr Channel Channels[] = {
    DUVE_CHANNEL("V1", 0x0004, Frame3, Command11, Text15),
    DUVE_CHANNEL("V2", 0x0008, Frame3, Command12, Text16),
    DUVE_CHANNEL("V3", 0x000C, Frame3, Command13, Text17),
    DUVE_CHANNEL("V4", 0x0010, Frame3, Command14, Text18),
    DUVE_CHANNEL("I1", 0x0005, Frame4, Command15, Text19),
    DUVE_CHANNEL("I2", 0x0009, Frame4, Command16, Text20),
    DUVE_CHANNEL("I3", 0x000D, Frame4, Command17, Text21),
    DUVE_CHANNEL("I4", 0x0011, Frame4, Command18, Text22),
};

#undef DUVE_CHANNEL

// The PendingRequest codes of the settings echoes come after the channels.
static_assert(std::size(Channels) == modbus::ChannelCount,
              "one row per input of the module: set modbus::ChannelCount to match");

} // namespace measure
