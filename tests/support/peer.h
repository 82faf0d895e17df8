#pragma once

#include "sim/ttyline.h"
#include "tests/support/frames.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>

#include <functional>
#include <optional>

class PtyPair;

// The device on the far end of a pseudo-terminal: records every byte the
// tool writes, splits it into frames (8-byte RTU requests, ":"-led ASCII
// lines) and checks each RTU frame's CRC; the test answers through it, whole
// or in pieces.
class Peer : public QObject
{
    Q_OBJECT

public:
    explicit Peer(PtyPair &pty);
    // Fails the running test if any RTU frame's check bytes did not fit.
    ~Peer() override;

    QByteArray received() const { return bytes; }
    // Every byte written to the tool, in order.
    QByteArray sent() const { return written; }
    QList<QByteArray> frames() const { return complete; }
    // The line settings the tool has set on its end right now.
    std::optional<sim::TtyLine> line() const;

    // Waits until this many frames in all have arrived.
    bool waitForFrames(qsizetype count, int timeoutMs = 5000);

    // Writes bytes to the tool; with pieces > 1 each piece waits until the
    // tool has taken the one before, so every piece is a receive event of its own,
    // and pauseMs more.
    bool answer(const QByteArray &reply, int pieces = 1, int pauseMs = 0);
    // The same with the pieces given, and a pause after each.
    bool answer(const QByteArrayList &pieces, int pauseMs = 0);

    // When set, each complete frame from the tool is answered at once with
    // what this returns (nothing when empty), as a module would.
    std::function<QByteArray(const QByteArray &frame)> respond;

    // Closes the far end, as an unplugged adapter would.
    void hangUp();

private:
    void readMaster();
    void split();

    PtyPair &pty;
    QSocketNotifier notifier;
    QByteArray bytes;
    QByteArray written;
    QByteArray pending;
    QList<QByteArray> complete;
    QStringList bad;
};
