#include "core/format_clock.h"

#include <QLocale>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace mx {

double roundHalfEven(double value) {
    // nearbyint follows the current rounding mode; make sure it is the default one.
    const int mode = std::fegetround();
    if (mode != FE_TONEAREST) {
        std::fesetround(FE_TONEAREST);
    }
    const double result = std::nearbyint(value);
    if (mode != FE_TONEAREST) {
        std::fesetround(mode);
    }
    return result;
}

QString FormatClock(double seconds) {
    double rounded = roundHalfEven(seconds);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min())) {
        rounded = std::numeric_limits<std::int32_t>::min();  // also NaN
    } else if (rounded > std::numeric_limits<std::int32_t>::max()) {
        rounded = std::numeric_limits<std::int32_t>::max();
    }
    const auto s = static_cast<std::int32_t>(rounded);
    const std::int32_t h = s / 3600;
    const std::int32_t r = s - 3600 * h;
    const std::int32_t m = r / 60;
    const std::int32_t c = r - 60 * m;
    auto field = [](std::int32_t v) {
        return v > 9 ? QString::number(v) : QStringLiteral("0") + QString::number(v);
    };
    return field(h) + QLatin1Char(':') + field(m) + QLatin1Char(':') + field(c);
}

QString formatGeneral(double value) {
    if (value == 0) {
        return QStringLiteral("0");
    }
    // %.15g gives at most 15 significant digits without trailing zeros; exponent form only
    // for very large or small numbers, as the general format does.
    QString text = QString::asprintf("%.15G", value);
    const QChar point = QLocale::system().decimalPoint().at(0);
    if (point != QLatin1Char('.')) {
        text.replace(QLatin1Char('.'), point);
    }
    return text;
}

}  // namespace mx
