#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>

// Check fields of Modbus requests held as hexadecimal frame text.
namespace modbus {

using CrcTable = std::array<quint8, 256>;

// The two halves of the table-driven CRC-16 (reflected polynomial 0xA001):
// hi holds the low byte of each entry, lo the high byte, as the Modbus
// serial-line tables auchCRCHi and auchCRCLo do.
CrcTable crcHiTable();
CrcTable crcLoTable();

// The value of a hexadecimal digit (either case), or -1.
int hexDigit(QChar c);

// Reads the text two characters at a time (a final odd character alone) as
// hexadecimal numbers; a pair stops at its first non-hex character and one
// that starts with such a character reads as 0.
QList<quint8> pairValues(QStringView hexText);

// CRC-16 in transmission order, four upper-case digits (low byte first).
QString crcText(QStringView hexText, const CrcTable &hi, const CrcTable &lo);

// CRC-16 of bytes as a number; the low byte goes on the line first.
quint16 crc16(QByteArrayView bytes);

// LRC of Modbus ASCII, two upper-case digits.
QString lrcText(QStringView hexText);

} // namespace modbus
