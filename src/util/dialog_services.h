#pragma once

#include <QString>
#include <cstdint>

namespace zartav {

// The dialog, keyboard and number services of TTools.
class DialogServices {
public:
    // Start-up work of the utility object: the program's date and time patterns and the Persian
    // keyboard layout.
    void FormCreate();
    // Puts the date and time patterns back (after something else changed them).
    void SetConfigAgain();

    void ShowMsg(const QString& text);
    // 6 for "بله", 7 for "خير" (and Escape), 2 when closed through the title bar.
    int AskYesNo(const QString& text);
    bool InQuery(const QString& prompt, QString& value);
    bool PassInQuery(const QString& prompt, QString& value);

    void SwitchToFarsi();
    void SwitchToEnglish();
    // Opens a file with the desktop's associated program; the outcome is not examined.
    void ExecuteFile(const QString& path);

    bool IsBlank(const QString& text) const;
    bool IsValidNum(const QString& text) const;
    std::int32_t ToInt(double x) const;
    double To2DigitFloat(double x) const;
    std::int32_t Max(std::int32_t a, std::int32_t b) const { return a > b ? a : b; }
    std::int32_t Min(std::int32_t a, std::int32_t b) const { return b < a ? b : a; }
};

}  // namespace zartav
