// Auto Scan: one channel read per tick of Timer1, V1 to I4 and round again.
#include "app/form1.h"
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
    const qint16 next = static_cast<qint16>((PendingRequest + 1) % modbus::ChannelCount);
    if (next == 0)
        Text1->setPlainText(QString());
    readChannel(next); // whose own check of the port and the ID passes: both hold
}

void Form1::stopAutoScan()
{
    Timer1->stop();
    Command7->setText(QStringLiteral("Autoscan"));
}
