#pragma once

#include "sim/ttyline.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <iterator>
#include <optional>

// The I/O module as seen from the line: request frames in, answer frames out.
namespace sim {

// The simulator spells out the protocol's numbers itself instead of taking the
// tool's (modbus/protocol.h): it checks the tool independently, so a number the
// tool gets wrong fails a test instead of being agreed with. The baud rates
// and their codes are the exception: one table (modbus::BaudRates), so that a
// rate the module gains is one row.

// Registers the module answers on.
constexpr quint16 IdBaudRegister = 0x0000; // high byte device ID, low byte baud-rate code
constexpr quint16 FormatRegister = 0x0001; // high byte parity × 16 + length code + stop code
constexpr quint16 Vo1Register = 0x0014;    // voltage outputs, millivolts
constexpr quint16 Vo2Register = 0x0018;

// The module's input channels: name, register, and the value it holds unless
// told otherwise (millivolts for the voltage inputs, the current inputs in
// the same thousandths).
struct InputChannel
{
    const char *name;
    quint16 reg;
    quint16 value;
};
inline constexpr InputChannel InputChannels[] = {
    {"V1", 0x0004, 1500}, {"V2", 0x0008, 2500}, {"V3", 0x000C, 5000},  {"V4", 0x0010, 10000},
    {"I1", 0x0005, 4000}, {"I2", 0x0009, 8000}, {"I3", 0x000D, 12000}, {"I4", 0x0011, 20000},
};
constexpr int ChannelCount = int(std::size(InputChannels));
using Inputs = std::array<quint16, ChannelCount>;

quint16 inputRegister(int channel);
// A channel's row by its name (either case), or -1.
int channelIndex(QStringView name);
QString channelName(int channel);

// The format register for a line, and the line a format register value
// gives (the baud rate kept); nullopt when the value names no format.
quint16 formatRegister(const TtyLine &line);
std::optional<TtyLine> lineWithFormat(TtyLine line, quint16 value);

// "8N1" style: data bits, parity letter, stop bits.
QString formatName(const TtyLine &line);

// What the module answers as, and how it listens.
struct Settings
{
    quint8 deviceId = 0x01;
    TtyLine line{38400, 8, 'n', 1};

    bool operator==(const Settings &) const = default;
};

struct ModuleOptions
{
    Settings settings;
    Inputs inputs = defaultInputs();
    bool vary = false;      // inputs drift slowly around their values
    bool loopBack = false;  // VO1 and VO2 wired back into the first two inputs, V1 and V2
    int exceptionEvery = 0; // every Nth request it would answer is refused, and nothing taken

    static constexpr Inputs defaultInputs()
    {
        Inputs inputs{};
        for (int channel = 0; channel < ChannelCount; ++channel)
            inputs[channel] = InputChannels[channel].value;
        return inputs;
    }
};

// Modbus exception codes the module uses.
enum class Exception : quint8 {
    IllegalFunction = 1,
    IllegalAddress = 2,
    IllegalValue = 3,
    DeviceFailure = 4
};

class Module
{
public:
    explicit Module(const ModuleOptions &options = {});

    // The answer to one complete request frame received at elapsedMs since
    // the module started; empty when the module stays silent (wrong check
    // bytes, another device ID).
    QByteArray answer(QByteArrayView request, qint64 elapsedMs = 0);

    const Settings &settings() const { return current; }
    // A settings write is answered at the old settings; the new ones are held
    // here until the echo has gone out on the line.
    std::optional<Settings> pendingSettings() const { return pending; }
    void applyPendingSettings();

    quint16 input(int channel, qint64 elapsedMs = 0) const;
    quint16 output(int n) const { return outputs[n]; } // 0 = VO1, 1 = VO2

private:
    QByteArray read(QByteArrayView request, qint64 elapsedMs) const;
    QByteArray write(QByteArrayView request);
    std::optional<quint16> registerValue(quint16 address, qint64 elapsedMs) const;

    ModuleOptions options;
    Settings current;
    std::optional<Settings> pending;
    std::array<quint16, 2> outputs{0, 0};
    int requests = 0; // answered, for exceptionEvery
};

// Cuts complete 8-byte request frames off the front of a received byte
// stream, leaving an incomplete tail. Where the check bytes do not fit, the
// first byte is dropped and the search goes on, so the stream falls back into
// step after garbage or a damaged frame.
QList<QByteArray> takeFrames(QByteArray &stream);

} // namespace sim
