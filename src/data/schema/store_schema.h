#pragma once

// The two tables, their indexes and, on the server, the trigger that tells the other desks of
// every change, as each engine writes them.

#include "data/engine/store_address.h"

#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace zartav {

// The server's notification channel: every statement that changes the records notifies it.
inline constexpr const char* kRecordsChangedChannel = "zartav_records";

// On the server: which desk made each day's copy of the whole store, so that one desk a day does.
inline constexpr const char* kDailyCopyTable = "DailyCopies";

enum class StoreObjectKind { Table, Index, Function, Trigger };

// One object of a store as the program makes it.
struct StoreObject {
    StoreObjectKind kind;
    QString name;
    QString table;             // the table an index or a trigger is on; a table's own name
    QString create;            // makes it where it is missing and leaves it be where it is
    QStringList bringUp = {};  // run after `create`: brings the form an earlier version made up to today's
    QStringList earlier = {};  // the forms earlier versions made, which the file's check takes until a
                               // writable open brings them up
};

// Every object of the program's stores on `engine`, in the order they are made. Adding an object
// to the stores is adding it here: createRecordSchema makes it, and the check of a store file
// (data/store_integrity.h) takes it, made exactly so, as the program's own.
const QList<StoreObject>& storeObjects(StoreEngine engine);

// Creates what is missing of both tables, their indexes and (on the server) the change trigger
// in `db`, in one transaction; what exists is left as it is. Two desks starting at once on an
// empty server database both succeed. Used for a new store and by the legacy import.
bool createRecordSchema(QSqlDatabase& db, QString* error = nullptr);

// How many indexes createRecordSchema makes on the record table besides its key (the same on
// both engines).
int recordIndexCount();

// True when the record table lacks one of the indexes createRecordSchema makes (a store from
// an earlier version); false when it has them all or the store's catalogue cannot be read.
bool lacksRecordIndexes(QSqlDatabase& db);

// The largest number `table`'s own numbering `column` has ever handed out (rows deleted since
// included); nothing when it cannot be read.
std::optional<qint64> numberHighWater(QSqlDatabase& db, const char* table, const char* column);
// After rows were written with their own numbers: the next number `table` hands out is past
// every one it holds and past `atLeast` (a copied store's own mark), and never goes back, so
// none is used twice.
bool raiseNumbers(QSqlDatabase& db, const char* table, const char* column, qint64 atLeast, QString* error = nullptr);

// The same for the records' "ID".
inline std::optional<qint64> recordIdHighWater(QSqlDatabase& db) { return numberHighWater(db, "VaskorTemp", "ID"); }
inline bool raiseRecordIds(QSqlDatabase& db, qint64 atLeast, QString* error = nullptr) {
    return raiseNumbers(db, "VaskorTemp", "ID", atLeast, error);
}

// The columns that lead an index of the record table on the whole table; none when the catalogue
// of the store cannot be read.
QSet<QString> leadingIndexColumns(const QSqlDatabase& db);

}  // namespace zartav
