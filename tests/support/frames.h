#pragma once

#include <QByteArray>

// Frames the tests share, and the reference they check the tool's CRC by.

// CRC-16 of Modbus RTU worked bit by bit, independent of the tool's tables.
quint16 referenceCrc16(const QByteArray &bytes);
// Frame bytes from hex text, with check bytes by the reference CRC.
QByteArray framed(const QByteArray &hex);

// The tool's read of V1 at device 01, and the module's answer: 1500 (1.5 V).
inline const QByteArray ReadV1 = QByteArray::fromHex("010300040001C5CB");
inline const QByteArray V1Is1500 = QByteArray::fromHex("01030205DCBA8D");
