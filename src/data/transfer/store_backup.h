#pragma once

// Backups of a store into one database file, and restoring a store from such a file.
//
// A backup is one consistent view of the store, taken while others go on saving: the file
// through SQLite's online backup inside one read transaction, the server through a copy of the
// store in one snapshot. It is written under a temporary name in the target folder and only
// renamed into place once it has been read back whole (integrity check, both tables, the same
// number of records as the store held at the snapshot); a failure leaves nothing behind.

#include "data/transfer/store_copy.h"
#include "dates/calendar.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace zartav {

class Connection;
class StoreAddress;

struct BackupReport {
    bool ok = false;
    QString path;         // the backup written, or restored from
    QString kept;         // after a restore: where the replaced records are kept
    qint64 records = 0;   // records in it: the store's count at the snapshot
    QString reason;       // Farsi: why there is no backup
    QString engineWords;  // the engine's or the system's own words, when there are any
    bool emptyCopy = false;  // a restore refused: a copy without records over a store with some
    bool cancelled = false;  // stopped by the progress: no file left, the store as it was
    // A restore onto a server: the backup's public keys it added (fingerprints), or that the
    // backup's register, keys and issuer texts were left behind.
    QStringList addedKeys;
    bool registerLeft = false;
};

// Work done and work in all; answering false stops a backup or a restore, which then leaves
// no file of its own behind and the store as it was.
using BackupProgress = std::function<bool(qint64 done, qint64 total)>;

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

// The text the user reads after a backup or a restore.
QString backupSummary(const BackupReport& report);
QString restoreSummary(const BackupReport& report);

// --- the daily copies in the per-user data folder's backups/

// What to do today with the daily copies among `existing` file names: the name of today's copy
// when there is none yet (at most one a day), and the copies to remove. Kept: every copy of the
// last 7 days, and of the 4 weeks before them the newest copy of each week. Names that are not
// daily copies are left alone, and so are copies dated after today (a clock set back).
struct DailyBackupPlan {
    QString write;
    QStringList remove;
};
DailyBackupPlan planDailyBackups(calendar::SolarDate today, const QStringList& existing);

// The daily copy's name for a day: "Data-1405-09-18.db".
QString dailyBackupName(calendar::SolarDate day);

// The folder of the daily copies: backups/ in the per-user data folder.
QString dailyBackupFolder();

// Writes today's copy of `store` and removes those past keeping, as planDailyBackups() says.
// Answers the backup written (ok with an empty path when today's copy was already there).
BackupReport runDailyBackup(const StoreAddress& store);

}  // namespace zartav
