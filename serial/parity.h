#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Bytes received with a parity or framing error, as the serial control's
// replacement character shows them, and the line errors the driver reports.
namespace serial {

// What the driver reported about the line while bytes came. Linux's drivers
// count each kind (where they keep counters at all); Windows only flags
// which kinds happened, so there each is 0 or 1 and counted is false.
struct LineErrors
{
    int parity = 0;
    int framing = 0;
    int breaks = 0;
    int overruns = 0;   // the port's receiver lost bytes
    int bufferFull = 0; // bytes lost to a full input buffer
    int marked = 0;     // bytes marked as received in error, now ParityReplace
    bool counted = true;

    bool any() const { return parity || framing || breaks || overruns || bufferFull || marked; }
    LineErrors &operator+=(const LineErrors &more);
};

// What stands for a byte received with a parity or framing error.
inline constexpr char ParityReplace = '?';

// Where the last read ended inside a mark of the driver.
enum class MarkState : quint8 { Plain, AfterFF, AfterFF00 };

// With marking on (termios INPCK and PARMRK), Linux hands over a byte x
// received with a parity or framing error as FF 00 x, a break as FF 00 00 (so
// it reads as a 00 in error) and a good FF as FF FF. This turns such a stream
// back into the bytes received, each byte in error and each break becoming
// ParityReplace. A mark cut by the end of a read is held in state and finished
// by the next read. inError, if given, is set to how many bytes became
// ParityReplace.
QByteArray unmarkErrors(QByteArrayView marked, MarkState &state, int *inError = nullptr);

} // namespace serial
