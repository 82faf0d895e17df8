#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>

// Building a request from the window's hex text fields, and the log's text.
namespace modbus {

using Frame = std::array<quint8, 8>;

// The byte a hex text gives: its leading hexadecimal digits read as a number
// (no digit at all gives 0), kept to its low byte. Device IDs are checked
// before they get here, so every text that reaches it fits.
quint8 hexByte(QStringView text);

// The eight request bytes: the device ID read whole; the register, the data
// and the check text as four-digit fields, characters 1-2 the first byte and
// 3-4 the second.
Frame frameBytes(QStringView deviceId, quint8 function, QStringView reg, QStringView data,
                 QStringView crc);

// True when the text is exactly count hexadecimal digits (either case).
bool isHexDigits(QStringView text, qsizetype count);

// Why a device ID text cannot address a module (empty when it can): it must
// be exactly two hexadecimal digits, 01 to F7. field names the box in the message.
QString deviceIdProblem(QStringView id, QStringView field);

// "2024/03/02 07:04:09": year unpadded, the rest two digits each.
QString timeText(const QDateTime &time);

// time, " send " or " receive ", then " XX" for each byte, then CR LF.
QString logLine(const QString &time, QStringView word, QByteArrayView bytes);

// The log lines of one block, in order, none longer than maxChars (CR LF
// included, and room for one byte assumed): a block too long for one line is
// spread over as many as it needs, each with the time and the word.
QStringList logLines(const QString &time, QStringView word, QByteArrayView bytes, qsizetype maxChars);

} // namespace modbus
