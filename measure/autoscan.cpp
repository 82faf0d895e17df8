// Auto Scan: one channel read per tick of Timer1, V1 to I4 and round again.
#include "app/form1.h"
#include "measure/answer.h"
#include "modbus/hextext.h"
#include "modbus/protocol.h"
#include "serial/mscomm.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

void Form1::Command7_Click()
{
    if (!MSComm1->PortOpen())
        return;
    if (Timer1->isActive())
        return stopAutoScan();
    PendingRequest = modbus::ChannelCount - 1; // so that the first tick reads the first channel
    Timer1->start();
    Command7->setText(QStringLiteral("Stop"));
}

void Form1::Timer1_Timer()
{
    if (!MSComm1->PortOpen())
        return;
    // A tick would refuse the same ID every second; stop instead.
    if (!deviceIdAccepted(Text8->text(), QStringLiteral("Device ID")))
        return stopAutoScan();
    PendingRequest = static_cast<qint16>((PendingRequest + 1) % modbus::ChannelCount);
    if (PendingRequest == 0)
        Text1->setPlainText(QString());
    Text10->setText(QLatin1String(measure::channelRegisters[PendingRequest]));
    composeRequest(modbus::hexText(modbus::ReadHoldingRegisters, 2),
                   modbus::hexText(modbus::ChannelReadCount, 4));
    SendFrame();
}

void Form1::stopAutoScan()
{
    Timer1->stop();
    Command7->setText(QStringLiteral("Autoscan"));
}
