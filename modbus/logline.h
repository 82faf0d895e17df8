#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

// The lines of the traffic log: a timestamp, a word, the bytes in hex.
namespace modbus {

// "2024/03/02 07:04:09": year unpadded, the rest two digits each.
QString timeText(const QDateTime &time);

// time, " send " or " receive ", then " XX" for each byte, then CR LF.
QString logLine(const QString &time, QStringView word, QByteArrayView bytes);

// The log lines of one block, in order, none longer than maxChars (CR LF
// included, and room for one byte assumed): a block too long for one line is
// spread over as many as it needs, each with the time and the word.
QStringList logLines(const QString &time, QStringView word, QByteArrayView bytes,
                     qsizetype maxChars);

} // namespace modbus
