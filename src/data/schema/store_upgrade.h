#pragma once

// The store's schema version and the steps that bring an older store up to the program's. A store
// records its version in a table of its own (kVersionTable), the same way on both engines; the
// journal's mark and stamp of a file (data/engine/store_files.h) are not it. A store that records
// none (every store made before versions were kept, a file of the old program) is given the version
// its objects show, once, and goes on from there.

#include "data/engine/store_address.h"

#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace zartav {

// A new store, or the legacy import's: every step in one transaction, what exists left as it is.
// Two desks starting at once on an empty server database both succeed.
bool createRecordSchema(QSqlDatabase& db, QString* error = nullptr);

}  // namespace zartav

namespace zartav::schema {

// The last version whose objects a store holds, by their names (lower-case): every object each
// version up to it added is there. A step that adds nothing on `engine` is taken as done with the one before it, but
// the step that brings earlier forms up in place (kBroughtUp) never is.
int versionShownBy(const QSet<QString>& names, StoreEngine engine);

// What a file's objects show, its names and the forms brought up in place (the register's seals).
int fileVersionShown(const QSqlDatabase& db, const QSet<QString>& names);

// The version a file records. Read only when its version table is made exactly as the program
// makes it (any other is left for the file's check to refuse); 0 when it records none; nothing
// when it cannot be read. For an open, hardened connection, before anything is written.
std::optional<int> fileVersion(const QSqlDatabase& db);

// The server's recorded version as one column of a statement: 0 when it records none or when this
// role may not read it.
QString serverVersionColumn();

// Where a store's steps start: after its recorded version, or after what its objects show when
// they show less (an object dropped since, or no version recorded: `recorded` 0).
int upgradeFrom(int recorded, int shown);

// Runs every step after `from` in order, then records the current version, all in one
// transaction: a step that fails leaves the store as it was, at its old version. On the server
// only the tables' owner may; the caller asks.
bool upgradeStore(QSqlDatabase& db, int from, QString* error = nullptr);

// Why a store of a later program is not opened, in Farsi: nothing in it is read or written.
QString newerStoreText(int version);

// Makes the step of `version` fail before it runs anything (0: none), to show that a step failing
// midway changes nothing.
void failStepForTesting(int version);

}  // namespace zartav::schema
