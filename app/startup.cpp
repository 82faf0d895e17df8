#include "app/form1.h"
#include "modbus/checksum.h"

#include <QComboBox>

void Form1::Form_Load()
{
    CrcHiTable = modbus::crcHiTable();
    CrcLoTable = modbus::crcLoTable();

    scanPorts();

    Combo1->setCurrentIndex(5);
    Combo2->setCurrentIndex(5);
    Combo3->setCurrentIndex(3);
    Combo4->setCurrentIndex(0);
    Combo5->setCurrentIndex(0);
    Combo6->setCurrentIndex(3);
    Combo7->setCurrentIndex(0);
    Combo8->setCurrentIndex(0);
    // With no port found there is nothing to select, and that is fine.
    Combo9->setCurrentIndex(Combo9->count() > 0 ? 0 : -1);
}
