#pragma once

// What a backup, a restore and the daily copies share: a plain SQLite connection of their own,
// a file beside the target until the copy in it is checked, and the reports of a failure.

#include "data/engine/store_files.h"
#include "data/schema/store_integrity.h"
#include "data/transfer/backup_report.h"
#include "dates/calendar.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>
#include <sqlite3.h>

namespace zartav::backups {

// A plain SQLite connection of its own: the backup is made on it, apart from the program's
// connection, so it may run on any thread. It is hardened before its first statement; a file
// opened for reading only gets no journal files beside it.
class RawDb {
public:
    RawDb() = default;
    ~RawDb() {
        if (handle_) sqlite3_close_v2(handle_);
        dropShm();
    }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    bool open(const QString& path, int flags) {
        if (handle_) sqlite3_close_v2(handle_);
        handle_ = nullptr;
        dropShm();
        foreignJournal_.clear();
        // A journal beside the file that is not its own is never read through.
        if (const storefile::JournalCheck journal = storefile::checkJournal(path); !journal.ok) {
            foreignJournal_ = journal.refusal;
            return false;
        }
        storefile::ReadName name{path, false, false};
        if (!(flags & SQLITE_OPEN_READWRITE)) name = storefile::forReading(path);
        if (name.uri) flags |= SQLITE_OPEN_URI;
        if (name.makesShm) shmMade_ = path + QStringLiteral("-shm");
        if (sqlite3_open_v2(QFile::encodeName(name.name).constData(), &handle_, flags, nullptr) != SQLITE_OK) return false;
        sqlite3_busy_timeout(handle_, 5000);
        return integrity::harden(handle_);
    }
    // Farsi, naming the "-wal" beside the file when that is why it was not opened.
    const QString& foreignJournal() const { return foreignJournal_; }
    integrity::SchemaCheck check() const { return integrity::checkSchema(handle_); }
    bool close() {
        const bool ok = !handle_ || sqlite3_close(handle_) == SQLITE_OK;
        if (ok) handle_ = nullptr;
        if (ok) dropShm();
        return ok;
    }
    sqlite3* handle() const { return handle_; }
    QString error() const { return handle_ ? QString::fromUtf8(sqlite3_errmsg(handle_)) : QStringLiteral("out of memory"); }

    bool exec(const char* sql) { return sqlite3_exec(handle_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    // The first column of every row, as text; nothing when the statement fails.
    std::optional<QStringList> column(const QString& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(handle_, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) return std::nullopt;
        QStringList values;
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
            values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE) return std::nullopt;
        return values;
    }

private:
    // The "-shm" a reading through the journal made goes with it.
    void dropShm() {
        if (!shmMade_.isEmpty()) QFile::remove(shmMade_);
        shmMade_.clear();
    }

    sqlite3* handle_ = nullptr;
    QString shmMade_;
    QString foreignJournal_;
};

BackupReport failure(const QString& reason, const QString& engineWords = {});
BackupReport stopped();

// A part of the work: its own progress told as the share `part` of `parts` of the whole.
BackupProgress share(const BackupProgress& whole, int part, int parts);

extern const QString kDiskFault;

// "1405-09-18": a day as the names of the copies carry it.
QString dayText(calendar::SolarDate day);

bool sameFile(const QString& a, const QString& b);

// A file beside `target` under a name of its own, for the copy until it is checked.
class PartFile {
public:
    explicit PartFile(const QString& target);
    // Whatever a reading of the copy left beside it goes too, even once it is in place.
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool made() const { return !path_.isEmpty(); }
    QString path() const { return path_; }
    QString error() const { return error_; }
    // Puts the checked copy in place of `target`; a file there is replaced only when `replace`.
    bool moveTo(const QString& target, bool replace, QString* error);

private:
    QString path_;
    QString error_;
    bool moved_ = false;
};

}  // namespace zartav::backups
