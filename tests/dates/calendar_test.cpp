#include "dates/calendar.h"
#include "pinned.h"

#include <gtest/gtest.h>

#include <set>

namespace zartav::calendar {
namespace {

TEST(Calendar, KnownAnchors) {
    struct Case {
        QDate gregorian;
        SolarDate solar;
    } cases[] = {
        {{2026, 12, 8}, {1405, 9, 17}},  {{2024, 3, 20}, {1403, 1, 1}},
        {{2025, 3, 20}, {1403, 12, 30}}, {{2025, 3, 21}, {1404, 1, 1}},
        {{2026, 3, 20}, {1404, 12, 29}}, {{2026, 3, 21}, {1405, 1, 1}},
        {{1979, 2, 11}, {1357, 11, 22}}, {{1900, 1, 1}, {1278, 10, 11}},
        {{2100, 12, 31}, {1479, 10, 10}}, {{1921, 3, 21}, {1300, 1, 1}},
        {{2000, 1, 1}, {1378, 10, 11}},  {{1981, 8, 17}, {1360, 5, 26}},
        {{2013, 1, 10}, {1391, 10, 21}}, {{2014, 8, 4}, {1393, 5, 13}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fromGregorian(c.gregorian), c.solar) << c.gregorian.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(toGregorian(c.solar), c.gregorian) << c.gregorian.toString(Qt::ISODate).toStdString();
    }
}

TEST(Calendar, LeapYears1300To1500FollowThe33YearPattern) {
    // Between the break years 1210 and 1635 a year is leap when its remainder by 33 is one of these.
    const std::set<int> leapRemainders = {1, 5, 9, 13, 17, 22, 26, 30};
    for (int year = 1300; year <= 1500; ++year) {
        const bool expected = leapRemainders.count(year % 33) == 1;
        EXPECT_EQ(isLeapYear(year), expected) << year;
        EXPECT_EQ(monthLength(year, 12), expected ? 30 : 29) << year;
        EXPECT_EQ(nowruzDayNumber(year + 1) - nowruzDayNumber(year), expected ? 366 : 365) << year;
    }
    EXPECT_TRUE(isLeapYear(1399));
    EXPECT_TRUE(isLeapYear(1403));
    EXPECT_FALSE(isLeapYear(1404));
    EXPECT_FALSE(isValid({1404, 12, 30}));
    EXPECT_TRUE(isValid({1403, 12, 30}));
    EXPECT_FALSE(isValid({1403, 7, 31}));
    EXPECT_FALSE(isValid({1403, 13, 1}));
}

TEST(Calendar, WeekdayCountsFromSaturday) {
    EXPECT_EQ(weekdayFromSaturday(SolarDate{1405, 9, 14}), 0);  // Saturday 5 December 2026
    EXPECT_EQ(weekdayFromSaturday(SolarDate{1405, 9, 17}), 3);  // Tuesday
    EXPECT_EQ(weekdayFromSaturday(SolarDate{1405, 9, 20}), 6);  // Friday
    for (qint64 jd = QDate(2024, 1, 1).toJulianDay(); jd < QDate(2024, 1, 15).toJulianDay(); ++jd)
        EXPECT_EQ(weekdayFromSaturday(jd), (QDate::fromJulianDay(jd).dayOfWeek() + 1) % 7) << jd;
}

TEST(Calendar, TodayCanBePinned) {
    {
        const test::Pinned today(setTodayForTesting, QDate(2026, 12, 8));
        EXPECT_EQ(todayGregorian(), QDate(2026, 12, 8));
    }
    EXPECT_EQ(todayGregorian(), QDate::currentDate());
}

TEST(Calendar, EveryDayRoundTrips1900To2100) {
    const qint64 first = QDate(1900, 1, 1).toJulianDay();
    const qint64 last = QDate(2100, 12, 31).toJulianDay();
    SolarDate previous = fromDayNumber(first - 1);
    for (qint64 jd = first; jd <= last; ++jd) {
        const SolarDate s = fromGregorian(QDate::fromJulianDay(jd));
        ASSERT_TRUE(isValid(s)) << jd;
        ASSERT_EQ(toDayNumber(s), jd);
        ASSERT_EQ(toGregorian(s), QDate::fromJulianDay(jd));
        // Consecutive days are consecutive dates.
        const bool nextDay = s.year == previous.year && s.month == previous.month && s.day == previous.day + 1;
        const bool nextMonth = s.year == previous.year && s.month == previous.month + 1 && s.day == 1 &&
                               previous.day == monthLength(previous.year, previous.month);
        const bool nextYear = s.year == previous.year + 1 && s.month == 1 && s.day == 1 &&
                              previous.month == 12 && previous.day == monthLength(previous.year, 12);
        ASSERT_TRUE(nextDay || nextMonth || nextYear) << jd;
        previous = s;
    }
}

TEST(Calendar, FarEndsStayConsistent) {
    for (int year : {kMinYear, -5000, -62, -61, -60, 0, 1, 3176, 3177, 3178, 3179, 5000, kMaxYear - 1}) {
        EXPECT_EQ(nowruzDayNumber(year + 1) - nowruzDayNumber(year), yearLength(year)) << year;
        const SolarDate esfandLast{year, 12, monthLength(year, 12)};
        EXPECT_EQ(fromDayNumber(toDayNumber(esfandLast)), esfandLast) << year;
        EXPECT_EQ(fromDayNumber(toDayNumber(esfandLast) + 1), (SolarDate{year + 1, 1, 1})) << year;
    }
}

}  // namespace
}  // namespace zartav::calendar
