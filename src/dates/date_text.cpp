#include "dates/date_text.h"

#include <array>

namespace zartav::dates {
namespace {

// 0-9 for ASCII, Persian and Arabic-Indic digits; -1 otherwise.
inline int digitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= 0x06F0 && c <= 0x06F9) return c - 0x06F0;
    if (c >= 0x0660 && c <= 0x0669) return c - 0x0660;
    return -1;
}

inline void putDigits(char16_t*& out, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char16_t(u'0' + value % 10);
        value /= 10;
    }
    out += width;
}

}  // namespace

int currentSolarYear() { return calendar::fromGregorian(calendar::todayGregorian()).year; }

int windowedYear(int shortYear, int todayYear) {
    const int first = todayYear - kShortYearYearsBack;
    const int offset = ((shortYear - first) % 100 + 100) % 100;
    return first + offset;
}

QString completeYearText(QStringView digits, int todayYear) {
    if (digits.size() <= 2) {
        int value = 0;
        for (QChar c : digits) value = value * 10 + (c.unicode() - u'0');
        return QString::number(windowedYear(value, todayYear));
    }
    if (digits.size() == 3) return QLatin1Char('1') + digits.toString();
    while (digits.size() > 4 && digits.front() == u'0') digits = digits.mid(1);
    return digits.toString();
}

int completeYearNumber(int year, int todayYear) {
    if (year >= 0 && year <= 99) return windowedYear(year, todayYear);
    if (year >= 100 && year <= 999) return 1000 + year;
    return year;
}

std::optional<int> readInteger(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == n) return std::nullopt;
    qint64 value = 0;
    for (; i < n; ++i) {
        const int d = digitValue(text[i].unicode());
        if (d < 0) return std::nullopt;
        value = value * 10 + d;
        if (value > qint64(2147483648LL)) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return std::nullopt;
    return static_cast<int>(value);
}

QString formatSolar(calendar::SolarDate date) {
    if (date.year < 0 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > 99)
        return {};
    std::array<char16_t, 10> buf;
    char16_t* out = buf.data();
    putDigits(out, date.year, 4);
    *out++ = u'/';
    putDigits(out, date.month, 2);
    *out++ = u'/';
    putDigits(out, date.day, 2);
    return QString(reinterpret_cast<const QChar*>(buf.data()), buf.size());
}

QString formatGregorian(QDate date) {
    if (!date.isValid() || date.year() < 1 || date.year() > 9999) return {};
    std::array<char16_t, 10> buf;
    char16_t* out = buf.data();
    putDigits(out, date.day(), 2);
    *out++ = u'/';
    putDigits(out, date.month(), 2);
    *out++ = u'/';
    putDigits(out, date.year(), 4);
    return QString(reinterpret_cast<const QChar*>(buf.data()), buf.size());
}

std::optional<QDate> readGregorian(QStringView text) {
    const qsizetype first = text.indexOf(u'/');
    if (first < 0) return std::nullopt;
    const qsizetype second = text.indexOf(u'/', first + 1);
    if (second < 0) return std::nullopt;
    const auto day = readInteger(text.first(first));
    const auto month = readInteger(text.sliced(first + 1, second - first - 1));
    const auto year = readInteger(text.sliced(second + 1));
    if (!day || !month || !year) return std::nullopt;
    const QDate date(*year, *month, *day);
    if (!date.isValid()) return std::nullopt;
    return date;
}

QString gregorianTextToSolar(QStringView text) {
    const auto date = readGregorian(text);
    if (!date) return {};
    return formatSolar(calendar::fromGregorian(*date));
}

QString convertDateFormat(const QString& date, const QString& from, const QString& to) {
    const auto is = [](const QString& layout, QLatin1StringView name) {
        return layout.compare(name, Qt::CaseInsensitive) == 0;
    };
    const QChar slash = u'/';
    if (is(from, QLatin1StringView("D/M/Y")) && is(to, QLatin1StringView("Y/M/D")))
        return date.mid(6, 4) + slash + date.mid(3, 2) + slash + date.mid(0, 2);
    if (is(from, QLatin1StringView("Y/M/D")) && is(to, QLatin1StringView("M/D/Y")))
        return date.mid(5, 2) + slash + date.mid(8, 2) + slash + date.mid(0, 4);
    return {};
}

}  // namespace zartav::dates
