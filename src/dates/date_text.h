#pragma once

#include "dates/calendar.h"

#include <QDate>
#include <QString>
#include <QStringView>
#include <optional>

// Date texts as the program writes them: Solar Hijri YYYY/MM/DD and Gregorian DD/MM/YYYY, and the
// completion of short years typed by the user.
namespace zartav::dates {

// How far a short year reaches around today's year: from 80 years back to 19 years ahead.
inline constexpr int kShortYearYearsBack = 80;
inline constexpr int kShortYearYearsAhead = 19;

// Solar Hijri year of today (calendar::todayGregorian(), so tests can pin it).
int currentSolarYear();

// The year whose last two digits are `shortYear` (0-99) inside the window around `todayYear`
// (in 1405: 85 -> 1385, 5 -> 1405, 24 -> 1424, 25 -> 1325).
int windowedYear(int shortYear, int todayYear);

// Completes the digits of a typed year: one or two digits by the window, three digits with a
// leading "1" (400 -> 1400), four or more kept (leading zeros beyond four dropped).
// `digits` must hold ASCII digits only.
QString completeYearText(QStringView digits, int todayYear);

// A year as a leap-year question may name it: 0-99 by the window, 100-999 as completed text
// would read it (1000 + year), anything else as it is.
int completeYearNumber(int year, int todayYear);

// Reads a whole decimal integer the way typed numbers are read: leading blanks, an optional sign,
// then digits (Persian and Arabic-Indic ones too) and nothing else; it must fit 32 bits.
std::optional<int> readInteger(QStringView text);

// YYYY/MM/DD with a four-digit year; years outside 0..9999 have no such text (empty).
QString formatSolar(calendar::SolarDate date);
// DD/MM/YYYY; years outside 1..9999 have no such text (empty).
QString formatGregorian(QDate date);

// The Gregorian day named by DD/MM/YYYY text (fields split at "/", each read by readInteger).
// Empty when a field is missing, not an integer, or the three do not name a real day.
std::optional<QDate> readGregorian(QStringView text);

// Gregorian DD/MM/YYYY text to Solar Hijri YYYY/MM/DD text by the real calendar; empty text when
// the Gregorian text names no real day or the Solar year has no four-digit form.
QString gregorianTextToSolar(QStringView text);

// Moves the fields of a full date text between the layouts "D/M/Y" -> "Y/M/D" and
// "Y/M/D" -> "M/D/Y" (layouts compared without case); any other pair gives empty text.
QString convertDateFormat(const QString& date, const QString& from, const QString& to);

}  // namespace zartav::dates
