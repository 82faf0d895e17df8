#pragma once

#include "measure/notes.h"

#include <QtGlobal>

#include <deque>
#include <optional>

// Whether the answers on the line are in step with the requests. The module
// answers in order, or not at all, and the tool neither times out nor asks
// again, so an answer is taken for the request awaited when it comes: the
// latest one sent. Once a request goes out while an earlier one is still
// owed an answer that could come, an answer may be that earlier request's.
namespace measure {

// An answer later than this after its request is no longer looked for: the
// request is taken as never answered.
constexpr int LateMs = 5000;

class Step
{
public:
    // A request that may still be answered, and when it went out.
    struct Owed
    {
        Awaited request;
        qint64 sentMs = 0;
        bool beforeReconnect = false; // sent on an earlier connection
    };

    // A request went on the line at nowMs. True when an earlier one is still
    // owed an answer that could come: the line is out of step from now on.
    bool sent(const Awaited &request, qint64 nowMs);
    // An answer arrived at nowMs. The earlier request it may answer instead of
    // the latest; none while the line is in step.
    std::optional<Owed> answered(qint64 nowMs);
    // The owed request, if any, whose echo these are (device, register, value):
    // a write's echo that may come late.
    std::optional<Owed> owedWrite(const Awaited &echo, qint64 nowMs);
    // The port was closed and opened again: what is owed may still come.
    void reconnected();
    // The device went away: nothing it owed can come.
    void clear() { owed.clear(); }

private:
    void forgetLate(qint64 nowMs);

    std::deque<Owed> owed;
    // How long the module took to answer when the line was last in step.
    std::optional<qint64> answerTimeMs;
};

} // namespace measure
