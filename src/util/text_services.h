#pragma once

#include <QString>
#include <cstdint>

namespace zartav {

// True for the empty text and for 1 to 70 spaces (the width of a blank form line); a tab, or 71
// spaces and more, is not blank.
bool isBlank(const QString& text);

// True when every character is a digit or a point; the empty text is valid. Persian and
// Arabic-Indic digits count as digits (the Persian keyboard types them).
bool isValidNum(const QString& text);

// Truncates toward zero after reducing x to 15 significant digits, so 2.9999999999999996 gives 3.
// Values beyond the 32-bit range saturate at its ends; NaN gives 0.
std::int32_t toInt(double x);

// Rounds to two decimals, ties to even, with x × 100 formed in extended precision
// (0.125 → 0.12, 2.345 → 2.35, 1.005 → 1.0). Values too large to carry decimals come back as they are.
double to2DigitFloat(double x);

}  // namespace zartav
