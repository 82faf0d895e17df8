#pragma once

#include "measure/notes.h"

#include <QByteArrayView>
#include <QLocale>
#include <QString>

#include <optional>

// Reading the module's answers.
namespace measure {

// The raw value of a read answer: bytes 3 and 4, high byte first.
int readValue(QByteArrayView answer);

// A channel's value in volts or milliamperes: raw / 1000 in the shortest form,
// with the locale's decimal separator and no group separators (1500 gives 1.5).
QString valueText(int raw, const QLocale &locale = QLocale());

// True when the bytes start with a complete Modbus exception answer: address,
// function with the high bit set, exception code and a fitting CRC.
bool startsWithException(QByteArrayView bytes);

// How long the line stays quiet before bytes short of a whole answer are taken
// as they are: libmodbus's default byte time-out.
constexpr int QuietMs = 500;

// What the next bytes may be, besides an answer.
struct Expected
{
    // The request just sent, whose own bytes an RS-485 adapter that does not
    // suppress its echo hands back before the answer; empty when none is looked for.
    QByteArrayView echo;
    // The request awaited, whose whole answer may come after stray bytes.
    const Awaited *asked = nullptr;
};

// How many of the bytes waiting make the next block to take and log; 0 means
// wait for more. The tool knows what its own requests get back, so a block is
// one answer whenever its function code says what it is: an exception answer
// (with a fitting CRC) at 5 bytes, a read answer (03) at 7 whatever its byte
// count claims (the tool asks for one register), a write echo (06) at 8.
// The request's own bytes coming back are a block of their own, and bytes that
// may still become them are waited for. Anything else is taken whole once at
// least 7 bytes wait, or, where a whole answer to the request awaited may
// follow stray bytes, once that answer is whole. Once the line has been quiet
// for QuietMs, whatever waits short of that is taken as it is.
qsizetype blockLength(QByteArrayView waiting, bool quiet = false, const Expected &expected = {});

// What a block taken does to the window.
struct Effect
{
    std::optional<int> value;    // a read answer's raw value, for Text23
    int box = -1;                // the row of the channel whose box shows it, or none
    bool followSettings = false; // the echo of a settings write: reopen at the new settings
};

// By the block's function code and PendingRequest: a read answer of at least
// 7 bytes gives its value, shown in the box of a channel read; a write echo
// while a settings write is awaited makes the window follow the module.
Effect effectOf(QByteArrayView block, qint16 pendingRequest);

} // namespace measure
