#pragma once

#include "app/form1.h"
#include "sim/transport.h"

#include <QTemporaryDir>

// The window and a simulated module in this process, on a pseudo-terminal linked as COM 1 in a
// port folder of its own, so that the module is the only port the window sees.
struct SimWindow
{
    explicit SimWindow(const sim::Faults &faults = {}, int delayMs = 0);
    // Shows the window, loads it and connects; false, with the reason on stderr, when the
    // module or the connection could not be had.
    bool start();

    QTemporaryDir home;
    sim::Transport module;
    Form1 form{[] { return QStringList(); }};
};
