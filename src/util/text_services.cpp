#include "util/text_services.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace zartav {

bool isBlank(const QString& text) {
    constexpr qsizetype kBlankWidth = 70;
    if (text.size() > kBlankWidth) return false;
    for (const QChar c : text)
        if (c != QLatin1Char(' ')) return false;
    return true;
}

bool isValidNum(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool digit = (u >= u'0' && u <= u'9') || (u >= u'\u06F0' && u <= u'\u06F9') ||
                           (u >= u'\u0660' && u <= u'\u0669');
        if (!digit && u != u'.') return false;
    }
    return true;
}

std::int32_t toInt(double x) {
    if (std::isnan(x)) return 0;
    // The 15-significant-digit text form decides which integer a value "is": a sum that lands a
    // hair below 3 still counts as 3.
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", x);
    const double reduced = std::trunc(std::strtod(text, nullptr));
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (reduced <= lo) return std::numeric_limits<std::int32_t>::min();
    if (reduced >= hi) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(reduced);
}

double to2DigitFloat(double x) {
    if (!std::isfinite(x)) return x;
    const long double scaled = static_cast<long double>(x) * 100.0L;
    // Past 2^63 there are no decimals left to round, and the integer step would overflow.
    if (std::fabs(scaled) >= 9.2e18L) return x;
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const long double rounded = std::nearbyintl(scaled);
    std::fesetround(previous);
    return static_cast<double>(rounded / 100.0L);
}

}  // namespace zartav
