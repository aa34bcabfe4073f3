#pragma once

#include <QString>

namespace zartav {

// Persian (U+06F0..U+06F9) and Arabic-Indic (U+0660..U+0669) digits become ASCII 0-9; every
// other character is kept as it is.
QString normalizeDigits(QString text);

// True for 0-9 and the Persian and Arabic-Indic digits.
bool isAnyDigit(QChar c);

}  // namespace zartav
