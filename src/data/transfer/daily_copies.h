#pragma once

// The daily copies of the store, kept in the per-user data folder's backups/.

#include "data/transfer/store_backup.h"
#include "dates/calendar.h"

#include <QString>
#include <QStringList>

namespace zartav {

class StoreAddress;

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
