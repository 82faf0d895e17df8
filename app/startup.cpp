#include "app/form1.h"
#include "modbus/checksum.h"
#include "modbus/protocol.h"

#include <QComboBox>

void Form1::Form_Load()
{
    CrcHiTable = modbus::crcHiTable();
    CrcLoTable = modbus::crcLoTable();

    scanPorts();

    // 38400 baud, where the module starts.
    Combo1->setCurrentIndex(Combo1->findData(modbus::baudCode(38400)));
    Combo2->setCurrentIndex(Combo2->findData(modbus::baudCode(38400)));
    Combo3->setCurrentIndex(3);
    Combo4->setCurrentIndex(0);
    Combo5->setCurrentIndex(0);
    Combo6->setCurrentIndex(3);
    Combo7->setCurrentIndex(0);
    Combo8->setCurrentIndex(0);
    // With no port found there is nothing to select, and that is fine.
    Combo9->setCurrentIndex(Combo9->count() > 0 ? 0 : -1);
}
