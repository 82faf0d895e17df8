// The eight channel read buttons.
#include "app/form1.h"
#include "measure/answer.h"
#include "modbus/frame.h"
#include "serial/mscomm.h"

#include <QLineEdit>

void Form1::readChannel(qint16 channel)
{
    if (!MSComm1->PortOpen() || !deviceIdAccepted(Text8->text(), QStringLiteral("Device ID")))
        return;
    Text10->setText(QLatin1String(measure::channelRegisters[channel]));
    composeRead();
    PendingRequest = channel;
    SendFrame();
}

// Reads the register in Text10 from the device in Text8: one register, function 03.
void Form1::composeRead()
{
    FrameText = Text8->text() + QStringLiteral("03") + Text10->text() + QStringLiteral("0001");
    CrcText = Chr_crc(FrameText);
    Text13->setText(CrcText);
    FrameBytes = modbus::frameBytes(Text8->text(), 3, Text10->text(), u"0001", Text13->text());
}

void Form1::Command11_Click() { readChannel(0); }
void Form1::Command12_Click() { readChannel(1); }
void Form1::Command13_Click() { readChannel(2); }
void Form1::Command14_Click() { readChannel(3); }
void Form1::Command15_Click() { readChannel(4); }
void Form1::Command16_Click() { readChannel(5); }
void Form1::Command17_Click() { readChannel(6); }
void Form1::Command18_Click() { readChannel(7); }
