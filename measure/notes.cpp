#include "measure/notes.h"

#include "measure/channels.h"
#include "modbus/checksum.h"
#include "modbus/hextext.h"
#include "modbus/protocol.h"

#include <QStringList>

namespace measure {

namespace {

quint8 byteAt(QByteArrayView bytes, qsizetype i) { return static_cast<quint8>(bytes[i]); }

quint16 wordAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<quint16>(byteAt(bytes, i) << 8 | byteAt(bytes, i + 1));
}

QString hex2(uint value) { return modbus::hexText(value, 2); }
QString hex4(uint value) { return modbus::hexText(value, 4); }

// The answers the tool decodes, and the length of each when whole.
enum class Kind { None, Read, Echo, Exception };

Kind kindOf(QByteArrayView block)
{
    if (block.size() < 2)
        return Kind::None;
    const quint8 function = byteAt(block, 1);
    if (function & modbus::ExceptionFlag) // with its code, at least
        return block.size() >= 3 ? Kind::Exception : Kind::None;
    if (function == modbus::ReadHoldingRegisters)
        return block.size() >= modbus::OneRegisterAnswerLength ? Kind::Read : Kind::None;
    // An echo short of bytes is still taken for one, as effectOf does.
    return function == modbus::WriteSingleRegister ? Kind::Echo : Kind::None;
}

qsizetype wholeLength(Kind kind)
{
    switch (kind) {
    case Kind::Read: return modbus::OneRegisterAnswerLength;
    case Kind::Echo: return modbus::WriteEchoLength;
    default: return modbus::ExceptionAnswerLength;
    }
}

QString functionText(quint8 function)
{
    switch (function) {
    case modbus::ReadHoldingRegisters: return QStringLiteral("a read");
    case modbus::WriteSingleRegister: return QStringLiteral("a write");
    default: return QStringLiteral("function ") + hex2(function);
    }
}

QString registerName(quint16 reg)
{
    switch (reg) {
    case modbus::IdBaudRegister: return QStringLiteral(" (device ID and baud rate)");
    case modbus::FormatRegister: return QStringLiteral(" (character format)");
    case modbus::Vo1Register: return QStringLiteral(" (VO1)");
    case modbus::Vo2Register: return QStringLiteral(" (VO2)");
    default: return {};
    }
}

// "the read of V1 (register 0004)", "the write of 05DC to register 0014 (VO1)".
QString requestText(const Awaited &r)
{
    switch (r.function) {
    case modbus::ReadHoldingRegisters:
        return r.channel < 0 ? QStringLiteral("the read of register ") + hex4(r.reg)
                             : QStringLiteral("the read of %1 (register %2)")
                                   .arg(QLatin1String(Channels[r.channel].caption), hex4(r.reg));
    case modbus::WriteSingleRegister:
        return QStringLiteral("the write of %1 to register %2").arg(hex4(r.value), hex4(r.reg))
               + registerName(r.reg);
    default:
        return QStringLiteral("the request of function %1 for register %2")
            .arg(hex2(r.function), hex4(r.reg));
    }
}

// 1000 gives "1", 340 "0.3".
QString seconds(int ms) { return QString::number(qRound(ms / 100.0) / 10.0); }

// The meaning of an exception code under the Modbus application protocol.
QString exceptionMeaning(quint8 code)
{
    switch (code) {
    case 0x01: return QStringLiteral("illegal function");
    case 0x02: return QStringLiteral("illegal data address");
    case 0x03: return QStringLiteral("illegal data value");
    case 0x04: return QStringLiteral("server device failure");
    case 0x05: return QStringLiteral("acknowledge");
    case 0x06: return QStringLiteral("server device busy");
    case 0x08: return QStringLiteral("memory parity error");
    case 0x0A: return QStringLiteral("gateway path unavailable");
    case 0x0B: return QStringLiteral("gateway target device failed to respond");
    default: return QStringLiteral("unknown exception code");
    }
}

// The wait's note begins with the likeliest causes of silence.
QString unanswered(const Awaited &asked)
{
    return QStringLiteral("no answer from device %1: check the device ID, the baud rate and the "
                          "wiring")
        .arg(hex2(asked.device));
}

} // namespace

Awaited awaitedBy(QByteArrayView request, qint16 pendingRequest)
{
    Awaited awaited;
    if (request.size() < modbus::RequestLength)
        return awaited;
    awaited.device = byteAt(request, 0);
    awaited.function = byteAt(request, 1);
    awaited.reg = wordAt(request, 2);
    awaited.value = wordAt(request, 4);
    if (awaited.function == modbus::ReadHoldingRegisters)
        awaited.channel = channelOfCode(pendingRequest);
    return awaited;
}

bool isAnswer(QByteArrayView block) { return kindOf(block) != Kind::None; }

