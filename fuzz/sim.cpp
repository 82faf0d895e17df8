// The simulator's frame splitter and register model. Input: the module's
// device ID and options, then reads, each a length byte and that many bytes.
#include "fuzz/fuzz.h"
#include "modbus/checksum.h"
#include "modbus/protocol.h"
#include "sim/model.h"

namespace {

quint8 at(QByteArrayView bytes, qsizetype i) { return static_cast<quint8>(bytes[i]); }

// Settings a module can hold: any it takes must be one it can be set to.
bool valid(const sim::Settings &s)
{
    return s.deviceId >= 1 && s.deviceId <= 0xF7 && modbus::baudCode(s.line.baud) != 0
           && s.line.dataBits >= 5 && s.line.dataBits <= 8
           && QByteArrayView("neo").contains(s.line.parity)
           && (s.line.stopBits == 1 || s.line.stopBits == 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    sim::ModuleOptions options;
    options.settings.deviceId = static_cast<quint8>(1 + input.byte() % 0xF7);
    const quint8 flags = input.byte();
    options.loopBack = flags & 1;
    options.vary = flags & 2;
    options.exceptionEvery = flags >> 2 & 3;
    sim::Module module(options);

    QByteArray stream;
    qint64 elapsedMs = 0;
    int answered = 0;
    while (!input.atEnd()) {
        stream += input.take(input.byte());
        elapsedMs += 137;
        for (const QByteArray &request : sim::takeFrames(stream)) {
            FUZZ_CHECK(request.size() == 8 && modbus::crcFits(request));
            const quint8 id = module.settings().deviceId;
            const QByteArray answer = module.answer(request, elapsedMs);
            if (answer.isEmpty())
                continue;
            // Every answer is the module's own, well formed, with a fitting CRC.
            FUZZ_CHECK(modbus::crcFits(answer) && at(answer, 0) == id && at(request, 0) == id);
            const quint8 function = at(answer, 1);
            // Modbus keeps function codes with the high bit set for exception
            // answers; sent as a request, such a code is an illegal function.
            // Refused on demand: every Nth answer is exception 4, whatever it asks.
            const bool failed = options.exceptionEvery && ++answered % options.exceptionEvery == 0;
            FUZZ_CHECK(failed == ((function & 0x80) && at(answer, 2) == 4));
            if (at(request, 1) & 0x80)
                FUZZ_CHECK(function == at(request, 1) && (at(answer, 2) == 1 || failed));
            else
                FUZZ_CHECK((function & 0x7F) == at(request, 1));
            if (function & 0x80)
                FUZZ_CHECK(answer.size() == 5 && at(answer, 2) >= 1
                           && (at(answer, 2) <= 3 || failed) && !module.pendingSettings());
            else if (function == 0x03)
                FUZZ_CHECK(answer.size() == 5 + at(answer, 2)
                           && at(answer, 2) == 2 * (at(request, 4) << 8 | at(request, 5)));
            else
                FUZZ_CHECK(function == 0x06 && answer == request);
            // As on the line: a settings write takes effect after its echo.
            if (module.pendingSettings()) {
                FUZZ_CHECK(valid(*module.pendingSettings()));
                module.applyPendingSettings();
            }
            FUZZ_CHECK(valid(module.settings()));
        }
        FUZZ_CHECK(stream.size() < 8);
    }
    return 0;
}
