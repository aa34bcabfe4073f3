#pragma once

// What typed or imported text becomes in a record, the same on every way in: the entry form,
// the record CSV import and the legacy import.

#include <QString>

namespace zartav::record_text {

// The code and number columns (an index into schema::kRecordColumns): the registration numbers
// of the calf, its sire and dams, the herd and province codes, and the ear tags, body and flower
// numbers of the calf and its dams. The quantities (weight, HF percentages, parity, the count of
// inseminations) are not among them.
bool isNumberColumn(int column);

// The quantity columns: weight, the HF percentages, parity and the count of inseminations.
bool isQuantityColumn(int column);

// `value` as column `column` keeps it: in a code or number column every Persian or
// Arabic-Indic digit as 0-9, so a herd typed on either keyboard is one herd.
QString stored(int column, const QString& value);

}  // namespace zartav::record_text
