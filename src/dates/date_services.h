#pragma once

#include "dates/calendar.h"

#include <QString>
#include <optional>

class QObject;

namespace zartav {

// The Solar Hijri date and time services of TTools: conversion both ways, checking and completing
// typed dates and times, and date arithmetic. The work is done in dates/date_text,
// dates/date_validation and dates/date_arithmetic; these methods show the messages and keep
// today's date.
class DateServices {
public:
    // --- conversion
    // Gregorian DD/MM/YYYY (one-digit day and month accepted) to Solar Hijri YYYY/MM/DD; empty
    // text when the text names no real day.
    QString ToFarsiDate(const QString& gregorian) const;
    // Real leap years; a year of one or two digits is completed around today's year.
    bool IsKabise(int year);
    // Today's Solar Hijri date, fixed once for the whole run (by InitToday at start-up, or at the
    // first request).
    QString FarsiToday();
    // Fixes today's date from the clock (calendar::todayGregorian()).
    void InitToday();
    // "D/M/Y" -> "Y/M/D" or "Y/M/D" -> "M/D/Y"; any other pair gives empty text.
    QString ConvertDateFormat(const QString& date, const QString& from, const QString& to) const;
    // Solar Hijri text (any accepted form) to Gregorian DD/MM/YYYY; empty text after a message
    // when the text is rejected or names no day.
    QString ToEnglishDate(const QString& solar);
    // The same Gregorian date as YYYY/MM/DD.
    QString ToEnglishDateForSQLServer(const QString& solar);

    // --- typed text
    // A day past its month's length (31 in months 7 to 12, 30 in Esfand of a common year) is
    // refused like any other wrong day, with a reason of its own.
    bool IsValidDate(const QString& text);
    // YYYY/MM/DD, or the text unchanged (after the message) when it is rejected.
    QString CompleateDate(const QString& text);
    bool IsValidTime(const QString& text);
    // HH:MM, or nothing (after the message) when the text is rejected.
    std::optional<QString> CompleateTime(const QString& text);
    // The clock's time as HH:MM.
    QString NowTime();
    // Check the "text" (or "currentText") property of an edit box: rejected text leaves the box
    // as typed and takes the keyboard focus to it; accepted text is replaced by its completion.
    bool CheckTheDate(QObject* box);
    // The same for a box of a form: the message box's caption names `field`.
    bool CheckTheDate(QObject* box, const QString& field);
    bool CheckTheTime(QObject* box);
    // Lets the user pick the date of an edit box in the date picker (dates/date_picker_hook.h).
    void PickDateFromDate(QObject* box);

    // --- arithmetic
    int DateToInt(const QString& date);
    int DaySubDate(const QString& a, const QString& b, bool isSigned = false);
    // As DaySubDate for dates already complete; shows nothing and answers 0 for a rejected text.
    int DaySubDateWithOutCheckDate(const QString& a, const QString& b, bool isSigned = false);
    QString SubDate(const QString& first, const QString& second);
    QString ConvertDayToMonthDay(const QString& days) const;
    QString ConvetToDateCompare(const QString& text) const;
    QString NDayFromDate(const QString& date, int n);
    QString NMinFromTime(const QString& time, const QString& duration);
    double SubTime(const QString& t1, const QString& t2);

private:
    // Short years are completed around the year of the run's today.
    int shortYearBase();

    std::optional<calendar::SolarDate> today_;
    QString todayText_;
};

}  // namespace zartav