QString answerNote(QByteArrayView block, const Awaited &asked)
{
    const Kind kind = kindOf(block);
    if (kind == Kind::None)
        return {};
    QStringList reasons;
    const qsizetype whole = wholeLength(kind);
    if (block.size() < whole) {
        reasons << QStringLiteral("only %1 of its %2 bytes came").arg(block.size()).arg(whole);
    } else if (!modbus::crcFits(block.first(whole))) {
        const QByteArray fitting = modbus::withCrc(block.first(whole - 2).toByteArray());
        reasons << QStringLiteral("its check bytes do not fit (they should be %1)")
                       .arg(QString::fromLatin1(fitting.right(2).toHex(' ').toUpper()));
    }
    if (byteAt(block, 0) != asked.device)
        reasons << QStringLiteral("it comes from device %1, not %2")
                       .arg(hex2(byteAt(block, 0)), hex2(asked.device));
    const auto function = static_cast<quint8>(byteAt(block, 1) & ~modbus::ExceptionFlag);
    constexpr int OneRegisterCount = 2 * modbus::ChannelReadCount;
    if (function != asked.function) {
        reasons << QStringLiteral("it answers %1, not %2")
                       .arg(functionText(function), functionText(asked.function));
    } else if (kind == Kind::Read && byteAt(block, 2) != OneRegisterCount) {
        reasons << QStringLiteral("its byte count is %1, not %2")
                       .arg(hex2(byteAt(block, 2)), hex2(OneRegisterCount));
    } else if (kind == Kind::Echo && block.size() >= 6) {
        if (wordAt(block, 2) != asked.reg)
            reasons << QStringLiteral("it echoes register %1, not %2")
                           .arg(hex4(wordAt(block, 2)), hex4(asked.reg));
        if (wordAt(block, 4) != asked.value)
            reasons << QStringLiteral("it echoes the value %1, not %2")
                           .arg(hex4(wordAt(block, 4)), hex4(asked.value));
    }

    const QString answer = QStringLiteral("the answer to ") + requestText(asked);
    const QString why = reasons.join(QStringLiteral("; "));
    if (kind == Kind::Exception)
        return answer
               + QStringLiteral(" is exception %1 (%2)")
                     .arg(hex2(byteAt(block, 2)), exceptionMeaning(byteAt(block, 2)))
               + (why.isEmpty() ? QString() : QStringLiteral(", and may be wrong: ") + why);
    return why.isEmpty() ? QString() : answer + QStringLiteral(" may be wrong: ") + why;
}

QString noAnswerNote(const Awaited &asked)
{
    return unanswered(asked)
           + QStringLiteral("; %1 waited %2 s, and an answer that comes later is still taken "
                            "for the request awaited then")
                 .arg(requestText(asked), seconds(AnswerWaitMs));
}

QString crossedNote(const Awaited &asked, const Awaited &next, int waitedMs)
{
    return unanswered(asked)
           + QStringLiteral(", or wait longer; %1 waited %2 s, and the next answer is taken for "
                            "%3, sent now, whichever request it answers")
                 .arg(requestText(asked), seconds(waitedMs), requestText(next));
}

QString lineErrorNote(const serial::LineErrors &errors)
{
    if (!errors.any())
        return {};
    QStringList found;
    // Windows flags a kind without a count: its plural stands for "one or more".
    const auto count = [&](int n, const QString &one, const QString &many) {
        if (n > 0)
            found << (!errors.counted ? many
                      : n == 1        ? QStringLiteral("1 ") + one
                                      : QString::number(n) + u' ' + many);
    };
    count(errors.parity, QStringLiteral("parity error"), QStringLiteral("parity errors"));
    count(errors.framing, QStringLiteral("framing error"), QStringLiteral("framing errors"));
    count(errors.breaks, QStringLiteral("break"), QStringLiteral("breaks"));
    count(errors.overruns, QStringLiteral("overrun (bytes lost in the port)"),
          QStringLiteral("overruns (bytes lost in the port)"));
    count(errors.bufferFull, QStringLiteral("byte lost to a full buffer"),
          QStringLiteral("bytes lost to a full buffer"));
    count(errors.marked, QStringLiteral("byte received in error, shown as ?"),
          QStringLiteral("bytes received in error, each shown as ?"));
    QString note
        = QStringLiteral("the port reported line errors as these bytes came")
          + (errors.counted ? QString() : QStringLiteral(" (Windows tells which, not how many)"))
          + QStringLiteral(": ") + found.join(QStringLiteral(", "));
    // Windows' driver puts the error character in place of a byte with a parity error.
    if (!errors.counted && errors.parity)
        note += QStringLiteral("; a ? among them stands for a byte received with a parity error");
    if (errors.parity || errors.framing || errors.breaks || errors.marked)
        note += QStringLiteral("; check that the baud rate and the character format match the "
                               "module's, and the wiring");
    return note;
}

} // namespace measure
