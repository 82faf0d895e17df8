#include "measure/answer.h"

#include "measure/channels.h"
#include "modbus/checksum.h"
#include "modbus/protocol.h"

namespace measure {

namespace {

quint8 byteAt(QByteArrayView bytes, qsizetype i) { return static_cast<quint8>(bytes[i]); }

// Bytes that start no answer of known length: all of them, unless the start of
// an answer from the device asked, with the function asked, follows; then up
// to the end of that answer, once it is whole.
qsizetype strayBlockLength(QByteArrayView waiting, bool quiet, const Awaited *asked)
{
    if (!asked)
        return waiting.size();
    for (qsizetype at = 1; at + 2 <= waiting.size(); ++at) {
        const quint8 function = byteAt(waiting, at + 1);
        if (byteAt(waiting, at) != asked->device
            || (function & ~modbus::ExceptionFlag) != asked->function)
            continue;
        const qsizetype whole
            = at
              + (function & modbus::ExceptionFlag           ? modbus::ExceptionAnswerLength
                 : function == modbus::ReadHoldingRegisters ? modbus::OneRegisterAnswerLength
                                                            : modbus::WriteEchoLength);
        if (waiting.size() < whole)
            return quiet ? waiting.size() : 0;
        if (modbus::crcFits(waiting.sliced(at, whole - at)))
            return whole;
    }
    return waiting.size();
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
    return bytes.size() >= modbus::ExceptionAnswerLength
           && (byteAt(bytes, 1) & modbus::ExceptionFlag)
           && modbus::crcFits(bytes.first(modbus::ExceptionAnswerLength));
}

qsizetype blockLength(QByteArrayView waiting, bool quiet, const Expected &expected)
{
    const QByteArrayView echo = expected.echo;
    if (!echo.isEmpty() && waiting.startsWith(echo))
        return echo.size();
    if (!echo.isEmpty() && !waiting.isEmpty() && echo.startsWith(waiting))
        return quiet ? waiting.size() : 0;
    if (startsWithException(waiting))
        return modbus::ExceptionAnswerLength;
    qsizetype length = 0; // not a frame of known length
    if (waiting.size() >= 2 && byteAt(waiting, 1) == modbus::WriteSingleRegister)
        length = modbus::WriteEchoLength;
    else if (waiting.size() >= 2 && byteAt(waiting, 1) == modbus::ReadHoldingRegisters)
        length = modbus::OneRegisterAnswerLength;
    if (waiting.size() >= qMax(length, modbus::OneRegisterAnswerLength))
        return length ? length : strayBlockLength(waiting, quiet, expected.asked);
    return quiet ? waiting.size() : 0;
}

Effect effectOf(QByteArrayView block, qint16 pendingRequest)
{
    Effect effect;
    if (block.size() < 2)
        return effect;
    const quint8 function = byteAt(block, 1);
    if (function == modbus::ReadHoldingRegisters
        && block.size() >= modbus::OneRegisterAnswerLength) {
        effect.value = readValue(block);
        effect.box = channelOfCode(pendingRequest);
    } else if (function == modbus::WriteSingleRegister) {
        effect.followSettings
            = pendingRequest == modbus::IdBaudEcho || pendingRequest == modbus::FormatEcho;
    }
    return effect;
}

} // namespace measure
