#include "measure/step.h"

#include <algorithm>

namespace measure {

namespace {

// An answer this long after a request fits the module's own answer time
// (with room for a USB adapter's latency timer, 16 ms by default).
qint64 fitsAnswerTime(qint64 answerTimeMs) { return qMax(2 * answerTimeMs, answerTimeMs + 50); }

} // namespace

void Step::forgetLate(qint64 nowMs)
{
    while (!owed.empty() && nowMs - owed.front().sentMs > LateMs)
        owed.pop_front();
}

bool Step::sent(const Awaited &request, qint64 nowMs)
{
    forgetLate(nowMs);
    owed.push_back({request, nowMs, false});
    return owed.size() > 1;
}

std::optional<Step::Owed> Step::answered(qint64 nowMs)
{
    forgetLate(nowMs);
    if (owed.empty())
        return std::nullopt; // nothing is owed one any more; taken as in step
    if (owed.size() == 1) {
        answerTimeMs = nowMs - owed.front().sentMs;
        owed.pop_front();
        return std::nullopt;
    }
    const Owed earliest = owed.front();
    // The module answers in order: while an earlier request's answer could
    // still come, this one is the earliest's. But where every earlier request
    // has waited well past the module's answer time and this came as fast as
    // its answers do after the latest, the earlier ones were lost: the line
    // is in step again, and a dropped answer costs this one note.
    const qint64 fits = answerTimeMs ? fitsAnswerTime(*answerTimeMs) : -1;
    const bool earlierLost = answerTimeMs && nowMs - owed.back().sentMs <= fits
                             && std::all_of(owed.begin(), owed.end() - 1,
                                            [&](const Owed &o) { return nowMs - o.sentMs > fits; });
    if (earlierLost)
        owed.clear();
    else
        owed.pop_front();
    return earliest;
}

std::optional<Step::Owed> Step::owedWrite(const Awaited &echo, qint64 nowMs)
{
    forgetLate(nowMs);
    for (const Owed &o : owed)
        if (o.request.function == echo.function && o.request.device == echo.device
            && o.request.reg == echo.reg && o.request.value == echo.value)
            return o;
    return std::nullopt;
}

void Step::reconnected()
{
    for (Owed &o : owed)
        o.beforeReconnect = true;
}

} // namespace measure
