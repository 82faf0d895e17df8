// The scan of ports 1..9 into the port list.
#include "app/form1.h"
#include "serial/mscomm.h"

#include <QComboBox>

bool Form1::IsComPortAvailable(qint16 portNum)
{
    const QString device = ports.value(portNum);
    return !device.isEmpty() && serial::deviceAvailable(device);
}

// Both the start-up and every edit of the port list rebuild it the same way.
// The ports it leaves out are kept with the reason, so that a Connect without
// a port, and the empty list's tooltip, can tell the operator what to do.
void Form1::scanPorts()
{
    ports = serial::assignPortNumbers(serial::portFolder(), systemPorts());
    portsLeftOut.clear();
    int count = 0;
    for (qint16 n = serial::FirstPort; n <= serial::LastPort; ++n) {
        const QString path = ports.value(n);
        if (IsComPortAvailable(n)) {
            Combo9->addItem(QStringLiteral("COM %1").arg(n));
            Combo9->setItemData(count, n);
            Combo9->setItemData(count, serial::canonicalDevice(path), Qt::ToolTipRole);
            ++count;
            continue;
        }
        if (path.isEmpty())
            continue;
        const QString device = serial::canonicalDevice(path);
        QString why;
        if (MSComm1->PortOpen() && MSComm1->CommPort() == n)
            why = QStringLiteral("is connected in this window");
        else if (serial::deviceAvailable(path, &why))
            continue; // it has come free since
        portsLeftOut
            << QStringLiteral("COM %1 (%2) %3").arg(n).arg(device.isEmpty() ? path : device, why);
    }
    const QString leftOut
        = QStringLiteral("Left out by the last scan:\n") + portsLeftOut.join(u'\n');
    if (count == 0 && portsLeftOut.isEmpty())
        Combo9->setToolTip(QStringLiteral("No serial port was found"));
    else if (count == 0)
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
