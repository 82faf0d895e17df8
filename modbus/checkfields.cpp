#include "app/form1.h"
#include "modbus/checksum.h"

QString Form1::Chr_crc(const QString &frameText) const
{
    return modbus::crcText(frameText, CrcHiTable, CrcLoTable);
}

QString Form1::Chr_lrc(const QString &frameText) const { return modbus::lrcText(frameText); }
