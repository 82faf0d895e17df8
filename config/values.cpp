#include "config/values.h"

#include "modbus/hextext.h"

#include <QLocale>

#include <cmath>

namespace config {

QString baudValueText(const QString &newId, int baudCode)
{
    return newId + u'0' + QString::number(baudCode, 16).toUpper();
}

QString formatValueText(int parityCode, int lengthCode, int stopCode)
{
    return QString::number(parityCode, 16).toUpper()
           + QString::number(lengthCode + stopCode, 16).toUpper() + QStringLiteral("00");
}

std::optional<QString> outputValueText(const QString &typed, const QString &field, QString *why)
{
    // The operator's own way of writing numbers first, then the plain one.
    bool ok = false;
    double number = QLocale().toDouble(typed.trimmed(), &ok);
    if (!ok)
        number = QLocale::c().toDouble(typed.trimmed(), &ok);
    const double rounded = ok && std::isfinite(number) ? std::nearbyint(number) : -1;
    if (rounded < 0 || rounded > 65535) {
        if (why)
            *why = QStringLiteral("%1 \"%2\" must be a number from 0 to 65535 (millivolts)")
                       .arg(field, typed);
        return std::nullopt;
    }
    return modbus::hexText(static_cast<uint>(rounded), 4);
}

} // namespace config
