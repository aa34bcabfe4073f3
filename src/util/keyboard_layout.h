#pragma once

#include <QString>

namespace zartav {

inline constexpr const char* kPersianLayout = "00000429";
inline constexpr const char* kEnglishLayout = "00000409";

// Asks for a keyboard layout by its Windows layout name. Only Windows has per-program input
// locales; elsewhere the user's desktop owns the keyboard, so the request is remembered (and
// reported by activeKeyboardLayout) but changes nothing.
void activateKeyboardLayout(const QString& layoutName);
QString activeKeyboardLayout();

}  // namespace zartav
