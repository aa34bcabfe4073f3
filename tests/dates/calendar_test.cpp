#include "dates/calendar.h"

#include <gtest/gtest.h>

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
        {{2000, 1, 1}, {1378, 10, 11}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fromGregorian(c.gregorian), c.solar) << c.gregorian.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(toGregorian(c.solar), c.gregorian) << c.gregorian.toString(Qt::ISODate).toStdString();
    }
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
