#include "dates/calendar.h"

#include <array>
#include <atomic>
#include <limits>

namespace zartav::calendar {
namespace {

// Years in which the drift of the 33-year cycle is corrected (Borkowski 1996).
constexpr std::array<int, 20> kBreaks = {-61,  9,    38,   199,  426,  686,  756,
                                         818,  1111, 1181, 1210, 1635, 2060, 2097,
                                         2192, 2262, 2324, 2394, 2456, 3178};

constexpr qint64 gregorianDayNumber(qint64 y, qint64 m, qint64 d) {
    const qint64 a = (14 - m) / 12;
    const qint64 yy = y + 4800 - a;
    const qint64 mm = m + 12 * a - 3;
    return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

struct YearInfo {
    qint64 nowruz = 0;
    bool leap = false;
};

// Break-year arithmetic for one year in kFirstExactYear .. kLastExactYear.
constexpr YearInfo computeYear(int jy) {
    const int gy = jy + 621;
    int leapJ = -14;
    int jp = kBreaks[0];
    int jump = 0;
    for (std::size_t i = 1; i < kBreaks.size(); ++i) {
        const int jm = kBreaks[i];
        jump = jm - jp;
        if (jy < jm) break;
        leapJ += jump / 33 * 8 + jump % 33 / 4;
        jp = jm;
    }
    int n = jy - jp;
    leapJ += n / 33 * 8 + (n % 33 + 3) / 4;
    if (jump % 33 == 4 && jump - n == 4) ++leapJ;
    const int leapG = gy / 4 - (gy / 100 + 1) * 3 / 4 - 150;
    const int march = 20 + leapJ - leapG;
    if (jump - n < 6) n = n - jump + (jump + 4) / 33 * 33;
    int leap = ((n + 1) % 33 - 1) % 4;
    if (leap == -1) leap = 4;
    return {gregorianDayNumber(gy, 3, march), leap == 0};
}

constexpr int kTableSize = kLastExactYear - kFirstExactYear + 1;

struct Table {
    std::array<qint64, kTableSize + 1> nowruz{};  // one more: the day after the last year
    std::array<bool, kTableSize> leap{};
};

constexpr Table buildTable() {
    Table t;
    for (int i = 0; i < kTableSize; ++i) {
        const YearInfo info = computeYear(kFirstExactYear + i);
        t.nowruz[i] = info.nowruz;
        t.leap[i] = info.leap;
    }
    t.nowruz[kTableSize] = t.nowruz[kTableSize - 1] + 365 + (t.leap[kTableSize - 1] ? 1 : 0);
    return t;
}

constexpr Table kTable = buildTable();

// The 33 years at each end of the exact range repeat outward; a period is exactly as long as the
// block it repeats, so year lengths and Nowruz days stay consistent across the seam.
constexpr qint64 kLowPeriodDays = kTable.nowruz[33] - kTable.nowruz[0];
constexpr qint64 kHighPeriodDays = kTable.nowruz[kTableSize] - kTable.nowruz[kTableSize - 33];

constexpr qint64 floorDiv(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
constexpr qint64 floorMod(qint64 a, qint64 b) { return a - floorDiv(a, b) * b; }

// Maps a year to a year inside the table plus a whole number of periods (in days).
struct Folded {
    int index;          // into kTable
    qint64 shiftDays;   // to add to the table's Nowruz
};

constexpr Folded fold(qint64 year) {
    if (year < kFirstExactYear) {
        const qint64 back = kFirstExactYear - year;  // > 0
        const qint64 periods = (back + 32) / 33;
        return {static_cast<int>(year + periods * 33 - kFirstExactYear), -periods * kLowPeriodDays};
    }
    if (year > kLastExactYear) {
        const qint64 ahead = year - kLastExactYear;  // > 0
        const qint64 periods = (ahead + 32) / 33;
        return {static_cast<int>(year - periods * 33 - kFirstExactYear), periods * kHighPeriodDays};
    }
    return {static_cast<int>(year - kFirstExactYear), 0};
}

constexpr qint64 nowruzOf(qint64 year) {
    const Folded f = fold(year);
    return kTable.nowruz[f.index] + f.shiftDays;
}

constexpr bool leapOf(qint64 year) { return kTable.leap[fold(year).index]; }

static_assert(nowruzOf(1403) == 2460390);  // 20 March 2024
static_assert(leapOf(1403) && !leapOf(1404) && leapOf(1399));

// Days from Nowruz to the first of the month (months 1-12).
constexpr int daysBeforeMonth(int month) {
    return month <= 7 ? (month - 1) * 31 : 186 + (month - 7) * 30;
}

constexpr qint64 kNoOverride = std::numeric_limits<qint64>::min();
std::atomic<qint64> todayOverride{kNoOverride};

}  // namespace

bool isLeapYear(int year) { return leapOf(year); }

int monthLength(int year, int month) {
    if (month < 1 || month > 12) return 0;
    if (month <= 6) return 31;
    if (month <= 11) return 30;
    return isLeapYear(year) ? 30 : 29;
}

int yearLength(int year) { return isLeapYear(year) ? 366 : 365; }

bool isValid(SolarDate date) {
    return date.day >= 1 && date.day <= monthLength(date.year, date.month);
}

qint64 nowruzDayNumber(int year) { return nowruzOf(year); }

qint64 toDayNumber(SolarDate date) {
    const qint64 monthIndex = qint64(date.month) - 1;
    const qint64 year = qint64(date.year) + floorDiv(monthIndex, 12);
    const int month = static_cast<int>(floorMod(monthIndex, 12)) + 1;
    return nowruzOf(year) + daysBeforeMonth(month) + qint64(date.day) - 1;
}

SolarDate fromDayNumber(qint64 dayNumber) {
    const qint64 first = nowruzOf(kMinYear);
    const qint64 last = nowruzOf(kMaxYear + 1) - 1;
    if (dayNumber < first) dayNumber = first;
    if (dayNumber > last) dayNumber = last;

    // Mean year of the cycle is 12053 / 33 days; the estimate is off by at most one year.
    qint64 year = kFirstExactYear + floorDiv((dayNumber - kTable.nowruz[0]) * 33, 12053);
    if (year < kMinYear) year = kMinYear;
    if (year > kMaxYear) year = kMaxYear;
    while (year > kMinYear && nowruzOf(year) > dayNumber) --year;
    while (year < kMaxYear && nowruzOf(year + 1) <= dayNumber) ++year;

    const int dayOfYear = static_cast<int>(dayNumber - nowruzOf(year));
    SolarDate d;
    d.year = static_cast<int>(year);
    if (dayOfYear < 186) {
        d.month = dayOfYear / 31 + 1;
        d.day = dayOfYear % 31 + 1;
    } else {
        d.month = (dayOfYear - 186) / 30 + 7;
        d.day = (dayOfYear - 186) % 30 + 1;
    }
    return d;
}

SolarDate fromGregorian(QDate date) {
    if (!date.isValid()) return {};
    return fromDayNumber(date.toJulianDay());
}

QDate toGregorian(SolarDate date) { return QDate::fromJulianDay(toDayNumber(date)); }

int weekdayFromSaturday(qint64 dayNumber) {
    // Day number 0 was a Monday; Saturday is two days before.
    return static_cast<int>(floorMod(dayNumber + 2, 7));
}

int weekdayFromSaturday(SolarDate date) { return weekdayFromSaturday(toDayNumber(date)); }

QDate todayGregorian() {
    const qint64 pinned = todayOverride.load(std::memory_order_relaxed);
    if (pinned != kNoOverride) return QDate::fromJulianDay(pinned);
    return QDate::currentDate();
}

void setTodayForTesting(std::optional<QDate> date) {
    todayOverride.store(date && date->isValid() ? date->toJulianDay() : kNoOverride,
                        std::memory_order_relaxed);
}

}  // namespace zartav::calendar
