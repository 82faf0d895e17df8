// The receive handler: log every block, show read answers, follow a settings write.
#include "app/form1.h"
#include "measure/answer.h"
#include "modbus/frame.h"
#include "serial/mscomm.h"

#include <QComboBox>
#include <QLineEdit>

void Form1::MSComm1_OnComm()
{
    if (MSComm1->CommEvent() != MSComm::comEvReceive)
        return;
    // An exception answer is shorter than any answer awaited: take it alone
    // instead of letting it spoil the block of the next answer.
    while (measure::startsWithException(MSComm1->Peek()))
        logReceived(MSComm1->Input(5));
    if (MSComm1->InBufferCount() < 7)
        return;
    ReceivedBytes = MSComm1->Input();
    logReceived(ReceivedBytes);

    const quint8 function = static_cast<quint8>(ReceivedBytes[1]);
    if (function == 3) {
        const int value = measure::readValue(ReceivedBytes);
        Text23->setText(QString::number(value));
        if (PendingRequest >= 0 && PendingRequest <= 7) {
            QLineEdit *box = channelBoxes()[PendingRequest];
            box->clear();
            box->setText(measure::valueText(value));
        }
    } else if (function == 6 && (PendingRequest == 8 || PendingRequest == 9)) {
        // The module now talks at the settings just written: follow it.
        Command1_Click();
        Combo2->setCurrentIndex(Combo1->currentIndex());
        Combo3->setCurrentIndex(Combo6->currentIndex());
        Combo4->setCurrentIndex(Combo7->currentIndex());
        Combo5->setCurrentIndex(Combo8->currentIndex());
        Command1_Click();
    }
}

void Form1::logReceived(const QByteArray &bytes)
{
    GetTimeText();
    Text5->setText(modbus::logLine(TimeText, u"receive", bytes));
    prependLog(Text5->text());
}

std::array<QLineEdit *, 8> Form1::channelBoxes() const
{
    return {Text15, Text16, Text17, Text18, Text19, Text20, Text21, Text22};
}
