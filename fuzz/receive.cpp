// The receive path: a byte stream cut into reads, taken, logged, shown and
// noted by the same decisions as MSComm1_OnComm. Input: PendingRequest, the
// log line width, the request sent (device, function, register, value), then
// reads, each a byte and as many bytes as its low 7 bits say; its high bit
// says the line falls quiet after the read.
#include "fuzz/fuzz.h"
#include "measure/answer.h"
#include "measure/channels.h"
#include "measure/notes.h"
#include "modbus/checksum.h"
#include "modbus/hextext.h"
#include "modbus/logline.h"

#include <QLocale>
#include <QRegularExpression>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const qint16 pending = static_cast<qint8>(input.byte());
    // Room for the time, the word and at least one byte.
    const qsizetype maxChars = 33 + input.byte() * 4;
    const QByteArray request = modbus::withCrc(input.take(6).toByteArray().leftJustified(6, 0));
    const measure::Awaited asked = measure::awaitedBy(request, pending);
    // A request unanswered is said so, in one line that begins with the likeliest causes.
    const QString silence = "no answer from device " + modbus::hexText(quint8(request[0]), 2)
                            + ": check the device ID, the baud rate and the wiring";
    for (const QString &note :
         {measure::noAnswerNote(asked), measure::crossedNote(asked, asked, 300)}) {
        checkNote(note);
        FUZZ_CHECK(note.startsWith(silence));
    }

    QByteArray fed, waiting, log;
    while (!input.atEnd()) {
        const quint8 head = input.byte();
        const bool quiet = head & 0x80;
        const QByteArrayView read = input.take(head & 0x7F);
        fed += read;
        waiting += read;
        while (const qsizetype length = measure::blockLength(waiting, quiet)) {
            FUZZ_CHECK(length > 0 && length <= waiting.size());
            const QByteArray block = waiting.first(length);
            waiting.remove(0, length);
            log += logged(block, maxChars);

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

            // No note on a sound answer, nor on bytes that answer nothing; every
            // other answer, an exception above all, gets one.
            const QString note = measure::answerNote(block, asked);
            checkNote(note);
            if (!measure::isAnswer(block))
                FUZZ_CHECK(note.isEmpty() && !effect.value && !(function & 0x80 && length >= 3));
            else
                FUZZ_CHECK(note.isEmpty() == wellFormed(block, request));
            if (wellFormed(block, request))
                FUZZ_CHECK(measure::isAnswer(block));
        }
        // No byte waits past the quiet, nor once its frame is complete.
        const quint8 function = waiting.size() > 1 ? quint8(waiting[1]) : 0;
        FUZZ_CHECK(quiet ? waiting.isEmpty() : waiting.size() < (function == 0x06 ? 8 : 7));
    }
    // What still waits is logged before the next request goes out.
    if (!waiting.isEmpty())
        log += logged(waiting, maxChars);
    FUZZ_CHECK(log == fed);
    return 0;
}
