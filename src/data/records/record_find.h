#pragma once

// Finding records by the numbers and the name a user reads off a calf: the registration number,
// the body number, the metal and plastic ear tags and the calf's name, each matched from its
// beginning. Persian and Arabic-Indic digits read as 0-9, and the Persian yeh and kaf as their
// Arabic twins, on both sides: in what is typed and in what is stored.
//
// Each searched column has an index on its folded value, so a prefix is a range of that index.
// When a prefix matches a large part of the table, walking the table in "ID" order and testing
// each row is quicker than gathering every match and sorting it: the test then takes a form no
// index serves, cheap to evaluate row by row.

#include "data/engine/sql_dialect.h"
#include "data/schema/folded_indexes.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <array>

namespace zartav::find {

// `text` as it is compared: digits as 0-9, ی as ي and ک as ك. The columns searched, and their
// folding in SQL, are in data/schema/folded_indexes.h.
QString fold(const QString& text);

// The stored values of a column folded, each once, sorted: the herd tabs and the entry form's
// list of herd codes show "۱۲۰۷" and "1207" as the one herd they are. Codes that are numbers go
// by their value, before those that are not, which go as text.
QStringList foldedValues(const QStringList& values);

enum class Plan {
    Indexed,  // ranges of the folded indexes: for counting, and for few matches
    Scan,     // a per-row test: for many matches, read in "ID" order (on a server, the folded range)
};

// The condition "one of the columns begins with the find text", with placeholders that
// bind() fills from the folded text; term() is that of one column (an index into kColumns).
QString condition(const SqlDialect& d, Plan plan);
QString term(const SqlDialect& d, Plan plan, int column);
void bind(QSqlQuery& query, const SqlDialect& d, Plan plan, const QString& folded);

// Below this many matches the indexed plan reads a page quicker; from it on, the scan. The
// server counts through the indexes, five of them to a count, which costs more than the file's.
inline int scanFrom(const SqlDialect& d) { return d.isServer() ? 4096 : 8192; }

}  // namespace zartav::find
