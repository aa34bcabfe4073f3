#pragma once

// Backups of a store into one database file.
//
// A backup is one consistent view of the store, taken while others go on saving: the file
// through SQLite's online backup inside one read transaction, the server through a copy of the
// store in one snapshot. It is written under a temporary name in the target folder and only
// renamed into place once it has been read back whole (integrity check, both tables, the same
// number of records as the store held at the snapshot); a failure leaves nothing behind.
// Restoring is in store_restore.h, the daily copies in daily_copies.h.

#include "data/transfer/backup_report.h"

#include <QString>

namespace zartav {

class Connection;
class StoreAddress;

// Backs `store` up into the file `target`. An existing `target` is refused unless `replace`.
BackupReport backupStore(const StoreAddress& store, const QString& target, bool replace,
                         const BackupProgress& progress = {});

struct BackupCheck {
    bool ok = false;
    qint64 records = 0;
    QString reason;
    QString engineWords;
};

// A whole database file holding both tables and nothing that is not the program's own, read
// without writing to it or beside it.
BackupCheck checkBackupFile(const QString& path);

// The text the user reads after a backup.
QString backupSummary(const BackupReport& report);

}  // namespace zartav
