// The parity-error unmarking. Input: eight bytes that say where reads end,
// then a stream. The stream is unmarked as it comes, cut into those reads,
// and, read as pairs of a byte and its fate on the line, marked as the
// driver would and unmarked again; the bytes in error are counted.
#include "fuzz/fuzz.h"
#include "serial/parity.h"

namespace {

// Unmarks the stream cut after every byte whose bit in cuts is set, adding up
// in inError the bytes each read found in error.
QByteArray unmarkInReads(QByteArrayView stream, quint64 cuts, serial::MarkState &state,
                         int &inError)
{
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < stream.size(); ++i) {
        if (cuts >> (i % 64) & 1 || i + 1 == stream.size()) {
            int found = 0;
            bytes += serial::unmarkErrors(stream.sliced(start, i + 1 - start), state, &found);
            inError += found;
            start = i + 1;
        }
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    quint64 cuts = 0;
    for (int i = 0; i < 8; ++i)
        cuts = cuts << 8 | input.byte();
    const QByteArrayView stream = input.rest();

    // However the stream is cut into reads, the bytes are the same, and never more.
    serial::MarkState whole = serial::MarkState::Plain, cut = serial::MarkState::Plain;
    int inOne = 0, inMany = 0;
    const QByteArray once = serial::unmarkErrors(stream, whole, &inOne);
    FUZZ_CHECK(unmarkInReads(stream, cuts, cut, inMany) == once && cut == whole);
    FUZZ_CHECK(inMany == inOne);
    FUZZ_CHECK(once.size() <= stream.size());

    // Bytes received, each good, in error or a break: marked and unmarked
    // again they read as the bytes, with "?" for each in error and each break.
    QByteArray marked, expected;
    int inError = 0;
    for (qsizetype i = 0; i + 1 < stream.size(); i += 2) {
        const char byte = stream[i];
        switch (quint8(stream[i + 1]) % 4) {
        case 0: // in error
            marked += QByteArrayView("\xFF\x00", 2);
            marked += byte;
            expected += serial::ParityReplace;
            ++inError;
            break;
        case 1: // a break
            marked += QByteArrayView("\xFF\x00\x00", 3);
            expected += serial::ParityReplace;
            ++inError;
            break;
        default: // good; a good FF comes doubled
            marked += byte;
            if (byte == '\xFF')
                marked += byte;
            expected += byte;
            break;
        }
    }
    serial::MarkState state = serial::MarkState::Plain;
    int counted = 0; // each byte in error and each break
    FUZZ_CHECK(unmarkInReads(marked, cuts, state, counted) == expected
               && state == serial::MarkState::Plain && counted == inError);
    return 0;
}
