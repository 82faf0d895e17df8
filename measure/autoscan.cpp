// Auto Scan: one channel read per tick of Timer1, V1 to I4 and round again.
#include "app/form1.h"
#include "measure/channels.h"
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
    // So that the first tick reads the first channel.
    PendingRequest = measure::Channels[measure::ChannelCount - 1].code;
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
    // The channel after the one last asked for, in the table's order.
    const int next = int((measure::channelOfCode(PendingRequest) + 1) % measure::ChannelCount);
    if (next == 0)
        Text1->setPlainText(QString());
    readChannel(next); // whose own check of the port and the ID passes: both hold
}

void Form1::stopAutoScan()
{
    Timer1->stop();
    Command7->setText(QStringLiteral("Autoscan"));
}
