#include "sim/model.h"

#include "modbus/checksum.h"
#include "modbus/protocol.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

// Its own numbers, not the tool's: see model.h.
constexpr quint8 ReadHolding = 0x03;
constexpr quint8 WriteSingle = 0x06;
constexpr int RequestSize = 8;
constexpr int MaxReadCount = 125; // what one answer of 256 bytes can carry

quint8 byteAt(QByteArrayView bytes, qsizetype i) { return static_cast<quint8>(bytes[i]); }

quint16 wordAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<quint16>(byteAt(bytes, i) << 8 | byteAt(bytes, i + 1));
}

void appendWord(QByteArray &bytes, quint16 value)
{
    bytes.append(static_cast<char>(value >> 8));
    bytes.append(static_cast<char>(value & 0xFF));
}

QByteArray exceptionAnswer(quint8 id, quint8 function, Exception code)
{
    QByteArray frame;
    frame.append(static_cast<char>(id));
    frame.append(static_cast<char>(function | 0x80));
    frame.append(static_cast<char>(code));
    return modbus::withCrc(frame);
}

// A slow swing of a few percent, each channel out of phase with the others,
// so that repeated reads show a live value without jumping around.
quint16 drifted(quint16 value, int channel, qint64 elapsedMs)
{
    constexpr double PeriodMs = 30000.0;
    const double swing = std::max(value / 20.0, 20.0);
    const double phase = 2 * std::numbers::pi * (double(elapsedMs) / PeriodMs + channel / 8.0);
    const double result = value + swing * std::sin(phase);
    return static_cast<quint16>(std::clamp(std::lround(result), 0L, 65535L));
}

} // namespace

quint16 inputRegister(int channel) { return InputChannels[channel].reg; }

int channelIndex(QStringView name)
{
    for (int channel = 0; channel < ChannelCount; ++channel)
        if (name.compare(QLatin1String(InputChannels[channel].name), Qt::CaseInsensitive) == 0)
            return channel;
    return -1;
}

QString channelName(int channel) { return QString::fromLatin1(InputChannels[channel].name); }

quint16 formatRegister(const TtyLine &line)
{
    const int parity = line.parity == 'e' ? 2 : line.parity == 'o' ? 3 : 0;
    const int high = parity << 4 | (line.stopBits == 2 ? 8 : 0) | (line.dataBits - 5) << 1;
    return static_cast<quint16>(high << 8);
}

std::optional<TtyLine> lineWithFormat(TtyLine line, quint16 value)
{
    const int high = value >> 8;
    const int parity = high >> 4;
    // Bit 0 of the high byte and the whole low byte are always 0; parity 1 names nothing.
    if ((value & 0x01FF) != 0 || parity == 1 || parity > 3)
        return std::nullopt;
    line.parity = parity == 2 ? 'e' : parity == 3 ? 'o' : 'n';
    line.stopBits = (high & 8) ? 2 : 1;
    line.dataBits = 5 + ((high >> 1) & 3);
    return line;
}

QString formatName(const TtyLine &line)
{
    return QStringLiteral("%1%2%3")
        .arg(line.dataBits)
        .arg(QChar(QLatin1Char(line.parity)).toUpper())
        .arg(line.stopBits);
}

Module::Module(const ModuleOptions &options)
    : options(options)
    , current(options.settings)
{
}

QByteArray Module::answer(QByteArrayView request, qint64 elapsedMs)
{
    // Another module's traffic, or bytes the line damaged: not ours to answer.
    if (request.size() != RequestSize || !modbus::crcFits(request)
        || byteAt(request, 0) != current.deviceId)
        return {};
    if (options.exceptionEvery > 0 && ++requests % options.exceptionEvery == 0)
        return exceptionAnswer(current.deviceId, byteAt(request, 1), Exception::DeviceFailure);
    switch (byteAt(request, 1)) {
    case ReadHolding: return read(request, elapsedMs);
    case WriteSingle: return write(request);
    default:
        return exceptionAnswer(current.deviceId, byteAt(request, 1), Exception::IllegalFunction);
    }
}

QByteArray Module::read(QByteArrayView request, qint64 elapsedMs) const
{
    const quint16 first = wordAt(request, 2);
    const int count = wordAt(request, 4);
    if (count < 1 || count > MaxReadCount)
        return exceptionAnswer(current.deviceId, ReadHolding, Exception::IllegalValue);
    QByteArray frame;
    frame.append(static_cast<char>(current.deviceId));
    frame.append(static_cast<char>(ReadHolding));
    frame.append(static_cast<char>(2 * count));
    for (int i = 0; i < count; ++i) {
        const auto value = first + i <= 0xFFFF
                               ? registerValue(static_cast<quint16>(first + i), elapsedMs)
                               : std::nullopt;
        if (!value)
            return exceptionAnswer(current.deviceId, ReadHolding, Exception::IllegalAddress);
        appendWord(frame, *value);
    }
    return modbus::withCrc(frame);
}

QByteArray Module::write(QByteArrayView request)
{
    const quint16 address = wordAt(request, 2);
    const quint16 value = wordAt(request, 4);
    // A second settings write before the first took effect builds on it.
    Settings next = pending.value_or(current);
    switch (address) {
    case IdBaudRegister: {
        const int id = value >> 8;
        const int baud = modbus::baudRate(value & 0xFF);
        if (id < 1 || id > 0xF7 || baud == 0)
            return exceptionAnswer(current.deviceId, WriteSingle, Exception::IllegalValue);
        next.deviceId = static_cast<quint8>(id);
        next.line.baud = baud;
        pending = next;
        break;
    }
    case FormatRegister: {
        const auto line = lineWithFormat(next.line, value);
        if (!line)
            return exceptionAnswer(current.deviceId, WriteSingle, Exception::IllegalValue);
        next.line = *line;
        pending = next;
        break;
    }
    case Vo1Register:
    case Vo2Register: outputs[address == Vo1Register ? 0 : 1] = value; break;
    default: return exceptionAnswer(current.deviceId, WriteSingle, Exception::IllegalAddress);
    }
    return request.toByteArray();
}

std::optional<quint16> Module::registerValue(quint16 address, qint64 elapsedMs) const
{
    for (int channel = 0; channel < ChannelCount; ++channel)
        if (inputRegister(channel) == address)
            return input(channel, elapsedMs);
    return std::nullopt;
}

void Module::applyPendingSettings()
{
    if (pending)
        current = *pending;
    pending.reset();
}

quint16 Module::input(int channel, qint64 elapsedMs) const
{
    // Looped-back outputs are read exactly as written, drift or not.
    if (options.loopBack && channel < 2)
        return outputs[channel];
    const quint16 value = options.inputs[channel];
    return options.vary ? drifted(value, channel, elapsedMs) : value;
}

QList<QByteArray> takeFrames(QByteArray &stream)
{
    QList<QByteArray> frames;
    while (stream.size() >= RequestSize) {
        if (modbus::crcFits(QByteArrayView(stream).first(RequestSize))) {
            frames << stream.first(RequestSize);
            stream.remove(0, RequestSize);
        } else {
            stream.remove(0, 1);
        }
    }
    return frames;
}

} // namespace sim
