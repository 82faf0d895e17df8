#include "serial/parity.h"

namespace serial {

QByteArray unmarkErrors(QByteArrayView marked, MarkState &state)
{
    constexpr char Escape = '\xFF';
    QByteArray bytes;
    bytes.reserve(marked.size());
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
            break;
        }
    }
    return bytes;
}

} // namespace serial
