#pragma once

#include <QByteArray>
#include <QList>

namespace sim {

// Faults to put the tool's receive side to the test: of the line, and of a
// module that answers wrongly. Counts are of answers actually given; 0 turns
// a fault off.
struct Faults
{
    int dropEvery = 0;    // every Nth answer is lost
    int corruptEvery = 0; // every Nth answer has its last byte before the check bytes inverted
    int splitPieces = 1;  // answers go out in this many pieces
    // this far apart: long enough for the tool to take each piece as a
    // receive event of its own
    int splitGapMs = 20;
    // With check bytes that fit: every Nth answer comes from another device
    // ID (the module's + 1), every Nth read answer has a byte count 2 too high.
    int wrongIdEvery = 0;
    int wrongCountEvery = 0;
    // Of a two-wire RS-485 line: every Nth answer comes after a stray byte
    // (FF, an unbiased line turning around), or noise comes in its place.
    int strayEvery = 0;
    int noiseEvery = 0;
    // An adapter without echo suppression hands every request back at once.
    bool echo = false;
};

class FaultInjector
{
public:
    explicit FaultInjector(const Faults &faults = {})
        : faults(faults)
    {
    }

    // The pieces in which the next answer goes on the line, in order; none
    // when it is lost. An empty answer (silence) is not counted.
    QList<QByteArray> shape(QByteArray answer);
    // How far apart its pieces go.
    int splitGapMs() const { return faults.splitGapMs; }
    bool echoes() const { return faults.echo; }

private:
    Faults faults;
    int count = 0;
};

} // namespace sim
