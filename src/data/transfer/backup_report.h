#pragma once

// What a backup or a restore answers, and how it tells its progress.

#include <QString>
#include <QStringList>
#include <functional>

namespace zartav {

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

}  // namespace zartav
