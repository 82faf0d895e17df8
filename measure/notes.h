#pragma once

#include "serial/parity.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// The tool's own words in the log where the line did not do what a request
// expects. A note changes no box and no frame: it says what a careful operator
// would have worked out from the bytes. A log line shows about 75 characters
// after its time, so every note says in its first 70 what happened to which
// request and the first thing to check; details follow.
namespace measure {

// How long a request waits for its answer before the log says it has none.
constexpr int AnswerWaitMs = 1000;

// What a request sent waits for, as its answer is judged by.
struct Awaited
{
    quint8 device = 0;
    quint8 function = 0;
    quint16 reg = 0;
    quint16 value = 0; // a write's value, a read's register count
    int channel = -1;  // the row of the channel whose box a read answer shows in, or -1
};

// What the request bytes await while PendingRequest is pendingRequest.
Awaited awaitedBy(QByteArrayView request, qint16 pendingRequest);

// What the operator calls a request: "V1", "Setup Baudrate", "the read of 0015".
QString requestName(const Awaited &request);

// What a settings write gives the module, decoded: "ID 05, 9600 baud", "8 data
// bits, parity e, 1 stop bit"; empty for any other request.
QString settingsWritten(const Awaited &request);

// True when a block taken is an answer to the request awaited: a read answer
// (shown, whatever it holds), a write echo or an exception answer that could
// be one (its check bytes fit, or it comes from the device asked with a
// function that request can get), or a write echo the window followed. Any
// other block forms no answer. An answer ends the wait of the request.
bool isAnswer(QByteArrayView block, const Awaited &asked, bool followed = false);

// Where a block that forms no answer holds, after stray bytes, a whole answer
// to the request awaited (its device, its function, fitting check bytes): the
// offset of that answer, or nothing.
std::optional<qsizetype> answerAfterStray(QByteArrayView block, const Awaited &asked);

// What is known of an answer besides its bytes.
struct AnswerFacts
{
    QString shownIn;                // the box the value went to ("V2"), if any
    std::optional<Awaited> earlier; // an earlier request still owed one when it came
    bool earlierBeforeReconnect = false;
    serial::LineErrors errors; // what the port reported as its bytes came
};

// A note, and the doubts it raises in a few words each, for a value's story.
struct Note
{
    QString text;
    QStringList doubts;
};

// The note of an answer (isAnswer) against the request awaited: an exception
// answer's meaning and fix, or every reason the answer may be wrong with the
// fix of each; no text for a sound answer in step.
Note answerNote(QByteArrayView block, const Awaited &asked, const AnswerFacts &facts);

// The note of bytes that form no answer, with the line's likely faults and
// the line settings in use ("38400,n,8,1").
QString noiseNote(const serial::LineErrors &errors, const QString &lineSettings);

// A note with the line errors of its bytes after it, or those alone where
// there is no note; empty when there is neither.
QString withLineErrors(const QString &note, const serial::LineErrors &errors);

// The note of a whole answer to the request awaited that came after stray
// bytes, in a block that changes nothing on the screen.
QString strayNote(const Awaited &asked, QByteArrayView stray);

// Said once a connection: the request's own bytes came back before its answer.
QString echoNote();

// What a request that had no answer within AnswerWaitMs was told.
struct Silence
{
    bool bytesCame = false;        // bytes came meanwhile, none forming an answer
    std::optional<quint8> idGiven; // the device ID a settings write gave the module
};
QString noAnswerNote(const Awaited &asked, const Silence &silence = {});
// The note of a request still unanswered after waitedMs, when next was sent.
QString crossedNote(const Awaited &asked, const Awaited &next, int waitedMs);
// A settings write echoed while another request was awaited, so not followed.
QString echoNotFollowedNote(const Awaited &write, const Awaited &awaited);

// After the log was replaced: which boxes still show values in doubt, each
// with its doubts in a few words; empty when none does.
QString doubtfulValuesNote(const QList<std::pair<QString, QStringList>> &boxes);

// After the reopen that follows a settings write, the line settings the tool
// used before and uses now (baud rate, parity, length, stop: "9600", "n", "8",
// "1"): where the new ones differ from what the module may use (what the write
// sent, and the rest as before), which fields to check; empty where they agree.
QString reopenNote(const Awaited &write, const QStringList &before, const QStringList &after);

// The line errors reported with bytes, in words, with the fix where there is
// one; empty when there are none.
QString lineErrorText(const serial::LineErrors &errors);

// What a screen reader says of a note or a refusal: its first words, up to its
// first semicolon, which say what happened and the first thing to check.
QString firstWords(const QString &note);

// What a screen reader says of a value the channel of this row shows: "V1 1.5
// volts", and that it may be wrong where a note doubts it.
QString spokenValue(int row, const QString &value, bool doubted);

} // namespace measure
