#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// Numbers held as hexadecimal text, as the window's fields and the check
// texts hold them.
namespace modbus {

// The value of a hexadecimal digit (either case), or -1.
int hexDigit(QChar c);

// True when the text is exactly count hexadecimal digits (either case).
bool isHexDigits(QStringView text, qsizetype count);

// Reads the text two characters at a time (a final odd character alone) as
// hexadecimal numbers; a pair stops at its first non-hex character and one
// that starts with such a character reads as 0.
QList<quint8> pairValues(QStringView hexText);

// The byte a hex text gives: its leading hexadecimal digits read as a number
// (no digit at all gives 0), kept to its low byte.
quint8 hexByte(QStringView text);

// value as digits upper-case hexadecimal digits, with leading zeros: 0x14 and 4 give "0014".
QString hexText(uint value, int digits);

} // namespace modbus
