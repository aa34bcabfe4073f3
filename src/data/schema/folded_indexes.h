#pragma once

// The indexes on folded columns: the find box's five columns (digits as 0-9, the Persian yeh and
// kaf as their Arabic twins) and the numbers a pedigree is linked by (digits as 0-9, no blanks,
// Latin letters in capitals). Each folding is written here once, as its index is made, for the
// searches to compare with exactly the same expression.

#include "data/engine/sql_dialect.h"
#include "data/schema/store_object.h"

#include <QList>
#include <QString>
#include <array>

namespace zartav::find {

inline constexpr std::array<const char*, 5> kColumns = {"شماره ثبت", "بدن", "گوش ف", "گوش پ", "نام گوساله"};

// What the find box folds into what: from.at(i) reads as to.at(i).
struct Folding {
    QString from, to;
};
const Folding& folding();

// The folded value of a searched column in SQL, exactly as its index is made.
QString foldedColumn(const SqlDialect& d, const char* column);

// The name of the index on the folded column `column` (an index into kColumns), and the
// statement that makes it.
QString indexName(int column);
QString indexStatement(const SqlDialect& d, int column);

}  // namespace zartav::find

namespace zartav::pedigree {

// The blanks a number may carry: the space and the no-break space a pasted number brings.
const QString& numberBlanks();

// The folding of a number in SQL, exactly as the indexes are made. The indexes keep invisible
// characters, which no way in lets into a number any more: a store made before keeps its indexes.
QString foldedColumn(const SqlDialect& d, const char* column);

// The indexes on the folded numbers: the calf's registration number and ear tags, the bull's
// two registration numbers.
QList<StoreObject> indexObjects(const SqlDialect& d);

}  // namespace zartav::pedigree
