#pragma once

#include <QDate>
#include <QtGlobal>
#include <optional>

// The one Solar Hijri calendar of the program. Leap years follow the 33-year arithmetic with the
// published break years (Borkowski 1996), which matches the astronomical calendar for Solar Hijri
// years -61 .. 3177. Outside those years the 33-year cycle of the nearest end is continued, so every
// function stays total and consistent (round trips hold), though such dates are not meaningful.
namespace zartav::calendar {

struct SolarDate {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const SolarDate&, const SolarDate&) = default;
    friend auto operator<=>(const SolarDate&, const SolarDate&) = default;
};

// Years handled by break-year arithmetic (astronomically exact range).
inline constexpr int kFirstExactYear = -61;
inline constexpr int kLastExactYear = 3177;
// fromDayNumber() clamps its answer into these years so that the year always fits an int.
inline constexpr int kMinYear = -999999;
inline constexpr int kMaxYear = 999999;

bool isLeapYear(int year);
// Days in the month (31 for 1-6, 30 for 7-11, 29/30 for 12); 0 for a month outside 1-12.
int monthLength(int year, int month);
int yearLength(int year);
bool isValid(SolarDate date);

// Julian day number of the date. Days beyond the month's length run on into the next months
// and months outside 1-12 move the year, so arithmetic on the fields is well defined.
qint64 toDayNumber(SolarDate date);
// The Solar Hijri date of a Julian day number (clamped into kMinYear .. kMaxYear).
SolarDate fromDayNumber(qint64 dayNumber);

// Day number of 1 Farvardin (Nowruz) of the year.
qint64 nowruzDayNumber(int year);

SolarDate fromGregorian(QDate date);  // invalid QDate gives {0, 0, 0}
QDate toGregorian(SolarDate date);

// 0 = Saturday (first day of the Persian week) .. 6 = Friday.
int weekdayFromSaturday(SolarDate date);
int weekdayFromSaturday(qint64 dayNumber);

// Today's Gregorian date: the local clock, or the date pinned by setTodayForTesting().
QDate todayGregorian();
// Pins today's date (tests); std::nullopt returns to the clock.
void setTodayForTesting(std::optional<QDate> date);

}  // namespace zartav::calendar
