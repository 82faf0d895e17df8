#include "serial/parity.h"

namespace serial {

LineErrors &LineErrors::operator+=(const LineErrors &more)
{
    parity += more.parity;
    framing += more.framing;
    breaks += more.breaks;
    overruns += more.overruns;
    bufferFull += more.bufferFull;
    marked += more.marked;
    counted = counted && more.counted;
    return *this;
}

QByteArray unmarkErrors(QByteArrayView marked, MarkState &state, int *inError)
{
    constexpr char Escape = '\xFF';
    QByteArray bytes;
    bytes.reserve(marked.size());
    int replaced = 0;
    for (char c : marked) {
        switch (state) {
        case MarkState::Plain:
            if (c == Escape)
                state = MarkState::AfterFF;
            else
                bytes += c;
            break;
        case MarkState::AfterFF:
            state = MarkState::Plain;
            if (c == '\0') {
                state = MarkState::AfterFF00;
            } else if (c == Escape) {
                bytes += Escape;
            } else {
                // Not a mark the driver makes: keep both bytes rather than lose one.
                bytes += Escape;
                bytes += c;
            }
            break;
        case MarkState::AfterFF00:
            state = MarkState::Plain;
            bytes += ParityReplace;
            ++replaced;
            break;
        }
    }
    if (inError)
        *inError = replaced;
    return bytes;
}

} // namespace serial
