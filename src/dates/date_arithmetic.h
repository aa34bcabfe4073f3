#pragma once

#include "dates/calendar.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

// Calculations on Solar Hijri date text and time text. Every function that reads typed text
// appends the messages the user must see to `messages` (in the order they arise) and answers a
// neutral value (-1, 0 or empty text) when a text is rejected.
namespace zartav::dates {

// A typed date checked, completed and read. The year must have a four-digit form after
// completion ("اشكال در ورود تاريخ" otherwise). The day is not held against the month's length.
std::optional<calendar::SolarDate> readDate(const QString& text, int todayYear,
                                            QStringList* messages);

// The day a typed date names: as readDate, and the day must exist in its month (Esfand 30 of a
// common year does not).
std::optional<qint64> readDayNumber(const QString& text, int todayYear, QStringList* messages);

// Solar Hijri date text to Gregorian DD/MM/YYYY (empty when rejected).
QString solarToGregorianText(const QString& text, int todayYear, QStringList* messages);
// The same Gregorian date as YYYY/MM/DD.
QString solarToGregorianSqlText(const QString& text, int todayYear, QStringList* messages);

// YYYYMMDD, or -1.
int dateToInt(const QString& text, int todayYear, QStringList* messages);

// Real days from `a` to `b`: never negative unless `signedResult` and `b` lies before `a`.
// 0 when a text is rejected.
int daySubDate(const QString& a, const QString& b, bool signedResult, int todayYear,
               QStringList* messages);

// The distance between two dates on a calendar of 30-day months and 360-day years, as
// months/days ("12/00"); order does not matter. Empty when a text is rejected.
QString subDate(const QString& first, const QString& second, int todayYear, QStringList* messages);

// Day count to "months.days" on 30-day months, truncating toward zero (75 -> "2.15");
// a text that is not an integer counts as 0.
QString convertDayToMonthDay(const QString& days);

// "months/days" or a bare day count to "MM/DD"; days above 30 are carried into months the same
// way the 30-day distance carries them (31 -> 01/01, 60 -> 02/00).
QString convetToDateCompare(const QString& text);

// The date `n` days after (before, for negative n) the typed date; empty when rejected or when the
// result has no four-digit year.
QString nDayFromDate(const QString& text, int n, int todayYear, QStringList* messages);

// Time of day `duration` after `time` (both H:M or H:M:S), as HH:MM, wrapping at midnight.
// Empty when a text is rejected.
QString nMinFromTime(const QString& time, const QString& duration, QStringList* messages);

// Hours (two decimals) from `later` back to `earlier` going forward through the day: from T2 to
// T1. 0 when a text is rejected.
double subTime(const QString& t1, const QString& t2, QStringList* messages);

}  // namespace zartav::dates
