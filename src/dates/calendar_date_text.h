#pragma once

#include "dates/calendar.h"

#include <QString>
#include <optional>

// Date text as the calendar grid reads and writes it. The grid has its own, stricter reading of
// typed dates than the entry boxes: it checks the day against the month, and it tells the user
// which field is wrong in one of five messages.
namespace zartav::calendar_text {

// Years the grid shows and accepts: every year the calendar core computes exactly that a
// four-digit date text can name.
inline constexpr int kFirstYear = 1;
inline constexpr int kLastYear = calendar::kLastExactYear;

inline const QString kYearMessage = QStringLiteral(".سال اشتباه وارد شده است");
inline const QString kMonthMessage = QStringLiteral(".ماه اشتباه وارد شده است");
inline const QString kDateMessage = QStringLiteral(".تاريخ اشتباه وارد شده است");
inline const QString kEsfandMessage = QStringLiteral(".ماه اسفند فقط در سالهاي كبيسه 30 روزه است");
inline const QString kDayMessage = QStringLiteral(".روز اشتباه وارد شده است");

// Reads Y/M/D (short years completed, Persian digits accepted). On a wrong text shows the one
// message naming the wrong field and answers nothing.
std::optional<calendar::SolarDate> normalise(const QString& text);

// YYYY/MM/DD.
QString format(calendar::SolarDate date);

// True when `text` is exactly a date in the form format() writes (no message).
bool isNormalisedText(const QString& text);

}  // namespace zartav::calendar_text
