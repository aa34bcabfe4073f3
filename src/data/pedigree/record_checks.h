#pragma once

// The checks a registry makes before it certifies a calf: dates that cannot be, a dam that
// cannot be the dam, numbers another record already carries, a sire no catalogue knows. They
// warn; they never refuse a record, and the imports do not run them.

#include "dates/calendar.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace zartav {
class StoreLink;
}

namespace zartav::checks {

// What the checks need to know of one record and of the records and bulls around it.
struct Facts {
    qint64 id = 0;  // 0 for a record not saved yet
    QString number, birth, conception;
    QString sireForeign, sireDomestic;
    bool sireForeignKnown = false, sireDomesticKnown = false;  // some bull of the catalogue carries it
    qint64 damId = 0;  // the record whose registration number is the dam's, 0 when none
    QString damSex, damBirth;
    qint64 sameNumber = 0, sameMetalTag = 0, samePlasticTag = 0;  // another record carrying it, 0 none
};

enum class Check { BirthAfterToday, DamNotFemale, DamTooYoung, Gestation, SameNumber, SameMetalTag, SamePlasticTag, UnknownSire };

struct Finding {
    Check check;
    QString title;    // what is wrong, in a few words
    QString details;  // the values that show it
};

// Gestation the registry accepts, in days from the service that led to pregnancy to the birth.
inline constexpr int kShortestGestation = 260;
inline constexpr int kLongestGestation = 300;
// The youngest a dam may be at her calf's birth, in months.
inline constexpr int kYoungestDamMonths = 20;

QList<Finding> findingsOf(const Facts& facts, calendar::SolarDate today);

// The facts of one record as it is being typed: `value` gives a column's text. Nothing when the
// store could not be read.
std::optional<Facts> factsOf(const StoreLink& connection, qint64 id, const std::function<QString(const char*)>& value,
                             QString* error = nullptr);

// How many records forEachRecord() reads a statement.
inline constexpr int kRecordChunk = 4000;

// Every record, or one herd's (its code folded as the herd tabs fold it), in "ID" order, read
// `chunk` records a statement: `visit` answers false to stop. False with the engine's words when
// the store could not be read.
bool forEachRecord(const StoreLink& connection, const std::optional<QString>& herd,
                   const std::function<bool(const Facts&)>& visit, QString* error = nullptr,
                   int chunk = kRecordChunk);

// The warnings shown at OK in the entry form, one line each, with the question whether to save.
QString confirmationText(const QList<Finding>& findings);

}  // namespace zartav::checks
