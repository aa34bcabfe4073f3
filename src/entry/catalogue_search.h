#pragma once

#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace zartav::catalogue {

// Creates the index the picker's search runs on, if it is missing. Harmless when present; a
// read-only file simply goes without (the search still answers, only slower).
bool ensureSearchIndex(QSqlDatabase db);

struct PrefixSearch {
    bool ok = false;  // false: the catalogue could not be read
    int row = -1;     // position in the catalogue's own order (0 = first row); -1: no match
};

// The first bull whose foreign registration number ("RegNo_SPF") begins with `prefix` as typed,
// blanks included; Latin letters match in either case. The prefix is bound as a value: quotes
// and percent signs are plain text. An empty prefix matches nothing.
PrefixSearch findForeignRegPrefix(QSqlDatabase db, const QString& prefix);

}  // namespace zartav::catalogue
