#pragma once

#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace zartav::catalogue {

// Creates the index the picker's search runs on, if it is missing. Harmless when present; a
// read-only file simply goes without (the search still answers, only slower).
bool ensureSearchIndex(QSqlDatabase db);

// Position, in the catalogue's own order (0 = first row), of the first bull whose foreign
// registration number ("RegNo_SPF") begins with `prefix` as typed, blanks included; Latin
// letters match in either case. The prefix is bound as a value: quotes and percent signs are
// plain text. Nothing when no bull matches or the catalogue cannot be read.
std::optional<int> firstRowWithForeignRegPrefix(QSqlDatabase db, const QString& prefix);

}  // namespace zartav::catalogue
