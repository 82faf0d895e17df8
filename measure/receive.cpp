// The receive handler: log every block, show read answers, follow a settings write;
// a note where the line did not do what the request expects.
#include "app/channelcontrols.h"
#include "app/form1.h"
#include "measure/answer.h"
#include "measure/notes.h"
#include "modbus/hextext.h"
#include "modbus/logline.h"
#include "modbus/protocol.h"
#include "serial/mscomm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
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
    for (;;) {
        const measure::Expected expected{echoAwaited, asked ? &*asked : nullptr};
        const qsizetype length = measure::blockLength(MSComm1->Peek(), quiet, expected);
        if (length == 0)
            return;
        ReceivedBytes = MSComm1->Input(length);
        logReceived(ReceivedBytes);
        const serial::LineErrors errors = MSComm1->takeLineErrors();
        if (!echoAwaited.isEmpty() && ReceivedBytes == echoAwaited) {
            // The adapter's echo of the request: not its answer, which is still to come.
            echoAwaited.clear();
            const QString note
                = measure::withLineErrors(lineEchoes ? QString() : measure::echoNote(), errors);
            lineEchoes = true;
            if (!note.isEmpty())
                logMessage(note);
            continue;
        }
        if (takeBlock(errors))
            return; // the port was reopened at the module's new settings
    }
}

// Decodes the block just taken and logs its note. True when the window
// followed a settings echo and reopened its port.
bool Form1::takeBlock(const serial::LineErrors &errors)
{
    const QByteArray &block = ReceivedBytes;
    const measure::Effect effect = measure::effectOf(block, PendingRequest);
    const measure::Awaited awaited = asked.value_or(measure::Awaited{});
    if (!measure::isAnswer(block, awaited, effect.followSettings)) {
        if (!asked) {
            if (const QString note = measure::lineErrorText(errors); !note.isEmpty())
                logMessage(note);
        } else if (const auto at = measure::answerAfterStray(block, awaited)) {
            // The answer came, a byte or more late: its request is answered.
            noAnswer->stop();
            step.answered(uptime.elapsed());
            echoAwaited.clear();
            logMessage(measure::withLineErrors(
                measure::strayNote(awaited, QByteArrayView(block).first(*at)), errors));
        } else {
            silence.bytesCame = true;
            logMessage(measure::noiseNote(errors, MSComm1->Settings()));
        }
        return false;
    }
    noAnswer->stop();
    echoAwaited.clear();
    // A settings write's echo, late: the module took the settings, the tool did not follow.
    const measure::Awaited echoed = measure::awaitedBy(block, -1);
    std::optional<measure::Step::Owed> settingsEchoed;
    if (!effect.followSettings && block.size() >= modbus::WriteEchoLength
        && !measure::settingsWritten(echoed).isEmpty())
        settingsEchoed = step.owedWrite(echoed, uptime.elapsed());

    measure::AnswerFacts facts;
    facts.errors = errors;
    if (const auto earlier = step.answered(uptime.elapsed())) {
        facts.earlier = earlier->request;
        facts.earlierBeforeReconnect = earlier->beforeReconnect;
    }
    if (effect.value && effect.box >= 0)
        facts.shownIn = QLatin1String(measure::Channels[effect.box].caption);
    const measure::Note note = asked ? measure::answerNote(block, awaited, facts) : measure::Note{};
    if (effect.value && quint8(block[0]) == awaited.device)
        silence.idGiven.reset(); // the device asked answers: the ID in use is right

    if (effect.value) {
        Text23->setText(QString::number(*effect.value));
        if (effect.box >= 0)
            showValue(effect.box, awaited, note);
    }
    if (effect.followSettings) {
        followSettings(awaited, note.text);
        return true;
    }
    if (settingsEchoed)
        logMessage(measure::echoNotFollowedNote(settingsEchoed->request, awaited));
    else if (!note.text.isEmpty())
        logMessage(note.text);
    return false;
}

// The value in its box, and where it came from in the box's tooltip: the
// request, the time, the answer's bytes and every doubt. A screen reader is
// told the value, and whether it may be wrong.
void Form1::showValue(int row, const measure::Awaited &awaited, const measure::Note &note)
{
    QLineEdit *box = this->*app::ChannelControlList[row].box;
    box->clear(); // the same value read again changes the text too, for whoever watches it
    box->setText(measure::valueText(measure::readValue(ReceivedBytes)));
    QString story
        = QStringLiteral("%1 = %2, at %3 from device %4, taken as the answer to %5 (register "
                         "%6):\n%7")
              .arg(QLatin1String(measure::Channels[row].caption), box->text(), TimeText,
                   modbus::hexText(quint8(ReceivedBytes[0]), 2), measure::requestName(awaited),
                   modbus::hexText(awaited.reg, 4),
                   QString::fromLatin1(ReceivedBytes.toHex(' ').toUpper()));
    // A line a doubt, so that the tooltip stays narrow.
    if (!note.text.isEmpty())
        story += u'\n' + QString(note.text).replace(QStringLiteral("; "), QStringLiteral(";\n"));
    box->setToolTip(story);
    doubts[row] = note.doubts;
    describeValue(row);
    speak(measure::spokenValue(row, box->text(), !note.doubts.isEmpty()));
}

// What a screen reader finds of a channel's value: the box's unit and story, and at its
// button, which has the focus after a read, the value in words.
void Form1::describeValue(int row)
{
    const app::ChannelControls &c = app::ChannelControlList[row];
    QLineEdit *box = this->*c.box;
    const QString unit = QStringLiteral("In %1.").arg(QLatin1String(measure::Channels[row].unit));
    box->setAccessibleDescription(box->toolTip().isEmpty() ? unit : unit + u' ' + box->toolTip());
    (this->*c.button)
        ->setAccessibleDescription(measure::spokenValue(row, box->text(), !doubts[row].isEmpty()));
}

// The module now talks at the settings just written: follow it. The log is
// replaced by the reopen, so the echo's own note goes after its new first line.
void Form1::followSettings(const measure::Awaited &write, const QString &echoNote)
{
    const auto lineOf = [this] {
        return QStringList{Combo2->currentText(), Combo4->currentText(), Combo3->currentText(),
                           Combo5->currentText()};
    };
    const QStringList before = lineOf();
    const bool echoes = lineEchoes; // the same adapter after the reopen
    Command1_Click();
    Combo2->setCurrentIndex(Combo1->currentIndex());
    Combo3->setCurrentIndex(Combo6->currentIndex());
    Combo4->setCurrentIndex(Combo7->currentIndex());
    Combo5->setCurrentIndex(Combo8->currentIndex());
    Command1_Click();
    lineEchoes = echoes;
    if (!MSComm1->PortOpen())
        return;
    if (!echoNote.isEmpty())
        logMessage(echoNote);
    if (const QString note = measure::reopenNote(write, before, lineOf()); !note.isEmpty())
        logMessage(note);
}

// The log was replaced: the doubts its notes told of must not go with them.
void Form1::noteDoubtfulValues()
{
    QList<std::pair<QString, QStringList>> boxes;
    for (qsizetype i = 0; i < measure::ChannelCount; ++i)
        boxes.append({QLatin1String(measure::Channels[i].caption), doubts[i]});
    if (const QString note = measure::doubtfulValuesNote(boxes); !note.isEmpty())
        logMessage(note);
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
}
