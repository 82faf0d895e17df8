// The eight channel read buttons.
#include "app/form1.h"
#include "measure/answer.h"
#include "modbus/hextext.h"
#include "modbus/protocol.h"

#include <QLineEdit>

void Form1::readChannel(qint16 channel)
{
    if (!readyToSend())
        return;
    Text10->setText(QLatin1String(measure::channelRegisters[channel]));
    composeRequest(modbus::hexText(modbus::ReadHoldingRegisters, 2),
                   modbus::hexText(modbus::ChannelReadCount, 4));
    PendingRequest = channel;
    SendFrame();
}

void Form1::Command11_Click() { readChannel(0); }
void Form1::Command12_Click() { readChannel(1); }
void Form1::Command13_Click() { readChannel(2); }
void Form1::Command14_Click() { readChannel(3); }
void Form1::Command15_Click() { readChannel(4); }
void Form1::Command16_Click() { readChannel(5); }
void Form1::Command17_Click() { readChannel(6); }
void Form1::Command18_Click() { readChannel(7); }
