// Connecting and disconnecting the port.
#include "app/form1.h"
#include "serial/mscomm.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <utility>

void Form1::Command1_Click()
{
    noAnswer->stop(); // a connection opened or closed awaits nothing
    // The settings are written in both directions; a text the control
    // refuses stops a connect but never a disconnect.
    const QString settings = Combo2->currentText() + ',' + Combo4->currentText() + ','
                             + Combo3->currentText() + ',' + Combo5->currentText();
    const bool settingsTaken = MSComm1->setSettings(settings);

    if (!MSComm1->PortOpen()) {
        if (!settingsTaken)
            return logMessage(MSComm1->errorString() + QStringLiteral("; not connected"));
        const int index = Combo9->currentIndex();
        if (index < 0) {
            // Say first what the operator can do about it.
            const QString leftOut = portsLeftOut.join(QStringLiteral(". "));
            if (Combo9->count() > 0)
                return logMessage(
                    QStringLiteral("Port: no port is selected; choose one from the list")
                    + (leftOut.isEmpty() ? QString() : ". Left out by the last scan: " + leftOut));
            return logMessage(QStringLiteral("Port: no port is selected; ")
                              + (leftOut.isEmpty() ? QStringLiteral("no serial port was found")
                                                   : "none can be opened: " + leftOut));
        }
        const auto port = static_cast<qint16>(Combo9->itemData(index).toInt());
        MSComm1->setCommPort(port);
        Command1->setText(QStringLiteral("Disconnect"));
        const QString wait = OpenWait(comPortDevice(port));
        if (wait.isEmpty())
            return connected(MSComm1->setPortOpen(true));
        // The window answers while the port opens off its thread; Connect
        // waits, disabled, for the result, which ends the Connect as any open's.
        // Disabling moves the focus on: it comes back with the result.
        focusOnConnect = Command1->hasFocus();
        Command1->setEnabled(false);
        logMessage(QStringLiteral("COM %1 ").arg(port) + wait);
        MSComm1->openInBackground();
    } else {
        Command1->setText(QStringLiteral("Connect"));
        MSComm1->setPortOpen(false);
        stopAutoScan();
        GetTimeText();
        Text1->setPlainText(TimeText + QStringLiteral(" Disconnect"));
        noteDoubtfulValues();
    }
}

void Form1::connected(bool opened)
{
    if (!Command1->isEnabled()) {
        Command1->setEnabled(true);
        if (std::exchange(focusOnConnect, false))
            Command1->setFocus();
    }
    if (!opened) {
        Command1->setText(QStringLiteral("Connect"));
        return logMessage(MSComm1->errorString());
    }
    GetTimeText();
    Text1->setPlainText(TimeText + QStringLiteral(" Connected"));
    // Requests sent before may still be answered; a new adapter may or may not echo.
    step.reconnected();
    lineEchoes = false;
    echoAwaited.clear();
    noteDoubtfulValues();
}

// The control has closed the port already; bring the window in line with it.
void Form1::portLost(const QString &reason)
{
    // What arrived before the device went away is the module's too: log it first.
    if (MSComm1->InBufferCount() > 0)
        logReceived(MSComm1->Input());
    stopAutoScan();
    noAnswer->stop(); // nothing can answer a request on a port that has gone
    step.clear();
    echoAwaited.clear();
    Command1->setText(QStringLiteral("Connect"));
    logMessage(reason);
}
