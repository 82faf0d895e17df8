#include "measure/answer.h"

#include "modbus/checksum.h"

namespace measure {

namespace {

constexpr quint8 ReadHolding = 0x03;
constexpr quint8 WriteSingle = 0x06;
constexpr qsizetype ExceptionLength = 5;   // address, function | 80, code, CRC
constexpr qsizetype ReadOverhead = 5;      // address, 03, byte count, CRC; the data between
constexpr qsizetype EchoLength = 8;        // the request again: address, 06, register, value, CRC
constexpr qsizetype ShortestAnswer = 7;    // a read answer of one register

quint8 byteAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<quint8>(bytes[i]);
}

} // namespace

int readValue(QByteArrayView answer)
{
    return static_cast<quint8>(answer[3]) << 8 | static_cast<quint8>(answer[4]);
}

QString valueText(int raw, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(raw / 1000.0, 'g', QLocale::FloatingPointShortest);
}

bool startsWithException(QByteArrayView bytes)
{
    return bytes.size() >= ExceptionLength && (byteAt(bytes, 1) & 0x80)
           && modbus::crcFits(bytes.first(ExceptionLength));
}

qsizetype blockLength(QByteArrayView waiting)
{
    if (startsWithException(waiting))
        return ExceptionLength;
    qsizetype length = 0; // not told by the header
    if (waiting.size() >= 2 && byteAt(waiting, 1) == WriteSingle)
        length = EchoLength;
    else if (waiting.size() >= 3 && byteAt(waiting, 1) == ReadHolding)
        length = ReadOverhead + byteAt(waiting, 2);
    if (length == 0)
        return waiting.size() >= ShortestAnswer ? waiting.size() : 0;
    return waiting.size() >= length ? length : 0;
}

Effect effectOf(QByteArrayView block, qint16 pendingRequest)
{
    Effect effect;
    if (block.size() < 2)
        return effect;
    if (byteAt(block, 1) == ReadHolding && block.size() >= ShortestAnswer) {
        effect.value = readValue(block);
        if (pendingRequest >= 0 && pendingRequest <= 7)
            effect.box = pendingRequest;
    } else if (byteAt(block, 1) == WriteSingle) {
        effect.followSettings = pendingRequest == 8 || pendingRequest == 9;
    }
    return effect;
}

} // namespace measure
