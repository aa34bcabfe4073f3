#include "dates/calendar_date_text.h"

#include "dates/date_text.h"
#include "util/dialogs.h"
#include "util/digits.h"

namespace zartav::calendar_text {
namespace {

std::optional<calendar::SolarDate> reject(const QString& message) {
    showError(message);
    return std::nullopt;
}

}  // namespace

std::optional<calendar::SolarDate> normalise(const QString& typed) {
    const QString text = normalizeDigits(typed);

    // Fields are read like any typed number (blanks before, a sign); the year's digits are then
    // completed like every short year the user types.
    const qsizetype firstSlash = text.indexOf(u'/');
    const QString yearPart = firstSlash < 0 ? QString() : text.left(firstSlash);
    const auto yearValue = dates::readInteger(yearPart);
    if (!yearValue) return reject(kYearMessage);
    QString yearDigits = yearPart.trimmed();
    if (yearDigits.startsWith(u'+') || yearDigits.startsWith(u'-')) yearDigits.remove(0, 1);
    if (*yearValue < 0 || yearDigits.size() > 9) return reject(kYearMessage);
    const int year = dates::completeYearText(yearDigits, dates::currentSolarYear()).toInt();
    if (year < kFirstYear || year > kLastYear) return reject(kYearMessage);

    const QString rest = text.mid(firstSlash + 1);
    const qsizetype secondSlash = rest.indexOf(u'/');
    const auto month = dates::readInteger(secondSlash < 0 ? QStringView() : QStringView(rest).left(secondSlash));
    if (!month || *month < 1 || *month > 12) return reject(kMonthMessage);

    const auto day = secondSlash < 0 ? std::nullopt : dates::readInteger(QStringView(rest).mid(secondSlash + 1));
    if (!day) return reject(kDateMessage);

    const calendar::SolarDate date{year, *month, *day};
    if (date.month == 12 && date.day == 30 && !calendar::isLeapYear(year)) return reject(kEsfandMessage);
    if (date.day < 1 || date.day > calendar::monthLength(year, date.month)) return reject(kDayMessage);
    return date;
}

QString format(calendar::SolarDate date) { return dates::formatSolar(date); }

bool isNormalisedText(const QString& text) {
    if (text.size() != 10 || text[4] != u'/' || text[7] != u'/') return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < u'0' || text[i] > u'9') return false;
    const calendar::SolarDate date{text.left(4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt()};
    return date.year >= kFirstYear && date.year <= kLastYear && calendar::isValid(date);
}

}  // namespace zartav::calendar_text
