#pragma once

#include "serial/parity.h"

#include <QByteArrayView>
#include <QString>

// The tool's own words in the log where the line did not do what a request
// expects. A note changes no box and no frame: it says what a careful operator
// would have worked out from the bytes.
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

// True when a block taken is an answer the tool decodes (a read answer, a
// write echo or an exception answer): it ends the wait of the request.
bool isAnswer(QByteArrayView block);

// The note a block gets against the last request: an exception answer's
// meaning, or every reason the answer may be wrong; empty for a sound
// answer and for bytes that are no answer.
QString answerNote(QByteArrayView block, const Awaited &asked);

// The note of a request that had no answer within AnswerWaitMs.
QString noAnswerNote(const Awaited &asked);
// The note of a request still unanswered after waitedMs, when next was sent.
QString crossedNote(const Awaited &asked, const Awaited &next, int waitedMs);

// The note of the line errors reported with a block; empty when there are none.
QString lineErrorNote(const serial::LineErrors &errors);

} // namespace measure
