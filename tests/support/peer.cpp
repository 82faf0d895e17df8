#include "tests/support/peer.h"

#include "tests/support/pty.h"

#include <QTest>

#include <poll.h>
#include <unistd.h>

Peer::Peer(PtyPair &pty)
    : pty(pty)
    , notifier(pty.master(), QSocketNotifier::Read)
{
    connect(&notifier, &QSocketNotifier::activated, this, &Peer::readMaster);
}

Peer::~Peer()
{
    if (!bad.isEmpty())
        QTest::qFail(qPrintable(QStringLiteral("RTU frames whose check bytes do not fit: ")
                                + bad.join(", ")),
                     __FILE__, __LINE__);
}

std::optional<sim::TtyLine> Peer::line() const { return sim::readTtyLine(pty.slave()); }

void Peer::readMaster()
{
    char buffer[4096];
    const ssize_t n = ::read(pty.master(), buffer, sizeof buffer);
    if (n <= 0)
        return;
    bytes.append(buffer, n);
    pending.append(buffer, n);
    split();
}

void Peer::split()
{
    for (;;) {
        qsizetype size = 0;
        if (pending.startsWith(':')) {
            const qsizetype end = pending.indexOf("\r\n");
            if (end < 0)
                return;
            size = end + 2;
        } else if (pending.size() >= 8) {
            size = 8;
            const QByteArray frame = pending.first(8);
            const quint16 crc = referenceCrc16(frame.first(6));
            if (static_cast<quint8>(frame[6]) != (crc & 0xFF)
                || static_cast<quint8>(frame[7]) != crc >> 8)
                bad << QString::fromLatin1(frame.toHex(' ').toUpper());
        } else {
            return;
        }
        const QByteArray frame = pending.first(size);
        pending.remove(0, size);
        complete << frame;
        const QByteArray reply = respond ? respond(frame) : QByteArray();
        if (!reply.isEmpty()
            && ::write(pty.master(), reply.constData(), reply.size()) == reply.size())
            written += reply;
    }
}

bool Peer::waitForFrames(qsizetype count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return complete.size() >= count; }, timeoutMs);
}

void Peer::hangUp()
{
    notifier.setEnabled(false);
    pty.closeMaster();
}

bool Peer::answer(const QByteArray &reply, int pieces, int pauseMs)
{
    pieces = qBound(1, pieces, int(qMax<qsizetype>(1, reply.size())));
    const qsizetype step = (reply.size() + pieces - 1) / pieces;
    QByteArrayList cut;
    for (qsizetype at = 0; at < reply.size(); at += step)
        cut << reply.mid(at, step);
    return answer(cut, pauseMs);
}

bool Peer::answer(const QByteArrayList &pieces, int pauseMs)
{
    for (const QByteArray &piece : pieces) {
        if (::write(pty.master(), piece.constData(), piece.size()) != piece.size())
            return false;
        written += piece;
        // The kernel hands written bytes to the tool's side a moment later;
        // wait for them there (the tool cannot read them meanwhile), then
        // let the tool take them.
        pollfd arrived{pty.slave(), POLLIN, 0};
        if (::poll(&arrived, 1, 5000) != 1)
            return false;
        if (!QTest::qWaitFor([&] { return pty.unread() == 0; }, 5000))
            return false;
        if (pauseMs > 0)
            QTest::qWait(pauseMs);
    }
    return true;
}
