#include "dates/date_validation.h"

#include "dates/calendar.h"
#include "dates/date_text.h"
#include "util/digits.h"

namespace zartav::dates {
namespace {

const QString kDateLead = QStringLiteral(" تاريخ  ");
const QString kTimeLead = QStringLiteral(" ساعت  ");
const QString kNotCorrect = QStringLiteral("  صحيح نمي باشد");

inline bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Value of a run of ASCII digits, held at a ceiling far above any range checked here, so a part
// too long for 32 bits is simply out of range.
int cappedValue(QStringView digits) {
    constexpr int kCeiling = 1'000'000;
    int value = 0;
    for (QChar c : digits) {
        value = value * 10 + (c.unicode() - u'0');
        if (value >= kCeiling) return kCeiling;
    }
    return value;
}

QString twoDigits(int value) { return QString::number(value).rightJustified(2, u'0'); }

}  // namespace

QString dateMessage(const QString& text, const QString& reason) {
    return kDateLead + text + kNotCorrect + QChar(u'\r') + reason;
}

QString timeMessage(const QString& text, const QString& reason) {
    return kTimeLead + text + kNotCorrect + QChar(u'\r') + reason;
}

QString nowTimeFallbackMessage(const QString& text) {
    return QStringLiteral("ساعت ") + text +
           QStringLiteral("    صحيح نمي باشد . ساعت به 00:00  تغيير يافت");
}

QString cleanTypedText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20) ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20) --end;
    return normalizeDigits(text.sliced(begin, end - begin));
}

DateCheck checkDate(const QString& text) {
    DateCheck check;
    check.text = cleanTypedText(text);
    const QString& t = check.text;
    if (t.count(u'/') != 2) {
        check.message = dateMessage(t, kDateSeparatorReason);
        check.badShape = true;
        return check;
    }
    for (QChar c : t) {
        if (c != u'/' && !isAsciiDigit(c)) {
            check.message = dateMessage(t, kDateCharactersReason);
            return check;
        }
    }
    const qsizetype first = t.indexOf(u'/');
    const qsizetype second = t.indexOf(u'/', first + 1);
    const QStringView year = QStringView(t).first(first);
    const QStringView month = QStringView(t).sliced(first + 1, second - first - 1);
    const QStringView day = QStringView(t).sliced(second + 1);
    if (year.isEmpty() || month.isEmpty() || day.isEmpty()) {
        check.message = kDateEmptyPartMessage;
        check.badShape = true;
        return check;
    }
    check.month = cappedValue(month);
    if (check.month < 1 || check.month > 12) {
        check.message = dateMessage(t, kMonthReason);
        return check;
    }
    check.day = cappedValue(day);
    if (check.day < 1 || check.day > 31) {
        check.message = dateMessage(t, kDayReason);
        return check;
    }
    check.year = year.toString();
    check.ok = true;
    return check;
}

QString dayPastMonthMessage(const QString& text, int year, int month, int day) {
    const int length = calendar::monthLength(year, month);
    return day > length ? dateMessage(text, QStringLiteral("اين ماه بيش از %1 روز ندارد").arg(length)) : QString();
}

DateCheck checkExistingDate(const QString& text, int todayYear) {
    DateCheck check = checkDate(text);
    if (!check.ok) return check;
    bool readable = false;
    const int year = completeYearText(check.year, todayYear).toInt(&readable);
    // A year no calendar reaches (ten digits and more) has nothing to be held against.
    if (!readable) return check;
    check.message = dayPastMonthMessage(check.text, year, check.month, check.day);
    check.ok = check.message.isEmpty();
    return check;
}

QString completeDate(const DateCheck& check, int todayYear) {
    if (!check.ok) return {};
    return completeYearText(check.year, todayYear) + u'/' + twoDigits(check.month) + u'/' +
           twoDigits(check.day);
}

TimeCheck checkTime(const QString& text, bool allowSeconds) {
    TimeCheck check;
    check.text = cleanTypedText(text);
    if (!check.text.contains(u':')) check.text += QStringLiteral(":00");
    const QString& t = check.text;
    const qsizetype colons = t.count(u':');
    if (colons != 1 && !(allowSeconds && colons == 2)) {
        check.message = timeMessage(t, kTimeSeparatorReason);
        return check;
    }
    for (QChar c : t) {
        if (c != u':' && !isAsciiDigit(c)) {
            check.message = timeMessage(t, kTimeCharactersReason);
            return check;
        }
    }
    const QStringList parts = t.split(u':');
    for (const QString& part : parts) {
        if (part.isEmpty()) {
            check.message = timeMessage(t, kTimeEmptyPartReason);
            return check;
        }
    }
    check.hour = cappedValue(parts[0]);
    if (check.hour >= 24) {
        check.message = timeMessage(t, kHourReason);
        return check;
    }
    check.minute = cappedValue(parts[1]);
    check.second = parts.size() > 2 ? cappedValue(parts[2]) : 0;
    if (check.minute >= 60 || check.second >= 60) {
        check.message = timeMessage(t, kMinuteReason);
        return check;
    }
    check.ok = true;
    return check;
}

QString completeTime(const TimeCheck& check) {
    if (!check.ok) return {};
    return twoDigits(check.hour) + u':' + twoDigits(check.minute);
}

QString formatNowTime(QTime time, QString* message) {
    const QString text = time.isValid() ? time.toString(QStringLiteral("HH:mm")) : QString();
    if (text.size() == 5) return text;
    if (message) *message = nowTimeFallbackMessage(text);
    return QStringLiteral("00:00");
}

}  // namespace zartav::dates
