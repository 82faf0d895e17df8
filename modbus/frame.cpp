#include "modbus/frame.h"

#include "modbus/checksum.h"

#include <algorithm>

namespace modbus {

quint8 hexByte(QStringView text)
{
    uint value = 0;
    for (QChar c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        value = (value << 4 | static_cast<uint>(digit)) & 0xFF;
    }
    return static_cast<quint8>(value);
}

Frame frameBytes(QStringView deviceId, quint8 function, QStringView reg, QStringView data,
                 QStringView crc)
{
    const auto high = [](QStringView field) { return hexByte(field.mid(0, 2)); };
    const auto low = [](QStringView field) { return hexByte(field.size() > 2 ? field.mid(2, 2) : QStringView()); };
    return {hexByte(deviceId), function, high(reg), low(reg), high(data), low(data), high(crc), low(crc)};
}

bool isHexDigits(QStringView text, qsizetype count)
{
    return text.size() == count && std::all_of(text.begin(), text.end(), [](QChar c) { return hexDigit(c) >= 0; });
}

QString deviceIdProblem(QStringView id, QStringView field)
{
    const bool twoDigits = isHexDigits(id, 2);
    const quint8 value = twoDigits ? hexByte(id) : 0;
    if (twoDigits && value >= 0x01 && value <= 0xF7)
        return {};
    return QStringLiteral("%1 \"%2\" must be two hexadecimal digits from 01 to F7").arg(field, id);
}

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

QStringList logLines(const QString &time, QStringView word, QByteArrayView bytes, qsizetype maxChars)
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
