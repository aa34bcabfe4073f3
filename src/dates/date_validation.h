#pragma once

#include <QString>
#include <QTime>

// Checking typed Solar Hijri date text (Y/M/D) and time text (H:M), the Farsi message that tells
// the user what is wrong, and the completed forms YYYY/MM/DD and HH:MM.
namespace zartav::dates {

inline const QString kDateSeparatorReason = QStringLiteral("تعداد / صحيح نيست");
inline const QString kDateCharactersReason = QStringLiteral("جهت تاريخ از اعداد 0 تا 9 استفاده كنيد");
inline const QString kDateEmptyPartMessage = QStringLiteral("اشكال در ورود تاريخ");
inline const QString kMonthReason = QStringLiteral("ماه صحيح نيست");
inline const QString kDayReason = QStringLiteral("روز صحيح نيست");

inline const QString kTimeSeparatorReason = QStringLiteral("تعداد \":\" درست نيست");
inline const QString kTimeCharactersReason = QStringLiteral("علامتهاي مجاز اعداد 1 تا 9 و علامت \":\" مي باشد");
inline const QString kTimeEmptyPartReason = QStringLiteral("اشكال در ورود ساعت");
inline const QString kHourReason = QStringLiteral("ساعت صحيح نيست");
inline const QString kMinuteReason = QStringLiteral("دقيقه صحيح نيست");

// " تاريخ  " text "  صحيح نمي باشد" CR reason.
QString dateMessage(const QString& text, const QString& reason);
// " ساعت  " text "  صحيح نمي باشد" CR reason.
QString timeMessage(const QString& text, const QString& reason);
// Shown when the clock's time does not come out as HH:MM.
QString nowTimeFallbackMessage(const QString& text);

// Blanks and control characters dropped from both ends, Persian and Arabic-Indic digits read as 0-9.
QString cleanTypedText(const QString& text);

struct DateCheck {
    bool ok = false;
    QString message;  // the one message for a rejected text, empty when accepted
    bool badShape = false;  // rejected for its shape: not three parts between two "/"
    QString text;     // the text as checked (cleaned)
    QString year;     // digits as typed
    int month = 0;
    int day = 0;
};

// Accepts Y/M/D: exactly two "/", digits only, no empty part, month 1-12, day 1-31 (the day is not
// held against the month's length). A year may have any number of digits.
DateCheck checkDate(const QString& text);

// The message for a day past the length of its month (31 in months 7 to 12, 30 in Esfand of a
// common year) in `year`, whose reason is "اين ماه بيش از 30 روز ندارد" (with the month's
// length); empty when the day is within it.
QString dayPastMonthMessage(const QString& text, int year, int month, int day);

// checkDate, and then the day held against its month in the year as completed around
// `todayYear`: a date that never occurs is refused with that message. How typed and
// imported dates are checked; what is stored is read as it is.
DateCheck checkExistingDate(const QString& text, int todayYear);

// YYYY/MM/DD of an accepted date: short years completed around `todayYear`, month and day as two
// digits of their values. Empty for a rejected check.
QString completeDate(const DateCheck& check, int todayYear);

struct TimeCheck {
    bool ok = false;
    QString message;
    QString text;  // cleaned, with ":00" appended when it had no ":"
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Accepts H:M (or H alone, read as H:00): hour 0-23, minute 0-59. With `allowSeconds`, H:M:S is
// accepted too (second 0-59; a wrong second is reported as a wrong minute).
TimeCheck checkTime(const QString& text, bool allowSeconds = false);

// HH:MM of an accepted time. Empty for a rejected check.
QString completeTime(const TimeCheck& check);

// HH:MM of a clock time; a time that gives no such text (an invalid QTime) gives "00:00" and sets
// `message` to the fallback message.
QString formatNowTime(QTime time, QString* message);

}  // namespace zartav::dates
