// The output value text of "Setup VO1/VO2": any text, read in one of several
// locales as the operator's own way of writing numbers.
#include "config/values.h"
#include "fuzz/fuzz.h"

#include <QLocale>

#include <algorithm>
#include <iterator>

namespace {

// Locales that write numbers differently: decimal comma, dot, apostrophe,
// narrow or no-break space as group separator, a minus sign of their own,
// Arabic-Indic and Persian digits.
const QLocale locales[] = {
    QLocale::c(),
    QLocale(QLocale::English, QLocale::UnitedStates),
    QLocale(QLocale::German, QLocale::Germany),
    QLocale(QLocale::French, QLocale::France),
    QLocale(QLocale::German, QLocale::Switzerland),
    QLocale(QLocale::Swedish, QLocale::Sweden),
    QLocale(QLocale::Arabic, QLocale::Egypt),
    QLocale(QLocale::Persian, QLocale::Iran),
    QLocale(QLocale::Hindi, QLocale::India),
    QLocale(QLocale::Chinese, QLocale::China),
};

int valueOf(const QString &hex)
{
    bool ok = false;
    const int value = hex.toInt(&ok, 16);
    return ok ? value : -1;
}

bool isValueText(const QString &text)
{
    return text.size() == 4 && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
           });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const QLocale &locale = locales[input.byte() % std::size(locales)];
    QLocale::setDefault(locale);
    const quint16 number = static_cast<quint16>(input.byte() << 8 | input.byte());
    const QByteArrayView rest = input.rest();
    const QString typed = QString::fromUtf8(rest.data(), rest.size());

    QString problem;
    const auto value = config::outputValueText(typed, QStringLiteral("VO1"), &problem);
    if (value) {
        FUZZ_CHECK(isValueText(*value));
    } else {
        FUZZ_CHECK(problem
                   == QStringLiteral("VO1 \"%1\" must be a number from 0 to 65535 (millivolts)")
                          .arg(typed));
    }

    // Whatever the locale, a number it writes is taken as that number,
    // rounded half to even: 1500 and 1.500,4 give 1500, 2.5 gives 2, 3.5 gives 4.
    const auto written = [&](double x, int decimals) {
        return config::outputValueText(locale.toString(x, 'f', decimals), QStringLiteral("VO1"),
                                       &problem);
    };
    const auto whole
        = config::outputValueText(locale.toString(number), QStringLiteral("VO1"), &problem);
    FUZZ_CHECK(whole && valueOf(*whole) == number);
    const auto fraction = written(number + 0.25, 2);
    FUZZ_CHECK(fraction && valueOf(*fraction) == number);
    if (number < 65535) {
        const auto half = written(number + 0.5, 1);
        FUZZ_CHECK(half && valueOf(*half) == (number % 2 == 0 ? number : number + 1));
    }
    FUZZ_CHECK(!written(-1, 0) && !written(65535.5, 1) && !written(65536, 0));
    return 0;
}
