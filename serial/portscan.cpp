// The scan of ports 1..9 into the port list.
#include "app/form1.h"
#include "serial/mscomm.h"

#include <QComboBox>

bool Form1::IsComPortAvailable(qint16 portNum, QString *why)
{
    const QString device = ports.value(portNum);
    return !device.isEmpty() && serial::deviceAvailable(device, why);
}

// Both the start-up and every edit of the port list rebuild it the same way,
// opening each port at most once: every open moves DTR and RTS, which resets
// some boards. The ports it leaves out are kept with the reason, so that a
// Connect without a port, and the empty list's tooltip, can tell the operator
// what to do.
void Form1::scanPorts()
{
    QStringList unnumbered;
    ports = serial::assignPortNumbers(serial::portFolder(), systemPorts(), &unnumbered);
    portsLeftOut.clear();
    for (qint16 n = serial::FirstPort; n <= serial::LastPort; ++n) {
        const QString path = ports.value(n);
        if (path.isEmpty())
            continue;
        const QString device = serial::canonicalDevice(path);
        QString tip = device;
        QString why;
        if (MSComm1->PortOpen() && MSComm1->CommPort() == n)
            why = QStringLiteral("is connected in this window");
        else if (serial::bluetoothPort(path))
            tip += QStringLiteral(": a Bluetooth port, not tested by the scan; it connects to "
                                  "its device when Connect is pressed");
        else
            IsComPortAvailable(n, &why); // sets why where it is not
        if (why.isEmpty()) {
            Combo9->addItem(QStringLiteral("COM %1").arg(n), n);
            Combo9->setItemData(Combo9->count() - 1, tip, Qt::ToolTipRole);
        } else {
            portsLeftOut << QStringLiteral("COM %1 (%2) %3")
                                .arg(n)
                                .arg(device.isEmpty() ? path : device, why);
        }
    }
    for (const QString &port : unnumbered)
        portsLeftOut << serial::unnumberedPort(port);
    const QString leftOut
        = QStringLiteral("Left out by the last scan:\n") + portsLeftOut.join(u'\n');
    if (Combo9->count() == 0 && portsLeftOut.isEmpty())
        Combo9->setToolTip(QStringLiteral("No serial port was found"));
    else if (Combo9->count() == 0)
        Combo9->setToolTip(QStringLiteral("No port can be opened now. ") + leftOut);
    else
        Combo9->setToolTip(portsLeftOut.isEmpty() ? QString() : leftOut);
}

void Form1::Combo9_Change()
{
    Combo9->clear();
    scanPorts();
    Combo9->setCurrentIndex(-1);
    Combo9->setEditText(QString());
}
