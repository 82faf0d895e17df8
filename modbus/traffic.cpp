// Sending a request, the traffic log and its timestamps.
#include "app/form1.h"
#include "measure/notes.h"
#include "modbus/hextext.h"
#include "modbus/logline.h"
#include "modbus/protocol.h"
#include "modbus/request.h"
#include "serial/mscomm.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTimer>

void Form1::GetTimeText() { TimeText = modbus::timeText(Clock()); }

// Each line becomes a block of its own at the top; the log can hold many
// thousands of lines, so it is never rewritten as a whole. Each block is
// made before its text goes in: text put into the old first line would make
// it the widest line and then narrow it again, and the editor answers a
// narrowed widest line by measuring every line of the log.
void Form1::prependLog(const QString &line)
{
    // The scroll area answers every change of its bar's range by laying out both bars again,
    // which repaints them and everything behind them; both are always shown, so there is
    // nothing to lay out. The bar still takes its new range and redraws itself as it must.
    const QSignalBlocker rangeKept(Text1->verticalScrollBar());
    // One edit block: the editor lays the new line out once, when it is all in. setPosition
    // does not lay the first line out to find where a caret would stand, as movePosition does.
    QTextCursor cursor(Text1->document());
    cursor.beginEditBlock();
    const QStringList parts = line.split(QStringLiteral("\r\n"));
    cursor.insertText(parts.last());
    for (qsizetype i = parts.size() - 2; i >= 0; --i) {
        cursor.setPosition(0);
        cursor.insertBlock();
        cursor.setPosition(0);
        cursor.insertText(parts[i]);
    }
    cursor.endEditBlock();
}

// Text5's room holds for these lines too; a cut keeps the line's end.
void Form1::logMessage(const QString &message)
{
    GetTimeText();
    const qsizetype room = qMax(0, Text5->maxLength() - 2);
    prependLog((TimeText + u' ' + message).left(room) + QStringLiteral("\r\n"));
}

void Form1::SendFrame()
{
    // Bytes still waiting cannot belong to the answer of this request; log
    // them now so that its answer starts a block of its own.
    if (MSComm1->InBufferCount() > 0) {
        logReceived(MSComm1->Input());
        if (const QString note = measure::lineErrorText(MSComm1->takeLineErrors()); !note.isEmpty())
            logMessage(note);
    }
    GetTimeText();
    const QByteArray bytes(reinterpret_cast<const char *>(FrameBytes.data()), FrameBytes.size());
    Text5->setText(modbus::logLine(TimeText, u"send", bytes));
    prependLog(Text5->text());
    const bool crossed = noAnswer->isActive();
    const int waitedMs = measure::AnswerWaitMs - noAnswer->remainingTime();
    noAnswer->stop();
    if (!MSComm1->Output(bytes))
        return logMessage(MSComm1->errorString()); // nothing went out to be answered
    if (!MSComm1->PortOpen())
        return; // the device went away as the bytes were written: its loss is told
    // The next answer is taken for this request: say so if the last one is still unanswered.
    const measure::Awaited next = measure::awaitedBy(bytes, PendingRequest);
    if (crossed)
        logMessage(measure::crossedNote(*asked, next, waitedMs));
    asked = next;
    step.sent(next, uptime.elapsed());
    silence.bytesCame = false;
    // A read's own bytes are never its answer; a write's are, unless the adapter echoes.
    echoAwaited
        = next.function == modbus::ReadHoldingRegisters || lineEchoes ? bytes : QByteArray();
    noAnswer->start();
}

// The request for register Text10 of the device in Text8, with its check in
// Text13 and its bytes in FrameBytes, ready for SendFrame.
void Form1::composeRequest(const QString &function, const QString &data)
{
    FrameText = Text8->text() + function + Text10->text() + data;
    CrcText = Chr_crc(FrameText);
    Text13->setText(CrcText);
    FrameBytes = modbus::frameBytes(Text8->text(), modbus::hexByte(function), Text10->text(), data,
                                    Text13->text());
}

// A sender goes ahead only with the port open and a device ID that fits.
bool Form1::readyToSend()
{
    return MSComm1->PortOpen() && deviceIdAccepted(Text8->text(), QStringLiteral("Device ID"));
}

bool Form1::deviceIdAccepted(const QString &id, const QString &field)
{
    QString why;
    if (modbus::parseDeviceId(id, field, &why))
        return true;
    logMessage(why);
    return false;
}

void Form1::Command4_Click() { Text1->setPlainText(QString()); }
