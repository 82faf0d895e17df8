#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Bytes received with a parity or framing error, as the serial control's
// replacement character shows them.
namespace serial {

// What stands for a byte received with a parity or framing error.
inline constexpr char ParityReplace = '?';

// Where the last read ended inside a mark of the driver.
enum class MarkState : quint8 { Plain, AfterFF, AfterFF00 };

// With marking on (termios INPCK and PARMRK), Linux hands over a byte x
// received with a parity or framing error as FF 00 x, a break as FF 00 00 (so
// it reads as a 00 in error) and a good FF as FF FF. This turns such a stream
// back into the bytes received, each byte in error and each break becoming
// ParityReplace. A mark cut by the end of a read is held in state and finished
// by the next read.
QByteArray unmarkErrors(QByteArrayView marked, MarkState &state);

} // namespace serial
