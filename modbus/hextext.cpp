#include "modbus/hextext.h"

#include <algorithm>

namespace modbus {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

bool isHexDigits(QStringView text, qsizetype count)
{
    return text.size() == count
           && std::all_of(text.begin(), text.end(), [](QChar c) { return hexDigit(c) >= 0; });
}

QList<quint8> pairValues(QStringView hexText)
{
    QList<quint8> values;
    for (qsizetype p = 0; p < hexText.size(); p += 2) {
        int value = 0;
        for (QChar c : hexText.mid(p, 2)) {
            const int digit = hexDigit(c);
            if (digit < 0)
                break;
            value = value * 16 + digit;
        }
        values << static_cast<quint8>(value);
    }
    return values;
}

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

QString hexText(uint value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

} // namespace modbus
