#include "sim/faults.h"

#include "modbus/checksum.h"
#include "modbus/protocol.h"

#include <algorithm>

namespace sim {

static bool isNth(int count, int every) { return every > 0 && count % every == 0; }

QList<QByteArray> FaultInjector::shape(QByteArray answer)
{
    if (answer.isEmpty())
        return {};
    ++count;
    if (isNth(count, faults.dropEvery))
        return {};
    const bool otherId = isNth(count, faults.wrongIdEvery);
    const bool otherCount = isNth(count, faults.wrongCountEvery) && answer.size() > 2
                            && quint8(answer[1]) == modbus::ReadHoldingRegisters;
    if (otherId || otherCount) {
        answer.chop(2);
        if (otherId)
            answer[0] = static_cast<char>(quint8(answer[0]) % 0xF7 + 1);
        if (otherCount)
            answer[2] = static_cast<char>(answer[2] + 2);
        answer = modbus::withCrc(answer);
    }
    // Keeping the check bytes as they were makes the damage detectable.
    if (isNth(count, faults.corruptEvery) && answer.size() >= 3)
        answer[answer.size() - 3] = static_cast<char>(~answer[answer.size() - 3]);
    // Bytes no device sent: they form no frame, nor an exception answer.
    if (isNth(count, faults.noiseEvery))
        answer = QByteArray::fromHex("00E0FE0080");
    if (isNth(count, faults.strayEvery))
        answer.prepend('\xFF');
    const qsizetype pieces = std::clamp<qsizetype>(faults.splitPieces, 1, answer.size());
    QList<QByteArray> result;
    for (qsizetype i = 0; i < pieces; ++i) {
        const qsizetype from = answer.size() * i / pieces;
        const qsizetype to = answer.size() * (i + 1) / pieces;
        result << answer.mid(from, to - from);
    }
    return result;
}

} // namespace sim
