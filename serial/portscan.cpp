// The scan of ports 1..9 into the port list.
#include "app/form1.h"

#include <QComboBox>

bool Form1::IsComPortAvailable(qint16 portNum)
{
    const QString device = ports.value(portNum);
    return !device.isEmpty() && serial::isDeviceAvailable(device);
}

// Both the start-up and every edit of the port list rebuild it the same way.
void Form1::scanPorts()
{
    ports = serial::assignPortNumbers(serial::portFolder(), systemPorts());
    int count = 0;
    for (qint16 n = serial::FirstPort; n <= serial::LastPort; ++n) {
        if (!IsComPortAvailable(n))
            continue;
        Combo9->addItem(QStringLiteral("COM %1").arg(n));
        Combo9->setItemData(count, n);
        Combo9->setItemData(count, serial::canonicalDevice(ports.value(n)), Qt::ToolTipRole);
        ++count;
    }
}

void Form1::Combo9_Change()
{
    Combo9->clear();
    scanPorts();
    Combo9->setCurrentIndex(-1);
    Combo9->setEditText(QString());
}
