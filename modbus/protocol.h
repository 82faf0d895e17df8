#pragma once

#include <QtGlobal>

// The Modbus RTU facts the tool builds its requests from and reads its answers
// by, named where they are defined. The input channels' registers are in the
// channel table, measure/channels.h.
namespace modbus {

// Function codes.
constexpr quint8 ReadHoldingRegisters = 0x03;
constexpr quint8 WriteSingleRegister = 0x06;
// An answer whose function code has this bit set is an exception answer.
constexpr quint8 ExceptionFlag = 0x80;

// Frame sizes in bytes. A request is id, function, register (2), value or
// count (2), two check bytes.
constexpr qsizetype RequestLength = 8;
// id, function | 0x80, exception code, two check bytes.
constexpr qsizetype ExceptionAnswerLength = 5;
// id, 03, byte count, two check bytes; the registers' bytes come between.
constexpr qsizetype ReadAnswerOverhead = 5;
// A read of one register: the overhead and its two bytes. No answer the tool
// waits for is shorter.
constexpr qsizetype OneRegisterAnswerLength = ReadAnswerOverhead + 2;
// A write is answered with the request again.
constexpr qsizetype WriteEchoLength = RequestLength;

// A channel read asks for one register.
constexpr quint16 ChannelReadCount = 1;

// The module's registers that are written.
constexpr quint16 IdBaudRegister = 0x0000; // high byte the device ID, low byte the baud-rate code
constexpr quint16 FormatRegister = 0x0001; // parity code, then length code + stop code, then 00
constexpr quint16 Vo1Register = 0x0014;    // voltage outputs, millivolts
constexpr quint16 Vo2Register = 0x0018;

// The module's baud rates and the code of each in the register IdBaudRegister:
// the one list of them that the window's lists, Connect, the settings write
// and the simulator read.
struct BaudRate
{
    int rate;
    quint8 code;
};
inline constexpr BaudRate BaudRates[] = {
    {2400, 1}, {4800, 2}, {9600, 3}, {14400, 4}, {19200, 5}, {38400, 6}, {115200, 7},
};

// The module's code for a rate, or 0 when it has none; the rate of a code, or 0.
constexpr quint8 baudCode(int rate)
{
    for (const BaudRate &b : BaudRates)
        if (b.rate == rate)
            return b.code;
    return 0;
}
constexpr int baudRate(int code)
{
    for (const BaudRate &b : BaudRates)
        if (b.code == code)
            return b.rate;
    return 0;
}

// What PendingRequest (app/form1.h) takes the next answer for: the code of a
// channel read (its row in measure/channels.h), or the echo of a settings
// write, whose echo makes the window reopen its port at the settings just
// written. These two stay put whatever channels the module has.
constexpr qint16 IdBaudEcho = 8; // "Setup Baudrate" wrote IdBaudRegister
constexpr qint16 FormatEcho = 9; // "Setup Configure" wrote FormatRegister

} // namespace modbus
