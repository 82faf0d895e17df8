// "Setup VO1" and "Setup VO2": the two voltage outputs, in millivolts.
#include "app/form1.h"
#include "config/values.h"
#include "modbus/hextext.h"
#include "modbus/protocol.h"

#include <QLineEdit>

void Form1::setupOutput(QLineEdit *source, const QString &field, quint16 reg)
{
    if (!readyToSend())
        return;
    stopAutoScan();
    Text10->setText(modbus::hexText(reg, 4));
    QString why;
    const auto value = config::outputValueText(source->text(), field, &why);
    if (!value)
        return logMessage(why);
    Text23->setText(*value);
    composeRequest(modbus::hexText(modbus::WriteSingleRegister, 2), Text23->text());
    SendFrame();
    if (const QString note = config::outputNote(source->text(), field); !note.isEmpty())
        logMessage(note);
}

void Form1::Command9_Click() { setupOutput(Text3, QStringLiteral("VO1"), modbus::Vo1Register); }

void Form1::Command10_Click() { setupOutput(Text4, QStringLiteral("VO2"), modbus::Vo2Register); }
