#pragma once

// Our names as the engine layer takes them from us: the tables and columns a statement written
// for the file may name in any Latin letter case, and the catalogue's order column.

#include "data/engine/sql_dialect.h"

#include <QHash>
#include <QString>

namespace zartav::schema {

// The record and catalogue tables' names and their columns' names, each by its case-folded
// spelling: what SqlDialect::translate() restores.
const QHash<QString, QString>& storedNames();

// The catalogue's own order (the order its rows were written in) on `d`'s engine: the server's
// column for it, the file's row numbers.
QString catalogueOrder(const SqlDialect& d);

}  // namespace zartav::schema
