#pragma once

// Every object of a store as each engine writes it, in the order it is made: the two tables,
// their indexes, the history, the register and, on the server, the trigger that tells the other
// desks of every change.

#include "data/engine/store_address.h"
#include "data/schema/store_object.h"

#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace zartav {

// The server's notification channel: every statement that changes the records notifies it.
inline constexpr const char* kRecordsChangedChannel = "zartav_records";

// On the server: which desk made each day's copy of the whole store, so that one desk a day does.
inline constexpr const char* kDailyCopyTable = "DailyCopies";

// The table where a store records its schema version (data/schema/store_upgrade.h).
inline constexpr const char* kVersionTable = "StoreVersion";

// Every object of the program's stores on `engine`, each with the version that added it. Adding an
// object to the stores is adding it here under a new version: the upgrade steps make it
// (data/schema/store_upgrade.h), and the check of a store file (data/schema/store_integrity.h)
// takes it, made exactly so, as the program's own.
const QList<StoreObject>& storeObjects(StoreEngine engine);

// How many indexes the stores have on the record table besides its key (the same on
// both engines).
int recordIndexCount();

// True when the record table lacks one of the indexes the stores have (a store from
// an earlier version); false when it has them all or the store's catalogue cannot be read.
bool lacksRecordIndexes(QSqlDatabase& db);

// The columns that lead an index of the record table on the whole table; none when the catalogue
// of the store cannot be read.
QSet<QString> leadingIndexColumns(const QSqlDatabase& db);

}  // namespace zartav
