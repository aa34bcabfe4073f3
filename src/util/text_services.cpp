#include "util/text_services.h"

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
    if (!std::isfinite(x) || x == 0.0) return x;
    // |x| = m * 2^e with m a whole number of 53 bits; m * 100 needs at most 60 bits, so x * 100
    // is held exactly in 64-bit integers and rounded there, on any compiler.
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(x), &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int shift = 53 - exponent;
    if (shift <= 0) return x;  // a whole number already
    const std::uint64_t scaled = mantissa * 100;
    std::uint64_t whole = 0;
    if (shift < 64) {
        whole = scaled >> shift;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (whole & 1) != 0)) ++whole;
    }  // else x * 100 is below 1/16: it rounds to zero
    // Exact up to 2^53 hundredths (about 9e13); past that the nearest double of them.
    return std::copysign(static_cast<double>(whole) / 100.0, x);
}

}  // namespace zartav
