// "Setup Baudrate" and "Setup Configure": the module's own line settings.
#include "app/form1.h"
#include "config/values.h"
#include "modbus/hextext.h"
#include "modbus/protocol.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

// The code of a list's selected item; a list without one is refused.
bool Form1::itemCode(QComboBox *list, const QString &field, int *code)
{
    if (list->currentIndex() < 0) {
        logMessage(QStringLiteral("%1 \"%2\" is not an item of the list; choose one")
                       .arg(field, list->currentText()));
        return false;
    }
    *code = list->currentData().toInt();
    return true;
}

void Form1::Command5_Click()
{
    int baud = 0;
    if (!readyToSend() || !deviceIdAccepted(Text14->text(), QStringLiteral("New device ID"))
        || !itemCode(Combo1, QStringLiteral("Baudrate"), &baud))
        return;
    stopAutoScan();
    Text10->setText(modbus::hexText(modbus::IdBaudRegister, 4));
    Text23->setText(config::baudValueText(Text14->text(), baud));
    composeRequest(modbus::hexText(modbus::WriteSingleRegister, 2), Text23->text());
    PendingRequest = modbus::IdBaudEcho;
    SendFrame();
    silence.idGiven = modbus::hexByte(Text14->text()); // whether or not its echo comes
}

void Form1::Command8_Click()
{
    int length = 0, parity = 0, stop = 0;
    if (!readyToSend() || !itemCode(Combo6, QStringLiteral("Length"), &length)
        || !itemCode(Combo7, QStringLiteral("Parity"), &parity)
        || !itemCode(Combo8, QStringLiteral("Stop"), &stop))
        return;
    stopAutoScan();
    Text1->setPlainText(QString()); // the log shows this write and what follows
    Text10->setText(modbus::hexText(modbus::FormatRegister, 4));
    Text23->setText(config::formatValueText(parity, length, stop));
    composeRequest(modbus::hexText(modbus::WriteSingleRegister, 2), Text23->text());
    PendingRequest = modbus::FormatEcho;
    SendFrame();
}
