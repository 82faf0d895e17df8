#include "measure/notes.h"

#include "measure/channels.h"
#include "modbus/checksum.h"
#include "modbus/hextext.h"
#include "modbus/protocol.h"

namespace measure {

namespace {

quint8 byteAt(QByteArrayView bytes, qsizetype i) { return static_cast<quint8>(bytes[i]); }

quint16 wordAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<quint16>(byteAt(bytes, i) << 8 | byteAt(bytes, i + 1));
}

QString hex2(uint value) { return modbus::hexText(value, 2); }
QString hex4(uint value) { return modbus::hexText(value, 4); }
QString hexBytes(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

// The answers the tool decodes, and the length of each when whole.
enum class Kind { None, Read, Echo, Exception };

Kind shapeOf(QByteArrayView block)
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

bool checkFits(QByteArrayView block, Kind kind)
{
    return block.size() >= wholeLength(kind) && modbus::crcFits(block.first(wholeLength(kind)));
}

// An answer is named one only where it could be: its check bytes fit, or it
// comes from the device asked with a function that request can get.
bool couldAnswer(QByteArrayView block, Kind kind, const Awaited &asked)
{
    return checkFits(block, kind)
           || (byteAt(block, 0) == asked.device
               && (byteAt(block, 1) & ~modbus::ExceptionFlag) == asked.function);
}

QString functionText(quint8 function)
{
    switch (function) {
    case modbus::ReadHoldingRegisters: return QStringLiteral("a read");
    case modbus::WriteSingleRegister: return QStringLiteral("a write");
    default: return QStringLiteral("function ") + hex2(function);
    }
}

// The meaning of an exception code under the Modbus application protocol,
// and what to do about it.
QString exceptionText(quint8 code)
{
    switch (code) {
    case 0x01: return QStringLiteral("illegal function): the module does not take this request");
    case 0x02: return QStringLiteral("illegal data address): check the register map");
    case 0x03: return QStringLiteral("illegal data value): check the value sent");
    case 0x04: return QStringLiteral("server device failure): check the module");
    case 0x05: return QStringLiteral("acknowledge): the module is still at it, ask later");
    case 0x06: return QStringLiteral("server device busy): ask again later");
    case 0x08: return QStringLiteral("memory parity error): check the module");
    case 0x0A: return QStringLiteral("gateway path unavailable): check the gateway");
    case 0x0B: return QStringLiteral("gateway target did not respond): check the target");
    default: return QStringLiteral("unknown exception code): see the module's manual");
    }
}

// 1000 gives "1", 340 "0.3".
QString seconds(int ms) { return QString::number(qRound(ms / 100.0) / 10.0); }

// The module's codes in its settings registers (the Device Configure lists' items).
QString parityName(int code)
{
    switch (code) {
    case 0: return QStringLiteral("n");
    case 2: return QStringLiteral("e");
    case 3: return QStringLiteral("o");
    default: return QStringLiteral("code %1").arg(code);
    }
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

QString requestName(const Awaited &r)
{
    switch (r.function) {
    case modbus::ReadHoldingRegisters:
        return r.channel < 0 ? QStringLiteral("the read of ") + hex4(r.reg)
                             : QString::fromLatin1(Channels[r.channel].caption);
    case modbus::WriteSingleRegister:
        switch (r.reg) {
        case modbus::IdBaudRegister: return QStringLiteral("Setup Baudrate");
        case modbus::FormatRegister: return QStringLiteral("Setup Configure");
        case modbus::Vo1Register: return QStringLiteral("Setup VO1");
        case modbus::Vo2Register: return QStringLiteral("Setup VO2");
        default: return QStringLiteral("the write to ") + hex4(r.reg);
        }
    default: return QStringLiteral("the function %1 request").arg(hex2(r.function));
    }
}

QString settingsWritten(const Awaited &r)
{
    if (r.function != modbus::WriteSingleRegister)
        return {};
    const int high = r.value >> 8, low = r.value & 0xFF;
    if (r.reg == modbus::IdBaudRegister) {
        const int rate = modbus::baudRate(low);
        return QStringLiteral("ID %1, %2")
            .arg(hex2(high), rate ? QStringLiteral("%1 baud").arg(rate)
                                  : QStringLiteral("baud-rate code %1").arg(low));
    }
    if (r.reg == modbus::FormatRegister) {
        // Parity × 16, then the length code (5 to 8 bits: 0, 2, 4, 6) plus the stop code (8: two).
        const int length = 5 + (high & 0x07) / 2, stop = high & 0x08 ? 2 : 1;
        return QStringLiteral("%1 data bits, parity %2, %3 stop bit%4")
            .arg(length)
            .arg(parityName(high >> 4))
            .arg(stop)
            .arg(stop == 1 ? QString() : QStringLiteral("s"));
    }
    return {};
}

bool isAnswer(QByteArrayView block, const Awaited &asked, bool followed)
{
    const Kind kind = shapeOf(block);
    return kind == Kind::Read || followed
           || (kind != Kind::None && couldAnswer(block, kind, asked));
}

std::optional<qsizetype> answerAfterStray(QByteArrayView block, const Awaited &asked)
{
    for (qsizetype at = 1; at + 2 <= block.size(); ++at) {
        const QByteArrayView rest = block.sliced(at);
        const Kind kind = shapeOf(rest);
        if (kind == Kind::None || byteAt(rest, 0) != asked.device
            || (byteAt(rest, 1) & ~modbus::ExceptionFlag) != asked.function)
            continue;
        if (checkFits(rest, kind))
            return at;
    }
    return std::nullopt;
}

Note answerNote(QByteArrayView block, const Awaited &asked, const AnswerFacts &facts)
{
    const Kind kind = shapeOf(block);
    Note note;
    QStringList reasons;
    const auto doubt = [&](const QString &words, const QString &brief) {
        reasons << words;
        note.doubts << brief;
    };
    // Out of step first: it makes the value another request's, whatever else holds.
    if (facts.earlier) {
        const QString earlier = requestName(*facts.earlier);
        doubt(QStringLiteral("it may be %1's answer: wait for each answer before the next "
                             "request; %1 was still owed one%2")
                  .arg(earlier, facts.earlierBeforeReconnect
                                    ? QStringLiteral(", sent before the reconnect")
                                    : QString()),
              QStringLiteral("may be %1's answer").arg(earlier));
    }
    if (const QString errors = lineErrorText(facts.errors); !errors.isEmpty())
        doubt(errors, QStringLiteral("line errors"));
    const qsizetype whole = wholeLength(kind);
    if (block.size() < whole) {
        doubt(QStringLiteral("only %1 of its %2 bytes came").arg(block.size()).arg(whole),
              QStringLiteral("bytes missing"));
    } else if (!modbus::crcFits(block.first(whole))) {
        const QByteArray fitting = modbus::withCrc(block.first(whole - 2).toByteArray());
        doubt(QStringLiteral("check bytes should be %1: check termination, format and noise")
                  .arg(hexBytes(fitting.right(2))),
              QStringLiteral("check bytes do not fit"));
    }
    if (byteAt(block, 0) != asked.device)
        doubt(QStringLiteral("it comes from device %1, not %2: check the Device ID")
                  .arg(hex2(byteAt(block, 0)), hex2(asked.device)),
              QStringLiteral("from device %1").arg(hex2(byteAt(block, 0))));
    const auto function = static_cast<quint8>(byteAt(block, 1) & ~modbus::ExceptionFlag);
    constexpr int OneRegisterCount = 2 * modbus::ChannelReadCount;
    if (function != asked.function) {
        doubt(QStringLiteral("it answers %1, not %2")
                  .arg(functionText(function), functionText(asked.function)),
              QStringLiteral("answers %1").arg(functionText(function)));
    } else if (kind == Kind::Read && byteAt(block, 2) != OneRegisterCount) {
        doubt(QStringLiteral("byte count %1, not %2: check the register map and the device")
                  .arg(hex2(byteAt(block, 2)), hex2(OneRegisterCount)),
              QStringLiteral("byte count %1").arg(hex2(byteAt(block, 2))));
    } else if (kind == Kind::Echo && block.size() >= 6) {
        if (wordAt(block, 2) != asked.reg)
            doubt(QStringLiteral("it echoes register %1, not %2")
                      .arg(hex4(wordAt(block, 2)), hex4(asked.reg)),
                  QStringLiteral("echoes register %1").arg(hex4(wordAt(block, 2))));
        if (wordAt(block, 4) != asked.value)
            doubt(QStringLiteral("it echoes the value %1, not %2")
                      .arg(hex4(wordAt(block, 4)), hex4(asked.value)),
                  QStringLiteral("echoes value %1").arg(hex4(wordAt(block, 4))));
    }
    // A read answer is shown whatever it holds, so it may be no answer at all.
    if (!couldAnswer(block, kind, asked))
        doubt(QStringLiteral("it may be noise, not an answer"), QStringLiteral("may be noise"));

    const QString subject = facts.shownIn.isEmpty() ? requestName(asked) : facts.shownIn;
    const QString why = reasons.join(QStringLiteral("; "));
    if (kind == Kind::Exception) {
        note.doubts.prepend(QStringLiteral("exception %1").arg(hex2(byteAt(block, 2))));
        note.text = QStringLiteral("%1: exception %2 (%3")
                        .arg(subject, hex2(byteAt(block, 2)), exceptionText(byteAt(block, 2)))
                    + (why.isEmpty() ? QString() : QStringLiteral("; and it may be wrong: ") + why);
    } else if (!why.isEmpty()) {
        note.text = subject + QStringLiteral(" may be wrong: ") + why;
    }
    return note;
}

QString noiseNote(const serial::LineErrors &errors, const QString &lineSettings)
{
    return withLineErrors(
        QStringLiteral("bytes that form no answer: check for line noise, bias and termination, "
                       "another master, or a format other than the module's (%1 in use)")
            .arg(lineSettings),
        errors);
}

QString withLineErrors(const QString &note, const serial::LineErrors &errors)
{
    const QString errorText = lineErrorText(errors);
    if (note.isEmpty() || errorText.isEmpty())
        return note + errorText;
    return note + QStringLiteral("; ") + errorText;
}

QString strayNote(const Awaited &asked, QByteArrayView stray)
{
    return QStringLiteral("%1's answer came after stray byte%2 %3, so is not shown: check the bias "
                          "and termination resistors (an unbiased line turning around)")
        .arg(requestName(asked), stray.size() == 1 ? QString() : QStringLiteral("s"),
             hexBytes(stray));
}

QString echoNote()
{
    return QStringLiteral("the adapter echoes what is sent (a two-wire RS-485 adapter without echo "
                          "suppression): its echo is logged and not taken for the answer");
}

QString noAnswerNote(const Awaited &asked, const Silence &silence)
{
    const QString name = requestName(asked), device = hex2(asked.device);
    const QString wait = seconds(AnswerWaitMs);
    QString note;
    if (const QString settings = settingsWritten(asked); !settings.isEmpty())
        note = QStringLiteral("%1: no answer in %2 s; module may now use %3, and the tool did not "
                              "follow: set the COM settings to match and reconnect (device %4 "
                              "was asked)")
                   .arg(name, wait, settings, device);
    else if (silence.idGiven && *silence.idGiven != asked.device)
        note = QStringLiteral("%1: no answer from device %2 in %3 s: set Device ID to %4, the ID "
                              "Setup Baudrate gave the module; then check the baud rate and wiring")
                   .arg(name, device, wait, hex2(*silence.idGiven));
    else if (silence.bytesCame)
        note = QStringLiteral("%1: no answer from %2 in %3 s, only bytes forming none: check baud "
                              "rate, format and wiring")
                   .arg(name, device, wait);
    else
        note = QStringLiteral("%1: no answer from device %2 in %3 s: check the Device ID, baud "
                              "rate and wiring")
                   .arg(name, device, wait);
    return note
           + QStringLiteral("; an answer that comes later is still taken for the request awaited "
                            "then");
}

QString crossedNote(const Awaited &asked, const Awaited &next, int waitedMs)
{
    return QStringLiteral("%1 sent, %2 unanswered: wait for the answer before the next request; "
                          "%2 waited %3 s, and the next answer is taken for %1, whichever it "
                          "answers")
        .arg(requestName(next), requestName(asked), seconds(waitedMs));
}

QString echoNotFollowedNote(const Awaited &write, const Awaited &awaited)
{
    return QStringLiteral("%1 echoed while %2 awaited: module now uses %3; the tool did not "
                          "follow: set the COM settings to match and reconnect")
        .arg(requestName(write), requestName(awaited), settingsWritten(write));
}

QString doubtfulValuesNote(const QList<std::pair<QString, QStringList>> &boxes)
{
    QStringList names, why;
    for (const auto &[box, doubts] : boxes)
        if (!doubts.isEmpty()) {
            names << box;
            why << box + u' ' + doubts.join(QStringLiteral(", "));
        }
    if (names.isEmpty())
        return {};
    const bool one = names.size() == 1;
    return QStringLiteral("%1 still show%2 in doubt: %3 (see %4)")
        .arg(names.join(QStringLiteral(", ")),
             one ? QStringLiteral("s a value") : QStringLiteral(" values"),
             why.join(QStringLiteral("; ")),
             one ? QStringLiteral("its tooltip") : QStringLiteral("their tooltips"));
}

QString reopenNote(const Awaited &write, const QStringList &before, const QStringList &after)
{
    static const QStringList fields{QStringLiteral("Baudrate"), QStringLiteral("Parity"),
                                    QStringLiteral("Length"), QStringLiteral("Stop")};
    QStringList expected = before;
    const int high = write.value >> 8, low = write.value & 0xFF;
    QString wrote;
    if (write.function != modbus::WriteSingleRegister) {
        return {}; // no settings write is known to have gone out
    } else if (write.reg == modbus::IdBaudRegister) {
        expected[0] = QString::number(modbus::baudRate(low));
        wrote = QStringLiteral("the ID and baud rate");
    } else if (write.reg == modbus::FormatRegister) {
        expected[1] = parityName(high >> 4);
        expected[2] = QString::number(5 + (high & 0x07) / 2);
        expected[3] = high & 0x08 ? QStringLiteral("2") : QStringLiteral("1");
        wrote = QStringLiteral("the format");
    }
    QStringList differ;
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (i < after.size() && i < expected.size() && after[i] != expected[i])
            differ << fields[i];
    if (differ.isEmpty() || wrote.isEmpty())
        return {};
    const auto line = [](const QStringList &l) { return l.join(u','); };
    return QStringLiteral("reopened at %1: check %2; the module may use %3 (%4 wrote %5, not the "
                          "rest)")
        .arg(line(after), differ.join(QStringLiteral(", ")), line(expected), requestName(write),
             wrote);
}

QString lineErrorText(const serial::LineErrors &errors)
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
    QString text = QStringLiteral("line errors as these bytes came");
    if (errors.parity || errors.framing || errors.breaks || errors.marked)
        text += QStringLiteral(": check the baud rate, format and wiring");
    text += QStringLiteral("; ") + found.join(QStringLiteral(", "));
    if (!errors.counted) {
        text += QStringLiteral(" (Windows tells which, not how many)");
        // Windows' driver puts the error character in place of a byte with a parity error.
        if (errors.parity)
            text += QStringLiteral("; a ? among them stands for a byte with a parity error");
    }
    return text;
}

QString firstWords(const QString &note) { return note.section(QStringLiteral("; "), 0, 0); }

QString spokenValue(int row, const QString &value, bool doubted)
{
    return QStringLiteral("%1 %2 %3%4")
        .arg(QLatin1String(Channels[row].caption), value, QLatin1String(Channels[row].unit),
             doubted ? QStringLiteral(", may be wrong") : QString());
}

} // namespace measure
