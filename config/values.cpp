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

namespace {

// The operator's own way of writing numbers first, then the plain one.
std::optional<double> typedNumber(const QString &typed)
{
    bool ok = false;
    double number = QLocale().toDouble(typed.trimmed(), &ok);
    if (!ok)
        number = QLocale::c().toDouble(typed.trimmed(), &ok);
    return ok && std::isfinite(number) ? std::optional(number) : std::nullopt;
}

// The most the module's outputs take, as their labels say (0~10000).
constexpr double MostMillivolts = 10000;

} // namespace

std::optional<QString> outputValueText(const QString &typed, const QString &field, QString *why)
{
    const std::optional<double> number = typedNumber(typed);
    const double rounded = number ? std::nearbyint(*number) : -1;
    if (rounded < 0 || rounded > 65535) {
        if (why)
            *why = QStringLiteral("%1 \"%2\" must be a number from 0 to 65535 (millivolts)")
                       .arg(field, typed);
        return std::nullopt;
    }
    return modbus::hexText(static_cast<uint>(rounded), 4);
}

QString outputNote(const QString &typed, const QString &field)
{
    const std::optional<double> number = typedNumber(typed);
    if (!number)
        return {};
    const double sent = std::nearbyint(*number);
    if (sent != *number)
        return QStringLiteral("%1 set to %2 mV: the box takes millivolts, 1500 means 1.5 V")
            .arg(field)
            .arg(sent);
    if (sent > MostMillivolts)
        return QStringLiteral("%1 set to %2 mV, above the %3 mV the module takes: check the value")
            .arg(field)
            .arg(sent)
            .arg(MostMillivolts);
    return {};
}

} // namespace config
