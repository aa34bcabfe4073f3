#pragma once

// The history of the records as the store itself keeps it: a table of entries and the triggers
// that write one for every insert, update and delete of a record, in the same transaction, so
// every writer leaves its trace (the program, the command line, another client, a plain SQL
// shell that knows nothing of the program).
//
// An entry holds the record's "ID", the action, the time (UTC), who wrote it, the reason given,
// the changed columns with their old and new values (JSON: {"column": [before, after]}; a photo
// by its size in bytes) and the photos a delete or a replacement would otherwise lose. Entries
// are chained by SHA-256: each hash covers the entry and the hash before it.

#include "data/engine/sql_dialect.h"
#include "data/schema/store_object.h"

#include <QList>
#include <array>

namespace zartav::history {

inline constexpr const char* kTable = "VaskorHistory";
// On the file: at most one row, filled by the program inside its own write transaction and
// emptied before it commits; a writer that fills nothing shows as unknown.
inline constexpr const char* kDeskTable = "VaskorHistoryDesk";
// The chain's head, one row. On the file: the number and hash of the last entry sealed, written
// only by the program's seal in the transaction that seals; a plain edit of the history table
// leaves it behind, so entries cut off at the end show as the head naming more than the table
// holds. On the server: locked by the trigger while it extends the chain; only the owner writes it.
inline constexpr const char* kHeadTable = "VaskorHistoryHead";
// On the server the desk's name for itself comes from a setting of the session and the reason
// from one of the transaction; who wrote is the role the server authenticated, and the action
// is the trigger's own.
inline constexpr const char* kDeskSetting = "zartav.desk";
inline constexpr const char* kReasonSetting = "zartav.reason";
// The server's trigger and its function.
inline constexpr const char* kServerFunction = "zartav_history";

inline constexpr std::array<const char*, 12> kColumns = {
    "Entry", "RecordID", "Action", "At", "Desk", "Role", "Reason", "Changes", "Photo1", "Photo2", "Photo3", "Hash",
};
inline constexpr int kFirstPhoto = 8;
inline constexpr int kHashColumn = 11;

// Actions as stored.
inline constexpr const char* kInsert = "insert";
inline constexpr const char* kUpdate = "update";
inline constexpr const char* kDelete = "delete";
inline constexpr const char* kRestore = "restore";

// The history's table, indexes, triggers (and on the server its function), as the engine makes
// them; part of storeObjects().
QList<StoreObject> objects(const SqlDialect& d);

// The triggers that write entries: dropped (file) or disabled (server) while a whole store is
// copied in with its own history, then made again. Both inside the caller's transaction.
QStringList suspendStatements(const SqlDialect& d);
QStringList resumeStatements(const SqlDialect& d);

// On the file: the entries the insert trigger would have written, one per record whose "ID" is
// above the one bound, in "ID" order, in one statement. For a bulk insert of records with the
// triggers suspended, in the same transaction (BulkInsertScope).
QString insertedEntriesStatement(const SqlDialect& d);

}  // namespace zartav::history
