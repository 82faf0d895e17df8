#include "modbus/logline.h"

namespace modbus {

QString timeText(const QDateTime &time)
{
    return QString::number(time.date().year()) + time.toString(QStringLiteral("/MM/dd HH:mm:ss"));
}

QString logLine(const QString &time, QStringView word, QByteArrayView bytes)
{
    QString line = time + u' ' + word.toString() + u' ';
    line.reserve(line.size() + bytes.size() * 3 + 2);
    // Digit by digit: a flood of bytes is logged as fast as it comes.
    static constexpr char digits[] = "0123456789ABCDEF";
    for (char b : bytes) {
        line += u' ';
        line += QLatin1Char(digits[static_cast<quint8>(b) >> 4]);
        line += QLatin1Char(digits[static_cast<quint8>(b) & 0x0F]);
    }
    return line + QStringLiteral("\r\n");
}

QStringList logLines(const QString &time, QStringView word, QByteArrayView bytes,
                     qsizetype maxChars)
{
    constexpr qsizetype CharsPerByte = 3; // " XX"
    const qsizetype frame = logLine(time, word, {}).size();
    const qsizetype perLine = qMax<qsizetype>(1, (maxChars - frame) / CharsPerByte);
    QStringList lines;
    qsizetype at = 0;
    do {
        lines << logLine(time, word, bytes.sliced(at, qMin(perLine, bytes.size() - at)));
        at += perLine;
    } while (at < bytes.size());
    return lines;
}

} // namespace modbus
