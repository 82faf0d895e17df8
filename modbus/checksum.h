#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>

// The check fields of Modbus frames: CRC-16 of RTU, LRC of ASCII.
namespace modbus {

using CrcTable = std::array<quint8, 256>;

// The two halves of the table-driven CRC-16 (reflected polynomial 0xA001):
// hi holds the low byte of each entry, lo the high byte, as the Modbus
// serial-line tables auchCRCHi and auchCRCLo do.
CrcTable crcHiTable();
CrcTable crcLoTable();

// CRC-16 in transmission order, four upper-case digits (low byte first), of
// the text read as pairValues reads it.
QString crcText(QStringView text, const CrcTable &hi, const CrcTable &lo);

// CRC-16 of bytes as a number; the low byte goes on the line first.
quint16 crc16(QByteArrayView bytes);

// An RTU frame: the bytes with their CRC-16 appended, low byte first.
QByteArray withCrc(QByteArray frame);

// True when the last two bytes are the CRC-16 of the others (at least id and
// function before them).
bool crcFits(QByteArrayView frame);

// LRC of Modbus ASCII, two upper-case digits.
QString lrcText(QStringView text);

} // namespace modbus
