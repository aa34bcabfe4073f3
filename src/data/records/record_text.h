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

// The characters that show nothing and join nothing in a number: the zero-width space, the
// zero-width non-joiner (Persian needs it between letters, never in a number), the right-to-left
// mark, the word joiner, the byte order mark and the soft hyphen. A number holding one looks like
// another and is not equal to it, so a code or number column refuses them and pedigree::fold drops them.
const QString& invisibleCharacters();
bool holdsInvisible(const QString& text);

// Farsi: why `value` may not go into column `column` (a direction control in any column, an
// invisible character in a code or number column), for a message that names the column before
// it; empty when it may.
QString refusal(int column, const QString& value);

// `value` as column `column` keeps it: in a code or number column every Persian or
// Arabic-Indic digit as 0-9, so a herd typed on either keyboard is one herd.
QString stored(int column, const QString& value);

}  // namespace zartav::record_text
