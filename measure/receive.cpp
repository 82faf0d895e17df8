// The receive handler: log every block, show read answers, follow a settings write;
// a note where the line did not do what the request expects.
#include "app/channelcontrols.h"
#include "app/form1.h"
#include "measure/answer.h"
#include "measure/notes.h"
#include "modbus/logline.h"
#include "serial/mscomm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

void Form1::MSComm1_OnComm()
{
    if (MSComm1->CommEvent() != MSComm::comEvReceive)
        return;
    takeAnswers(false);
    // Bytes short of an answer are taken once the line falls quiet: a frame
    // that lost a byte on the line must still show in the log.
    if (MSComm1->InBufferCount() > 0)
        quietLine->start();
    else
        quietLine->stop();
}

// An answer of known length is taken when all of it is there, alone; any
// other bytes once at least 7 wait; after a quiet spell, whatever waits.
void Form1::takeAnswers(bool quiet)
{
    while (const qsizetype length = measure::blockLength(MSComm1->Peek(), quiet)) {
        ReceivedBytes = MSComm1->Input(length);
        logReceived(ReceivedBytes);
        if (measure::isAnswer(ReceivedBytes))
            noAnswer->stop();
        if (asked)
            if (const QString note = measure::answerNote(ReceivedBytes, *asked); !note.isEmpty())
                logMessage(note);

        const measure::Effect effect = measure::effectOf(ReceivedBytes, PendingRequest);
        if (effect.value) {
            Text23->setText(QString::number(*effect.value));
            if (effect.box >= 0) {
                QLineEdit *box = this->*app::ChannelControlList[effect.box].box;
                box->clear();
                box->setText(measure::valueText(*effect.value));
            }
        }
        if (effect.followSettings) {
            // The module now talks at the settings just written: follow it.
            Command1_Click();
            Combo2->setCurrentIndex(Combo1->currentIndex());
            Combo3->setCurrentIndex(Combo6->currentIndex());
            Combo4->setCurrentIndex(Combo7->currentIndex());
            Combo5->setCurrentIndex(Combo8->currentIndex());
            Command1_Click();
            return;
        }
    }
}

// Text5 holds at most maxLength characters and cuts the rest, its line end
// included: a block too long for one line goes on as many as it needs.
void Form1::logReceived(const QByteArray &bytes)
{
    GetTimeText();
    for (const QString &line : modbus::logLines(TimeText, u"receive", bytes, Text5->maxLength())) {
        Text5->setText(line);
        prependLog(Text5->text());
    }
    if (const QString note = measure::lineErrorNote(MSComm1->takeLineErrors()); !note.isEmpty())
        logMessage(note);
}
