#pragma once

#include "sim/faults.h"
#include "sim/model.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

namespace sim {

// Everything duve-sim is told on its command line.
struct Config
{
    ModuleOptions module;
    Faults faults;
    int delayMs = 0;
    int com = 0;    // 0: the first free COM number
    QString device; // a real serial line instead of a pseudo-terminal
    bool quiet = false;
    // What one option makes of another ("--loopback: V1 shows VO1, not --value V1=3300").
    QStringList notes;
};

// Declares duve-sim's options (with --help and --version) on parser, reads
// arguments (the program name first) and checks every value. nullopt and, in
// why (if given), the reason when something is wrong; whether --help or
// --version was given is for the caller to ask parser.
std::optional<Config> parseCommandLine(QCommandLineParser &parser, const QStringList &arguments,
                                       QString *why = nullptr);

} // namespace sim
