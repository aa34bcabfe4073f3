#pragma once

// The two tables, their indexes and, on the server, the trigger that tells the other desks of
// every change, as each engine writes them.

#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace zartav {

// The server's notification channel: every statement that changes the records notifies it.
inline constexpr const char* kRecordsChangedChannel = "zartav_records";

// Creates what is missing of both tables, their indexes and (on the server) the change trigger
// in `db`, in one transaction; what exists is left as it is. Two desks starting at once on an
// empty server database both succeed. Used for a new store and by the legacy import.
bool createRecordSchema(QSqlDatabase& db, QString* error = nullptr);

// How many indexes createRecordSchema makes on the record table besides its key.
int recordIndexCount();

// True when the record table lacks one of the indexes createRecordSchema makes (a store from
// an earlier version); false when it has them all or the store's catalogue cannot be read.
bool lacksRecordIndexes(QSqlDatabase& db);

// The largest "ID" the store has ever handed out (deleted records included); nothing when it
// cannot be read.
std::optional<qint64> recordIdHighWater(QSqlDatabase& db);

// After records were written with their own "ID"s: the next number the store hands out is past
// every "ID" it holds and past `atLeast` (a copied store's own mark), so none is used twice.
bool raiseRecordIds(QSqlDatabase& db, qint64 atLeast, QString* error = nullptr);

// True when the record table has an index on the whole table whose first column is `column`;
// false when it has none or the catalogue of the store cannot be read.
bool hasLeadingIndex(QSqlDatabase& db, const QString& column);

}  // namespace zartav
