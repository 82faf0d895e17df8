// The receive path: a byte stream cut into reads, taken, logged, shown and
// noted by the same decisions as MSComm1_OnComm, and the line's step over a
// run of requests. Input: PendingRequest, the log line width, a byte of flags
// (bit 0: the adapter may echo the request; the other bits: how many requests
// the step model sees), the request sent (device, function, register, value),
// for each of those requests two bytes (how long after the last it is sent,
// and how long the module takes to answer it, both in 20 ms), then reads, each
// a byte and as many bytes as its low 7 bits say; its high bit says the line
// falls quiet after the read.
#include "fuzz/fuzz.h"
#include "measure/answer.h"
#include "measure/channels.h"
#include "measure/notes.h"
#include "measure/step.h"
#include "modbus/checksum.h"
#include "modbus/hextext.h"
#include "modbus/logline.h"

#include <QLocale>
#include <QRegularExpression>

#include <map>

namespace {

const QString stamp = QStringLiteral("2024/03/02 07:04:09");

// Logs a block as the window does and gives back the bytes its lines show.
QByteArray logged(QByteArrayView block, qsizetype maxChars)
{
    const QString head = stamp + QStringLiteral(" receive ");
    QByteArray bytes;
    for (const QString &line : modbus::logLines(stamp, u"receive", block, maxChars)) {
        FUZZ_CHECK(line.size() <= maxChars && line.startsWith(head)
                   && line.endsWith(QStringLiteral("\r\n")));
        const QString hex = line.sliced(head.size(), line.size() - head.size() - 2);
        FUZZ_CHECK(hex.size() % 3 == 0 && hex == hex.toUpper());
        for (qsizetype i = 0; i < hex.size(); i += 3) {
            FUZZ_CHECK(hex[i] == u' ' && modbus::isHexDigits(hex.sliced(i + 1, 2), 2));
            bytes += char(modbus::hexByte(hex.sliced(i + 1, 2)));
        }
    }
    return bytes;
}

// A display box shows a value as volts or milliamperes: raw / 1000.
void checkShown(int value)
{
    static const QRegularExpression plain(QStringLiteral("^\\d{1,2}(\\.\\d{1,3})?$"));
    static const QRegularExpression german(QStringLiteral("^\\d{1,2}(,\\d{1,3})?$"));
    static const QLocale germany(QLocale::German, QLocale::Germany);
    const QString c = measure::valueText(value, QLocale::c());
    FUZZ_CHECK(plain.match(c).hasMatch() && qRound(c.toDouble() * 1000) == value);
    FUZZ_CHECK(german.match(measure::valueText(value, germany)).hasMatch());
}

// A note is one line of words, to go above the line it concerns.
void checkNote(const QString &note) { FUZZ_CHECK(!note.contains(u'\r') && !note.contains(u'\n')); }

// The answer a sound module gives the request: for a read, from its device,
// one register's two bytes with their check; for a write, the request again.
bool wellFormed(QByteArrayView block, const QByteArray &request)
{
    if (request[1] == 0x06)
        return block == request;
    return request[1] == 0x03 && block.size() == 7 && block[0] == request[0] && block[1] == 0x03
           && block[2] == 0x02 && modbus::crcFits(block);
}

// A module that answers every request, in order, each a while after it came:
// an answer said to answer an earlier request must do so.
void checkStep(FuzzInput &input, int requests, const measure::Awaited &asked)
{
    std::multimap<qint64, int> answers; // when each request's answer comes
    qint64 now = 0, lastAnswer = 0;
    int latest = -1;
    measure::Step step;
    for (int i = 0; i < requests; ++i) {
        const qint64 sendAt = now + input.byte() * 20;
        // Answers due before this request is sent come first.
        for (auto due = answers.begin(); due != answers.end() && due->first < sendAt;
             due = answers.erase(due)) {
            const auto earlier = step.answered(due->first);
            FUZZ_CHECK(!earlier || due->second < latest);
        }
        now = sendAt;
        step.sent(asked, now);
        latest = i;
        lastAnswer = qMax(lastAnswer, now + input.byte() * 20);
        answers.emplace(lastAnswer, i);
    }
    for (const auto &[at, answered] : answers)
        FUZZ_CHECK(!step.answered(at) || answered < latest);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const qint16 pending = static_cast<qint8>(input.byte());
    // Room for the time, the word and at least one byte.
    const qsizetype maxChars = 33 + input.byte() * 4;
    const quint8 flags = input.byte();
    const QByteArray request = modbus::withCrc(input.take(6).toByteArray().leftJustified(6, 0));
    const measure::Awaited asked = measure::awaitedBy(request, pending);
    // A request unanswered is said so, in one line that names it first.
    for (const QString &note :
         {measure::noAnswerNote(asked), measure::noAnswerNote(asked, {true, quint8(0x05)}),
          measure::crossedNote(asked, asked, 300)}) {
        checkNote(note);
        FUZZ_CHECK(note.startsWith(measure::requestName(asked)));
    }
    checkStep(input, flags >> 1, asked);

    QByteArray fed, waiting, log;
    // The request's own bytes, while an adapter's echo of them may come first.
    QByteArray echo = flags & 1 ? request : QByteArray();
    // Whether the start of an answer to the request follows stray bytes, not yet whole.
    const auto answerStarts = [&](QByteArrayView bytes) {
        for (qsizetype at = 1; at + 1 < bytes.size(); ++at)
            if (bytes[at] == request[0] && (quint8(bytes[at + 1]) & 0x7F) == quint8(request[1]))
                return true;
        return false;
    };
    while (!input.atEnd()) {
        const quint8 head = input.byte();
        const bool quiet = head & 0x80;
        const QByteArrayView read = input.take(head & 0x7F);
        fed += read;
        waiting += read;
        while (const qsizetype length = measure::blockLength(waiting, quiet, {echo, &asked})) {
            FUZZ_CHECK(length > 0 && length <= waiting.size());
            // The echo, once whole, is a block of its own and never decoded.
            if (!echo.isEmpty() && waiting.startsWith(echo))
                FUZZ_CHECK(length == echo.size());
            const QByteArray block = waiting.first(length);
            waiting.remove(0, length);
            log += logged(block, maxChars);
            if (!echo.isEmpty() && block == echo) {
                echo.clear();
                continue;
            }

            const quint8 function = block.size() > 1 ? quint8(block[1]) : 0;
            // An answer to the tool's own requests is as long as the tool
            // knows it to be, whatever its byte count claims; shorter only
            // when the line fell quiet before it was whole.
            if (function == 0x03)
                FUZZ_CHECK(block.size() == 7 || (quiet && block.size() < 7));
            if (function == 0x06)
                FUZZ_CHECK(block.size() == 8 || (quiet && block.size() < 8));

            const measure::Effect effect = measure::effectOf(block, pending);
            if (function & 0x80)
                FUZZ_CHECK(!effect.value && effect.box < 0 && !effect.followSettings);
            if (effect.value) {
                FUZZ_CHECK(function == 0x03 && block.size() >= 7);
                FUZZ_CHECK(*effect.value == (quint8(block[3]) << 8 | quint8(block[4])));
                checkShown(*effect.value);
            }
            // The box of the channel whose read was asked for, if any.
            int row = -1;
            for (qsizetype i = 0; i < measure::ChannelCount; ++i)
                if (measure::Channels[i].code == pending)
                    row = int(i);
            FUZZ_CHECK(effect.box == (effect.value ? row : -1));
            FUZZ_CHECK(effect.followSettings
                       == (function == 0x06
                           && (pending == modbus::IdBaudEcho || pending == modbus::FormatEcho)));

            // No note on a sound answer; every other answer, an exception above
            // all, gets one. Noise is never named an exception: only a block
            // that could answer the request is.
            const bool answer = measure::isAnswer(block, asked, effect.followSettings);
            if (effect.value)
                FUZZ_CHECK(answer);
            if (!answer) {
                const QString noise = measure::noiseNote({}, QStringLiteral("38400,n,8,1"));
                checkNote(noise);
                FUZZ_CHECK(!noise.contains(QStringLiteral("exception")));
                continue;
            }
            const measure::Note note = measure::answerNote(block, asked, {});
            checkNote(note.text);
            FUZZ_CHECK(note.text.isEmpty() == wellFormed(block, request));
            FUZZ_CHECK(note.text.isEmpty() == note.doubts.isEmpty());
            if (note.text.contains(QStringLiteral(": exception ")))
                FUZZ_CHECK((function & 0x80)
                           && ((block.size() >= 5 && modbus::crcFits(block.first(5)))
                               || (block[0] == request[0] && (function & 0x7F) == request[1])));
        }
        // No byte waits past the quiet, nor once its frame is complete, but
        // for what may still become the echo or a whole answer after stray bytes.
        const quint8 function = waiting.size() > 1 ? quint8(waiting[1]) : 0;
        if (quiet)
            FUZZ_CHECK(waiting.isEmpty());
        else if (echo.isEmpty() || !echo.startsWith(waiting))
            FUZZ_CHECK(waiting.size() < (function == 0x06 ? 8 : 7) || answerStarts(waiting));
    }
    // What still waits is logged before the next request goes out.
    if (!waiting.isEmpty())
        log += logged(waiting, maxChars);
    FUZZ_CHECK(log == fed);
    return 0;
}
