// The channel read buttons, one per row of the channel table.
#include "app/form1.h"
#include "measure/channels.h"
#include "modbus/hextext.h"
#include "modbus/protocol.h"

#include <QLineEdit>

void Form1::readChannel(int row)
{
    if (!readyToSend())
        return;
    const measure::Channel &channel = measure::Channels[row];
    Text10->setText(modbus::hexText(channel.reg, 4));
    composeRequest(modbus::hexText(modbus::ReadHoldingRegisters, 2),
                   modbus::hexText(modbus::ChannelReadCount, 4));
    PendingRequest = channel.code;
    SendFrame();
}
