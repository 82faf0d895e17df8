#pragma once

#include "app/form1.h"
#include "measure/channels.h"

#include <iterator>

// The window's controls of each input channel, row for row with the channel
// table: the frame it sits in, its read button and its value box.
namespace app {

struct ChannelControls
{
    QGroupBox *Form1::*frame; // "Voltage" or "Current": its controls take the next place there
    QPushButton *Form1::*button;
    const char *buttonName;
    QLineEdit *Form1::*box;
    const char *boxName;
};

// clang-format off
// A row from the names of the channel's controls, so that each name is written once.
#define DUVE_CONTROLS(frame, button, box) \
    ChannelControls { &Form1::frame, &Form1::button, #button, &Form1::box, #box }
// clang-format on

inline constexpr ChannelControls ChannelControlList[] = {
    DUVE_CONTROLS(Frame3, Command11, Text15), // V1
    DUVE_CONTROLS(Frame3, Command12, Text16), // V2
    DUVE_CONTROLS(Frame3, Command13, Text17), // V3
    DUVE_CONTROLS(Frame3, Command14, Text18), // V4
    DUVE_CONTROLS(Frame4, Command15, Text19), // I1
    DUVE_CONTROLS(Frame4, Command16, Text20), // I2
    DUVE_CONTROLS(Frame4, Command17, Text21), // I3
    DUVE_CONTROLS(Frame4, Command18, Text22), // I4
};

#undef DUVE_CONTROLS

static_assert(std::size(ChannelControlList) == measure::ChannelCount,
              "a button and a box for each row of measure::Channels");

} // namespace app
