#pragma once

// Restoring a store from a backup file: the backup checked, a copy of it checked again, and what
// the store held kept beside it before it is replaced.

#include "data/transfer/store_backup.h"
#include "data/transfer/store_copy.h"

#include <QString>

namespace zartav {

class StoreAddress;

// Replaces the records and catalogue of `store` by those of the backup `source`, after checking
// it. A file store is renamed beside itself to "<name>.before-restore-1405-09-18-1432" (today's
// Solar Hijri date and the time; "-2", "-3"... when that name is taken: an earlier copy is never
// replaced) and the backup put in its place; it must not be open anywhere, this program
// included. A server store is first backed up as "Server.before-restore-1405-09-18-1432.db" in
// the daily copies' folder, then gets the backup copied in, in one transaction. A backup without
// records over a store that holds some is refused (emptyCopy) unless `empty` allows it. A server
// keeps its own register of certificates and its keys unless `registerCopy` brings the backup's
// (for the owner of its tables alone, as copyStore says).
enum class EmptyCopy { Refuse, Allow };
BackupReport restoreStore(const StoreAddress& store, const QString& source, EmptyCopy empty = EmptyCopy::Refuse,
                          const BackupProgress& progress = {}, RegisterCopy registerCopy = RegisterCopy::LeaveBehind);

// The text the user reads after a restore.
QString restoreSummary(const BackupReport& report);

}  // namespace zartav
