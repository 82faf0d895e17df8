#pragma once

// Shared by the libFuzzer targets: each checks its invariants and reports a
// broken one as a crash, which libFuzzer keeps as a finding.

#include <QByteArrayView>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// Reads a fuzz input front to back; past its end every read gives nothing.
class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size)
        : bytes(reinterpret_cast<const char *>(data), qsizetype(size))
    {
    }

    bool atEnd() const { return bytes.isEmpty(); }
    quint8 byte()
    {
        if (bytes.isEmpty())
            return 0;
        const quint8 b = static_cast<quint8>(bytes.front());
        bytes = bytes.sliced(1);
        return b;
    }
    QByteArrayView take(qsizetype count)
    {
        const QByteArrayView piece = bytes.first(qMin(count, bytes.size()));
        bytes = bytes.sliced(piece.size());
        return piece;
    }
    QByteArrayView rest() { return take(bytes.size()); }

private:
    QByteArrayView bytes;
};
