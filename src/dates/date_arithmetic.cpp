#include "dates/date_arithmetic.h"

#include "dates/date_text.h"
#include "dates/date_validation.h"
#include "util/digits.h"

#include <cmath>
#include <limits>

namespace zartav::dates {
namespace {

void note(QStringList* messages, const QString& text) {
    if (messages) messages->append(text);
}

QString twoDigits(qint64 value) {
    const QString text = QString::number(value);
    return text.size() < 2 ? QLatin1Char('0') + text : text;
}

}  // namespace

std::optional<calendar::SolarDate> readDate(const QString& text, int todayYear,
                                            QStringList* messages) {
    const DateCheck check = checkDate(text);
    if (!check.ok) {
        note(messages, check.message);
        return std::nullopt;
    }
    const QString year = completeYearText(check.year, todayYear);
    if (year.size() > 4) {
        note(messages, kDateEmptyPartMessage);
        return std::nullopt;
    }
    return calendar::SolarDate{year.toInt(), check.month, check.day};
}

std::optional<qint64> readDayNumber(const QString& text, int todayYear, QStringList* messages) {
    const auto date = readDate(text, todayYear, messages);
    if (!date) return std::nullopt;
    // Esfand 30 of a common year would run on into 1 Farvardin: a day that never occurs.
    if (const QString past = dayPastMonthMessage(cleanTypedText(text), date->year, date->month, date->day);
        !past.isEmpty()) {
        note(messages, past);
        return std::nullopt;
    }
    return calendar::toDayNumber(*date);
}

QString solarToGregorianText(const QString& text, int todayYear, QStringList* messages) {
    const auto day = readDayNumber(text, todayYear, messages);
    if (!day) return {};
    const QString result = formatGregorian(QDate::fromJulianDay(*day));
    if (result.isEmpty()) note(messages, kDateEmptyPartMessage);
    return result;
}

QString solarToGregorianSqlText(const QString& text, int todayYear, QStringList* messages) {
    const QString g = solarToGregorianText(text, todayYear, messages);
    if (g.isEmpty()) return {};
    return g.mid(6, 4) + u'/' + g.mid(3, 2) + u'/' + g.mid(0, 2);
}

int dateToInt(const QString& text, int todayYear, QStringList* messages) {
    const DateCheck check = checkDate(text);
    if (!check.ok) {
        note(messages, check.message);
        return -1;
    }
    const QString year = completeYearText(check.year, todayYear);
    const bool fits = year.size() <= 6;
    const qint64 value = fits ? year.toLongLong() * 10000 + check.month * 100 + check.day : 0;
    if (!fits || value > std::numeric_limits<int>::max()) {
        note(messages, kDateEmptyPartMessage);
        return -1;
    }
    return static_cast<int>(value);
}

int daySubDate(const QString& a, const QString& b, bool signedResult, int todayYear,
               QStringList* messages) {
    const auto from = readDate(a, todayYear, messages);
    const auto to = readDate(b, todayYear, messages);
    if (!from || !to) return 0;
    const qint64 days = calendar::toDayNumber(*to) - calendar::toDayNumber(*from);
    return static_cast<int>(signedResult ? days : std::abs(days));
}

QString subDate(const QString& first, const QString& second, int todayYear,
                QStringList* messages) {
    auto a = readDate(first, todayYear, messages);
    auto b = readDate(second, todayYear, messages);
    if (!a || !b) return {};
    if (*a < *b) std::swap(a, b);
    const auto on360 = [](calendar::SolarDate d) {
        return qint64(d.year) * 360 + d.month * 30 + d.day;
    };
    qint64 n = on360(*a) - on360(*b);
    // Strict tests: exactly 360 days is carried as 12 months below, but a remainder of exactly
    // 30 days stays days.
    qint64 months = 0;
    if (n > 360) {
        months = 12 * (n / 360);
        n %= 360;
    }
    if (n > 30) {
        months += n / 30;
        n %= 30;
    }
    return twoDigits(months) + u'/' + twoDigits(n);
}

QString convertDayToMonthDay(const QString& days) {
    const int n = readInteger(days).value_or(0);
    return QString::number(n / 30) + u'.' + QString::number(n % 30);
}

QString convetToDateCompare(const QString& text) {
    const QString t = normalizeDigits(text);
    QString months;
    QString days;
    const qsizetype slash = t.indexOf(u'/');
    if (slash >= 0) {
        months = t.first(slash);
        days = t.mid(slash + 1, 100);
    } else {
        months = QStringLiteral("00");
        days = t;
    }
    if (const auto d = readInteger(days); d && *d > 30) {
        days = QString::number(*d % 30);
        months = QString::number(qint64(readInteger(months).value_or(0)) + *d / 30);
    }
    if (days.size() == 1) days.prepend(u'0');
    if (months.size() == 1) months.prepend(u'0');
    return months + u'/' + days;
}

QString nDayFromDate(const QString& text, int n, int todayYear, QStringList* messages) {
    const auto day = readDayNumber(text, todayYear, messages);
    if (!day) return {};
    return formatSolar(calendar::fromDayNumber(*day + n));
}

QString nMinFromTime(const QString& time, const QString& duration, QStringList* messages) {
    const TimeCheck a = checkTime(time, true);
    if (!a.ok) note(messages, a.message);
    const TimeCheck b = checkTime(duration, true);
    if (!b.ok) note(messages, b.message);
    if (!a.ok || !b.ok) return {};
    const int seconds = (a.hour + b.hour) * 3600 + (a.minute + b.minute) * 60 + a.second + b.second;
    return QTime(0, 0).addSecs(seconds).toString(QStringLiteral("HH:mm"));
}

double subTime(const QString& t1, const QString& t2, QStringList* messages) {
    const TimeCheck a = checkTime(t1);
    if (!a.ok) note(messages, a.message);
    const TimeCheck b = checkTime(t2);
    if (!b.ok) note(messages, b.message);
    if (!a.ok || !b.ok) return 0;
    const int minutesA = a.hour * 60 + a.minute;
    const int minutesB = b.hour * 60 + b.minute;
    int diff = minutesA - minutesB;
    if (minutesB >= minutesA) diff += 24 * 60;
    diff %= 24 * 60;
    const int hours = diff / 60;
    const int minutes = diff % 60;
    return std::round((hours + minutes / 60.0) * 100.0) / 100.0;
}

}  // namespace zartav::dates
