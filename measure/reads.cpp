// The channel read buttons, one per row of the channel table.
#include "app/form1.h"
#include "measure/channels.h"
#include "modbus/hextext.h"
#include "modbus/protocol.h"

#include <QLineEdit>

void Form1::readChannel(qint16 channel)
{
    if (!readyToSend())
        return;
    Text10->setText(modbus::hexText(measure::Channels[channel].reg, 4));
    composeRequest(modbus::hexText(modbus::ReadHoldingRegisters, 2),
                   modbus::hexText(modbus::ChannelReadCount, 4));
    PendingRequest = channel;
    SendFrame();
}

// Each button's handler reads its row of the channel table.
void Form1::Command11_Click() { readChannel(0); }
void Form1::Command12_Click() { readChannel(1); }
void Form1::Command13_Click() { readChannel(2); }
void Form1::Command14_Click() { readChannel(3); }
void Form1::Command15_Click() { readChannel(4); }
void Form1::Command16_Click() { readChannel(5); }
void Form1::Command17_Click() { readChannel(6); }
void Form1::Command18_Click() { readChannel(7); }
