#include "data/transfer/store_backup.h"

#include "data/history/record_history.h"
#include "data/schema/record_schema.h"
#include "data/engine/store_address.h"
#include "data/transfer/store_copy.h"
#include "data/engine/store_files.h"
#include "data/schema/store_integrity.h"
#include "data/schema/store_schema.h"
#include "data/link/connection.h"
#include "util/app_paths.h"
#include "util/bidi_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QTime>

#include <filesystem>
#include <map>
#include <sqlite3.h>

namespace zartav {
namespace {

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

BackupReport failure(const QString& reason, const QString& engineWords = {}) {
    BackupReport report;
    report.reason = reason;
    report.engineWords = engineWords;
    return report;
}

BackupReport stopped() {
    BackupReport report;
    report.cancelled = true;
    return report;
}

// A part of the work: its own progress told as the share `part` of `parts` of the whole.
BackupProgress share(const BackupProgress& whole, int part, int parts) {
    if (!whole) return {};
    return [whole, part, parts](qint64 done, qint64 total) {
        return whole(part * 1000 + done * 1000 / std::max<qint64>(1, total), qint64(parts) * 1000);
    };
}

// Pages of a file store copied between two looks at the progress.
constexpr int kPagesAStep = 1024;

const QString kDiskFault = QStringLiteral("پشتيبان روي ديسك نوشته نشد؛ ديسك پر است يا در آن نمي توان نوشت.");

// A file whose schema is not the program's: `heading` and the file, then the object named.
QString refusal(const QString& heading, const QString& path, const integrity::SchemaCheck& check) {
    return QStringLiteral("%1:\n%2\n%3").arg(heading, isolatedPath(path), check.foreign);
}

// "1405-09-18": a day as the names of the copies carry it.
QString dayText(calendar::SolarDate day) {
    return QStringLiteral("%1-%2-%3")
        .arg(day.year, 4, 10, QLatin1Char('0'))
        .arg(day.month, 2, 10, QLatin1Char('0'))
        .arg(day.day, 2, 10, QLatin1Char('0'));
}

// `stem`, today's Solar Hijri date and the time ("-1405-09-18-1432"), `suffix`: the name a
// replaced store is kept under. A name taken already gets "-2", "-3", ... instead.
QString keptName(const QString& stem, const QString& suffix) {
    const QString dated = stem + QLatin1Char('-') + dayText(calendar::fromGregorian(calendar::todayGregorian())) +
                          QLatin1Char('-') + QTime::currentTime().toString(QStringLiteral("HHmm"));
    QString name = dated + suffix;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = dated + QStringLiteral("-%1").arg(n) + suffix;
    return name;
}

// A file beside `target` under a name of its own, for the copy until it is checked.
class PartFile {
public:
    explicit PartFile(const QString& target) {
        const QFileInfo info(target);
        QTemporaryFile file(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral("-XXXXXX.part"));
        file.setAutoRemove(false);
        if (file.open()) path_ = file.fileName();
        else error_ = file.errorString();
    }
    // Whatever a reading of the copy left beside it goes too, even once it is in place.
    ~PartFile() {
        if (path_.isEmpty()) return;
        if (moved_) storefile::removeJournals(path_);
        else storefile::remove(path_);
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool made() const { return !path_.isEmpty(); }
    QString path() const { return path_; }
    QString error() const { return error_; }
    // Puts the checked copy in place of `target`; a file there is replaced only when `replace`.
    bool moveTo(const QString& target, bool replace, QString* error) {
        if (!replace) {
            QFile part(path_);
            if (!part.rename(target)) {
                *error = part.errorString();
                return false;
            }
        } else {
            std::error_code ec;
            std::filesystem::rename(QFile::encodeName(path_).toStdString(), QFile::encodeName(target).toStdString(), ec);
            if (ec) {
                *error = QString::fromLocal8Bit(ec.message());
                return false;
            }
        }
        moved_ = true;
        return true;
    }

private:
    QString path_;
    QString error_;
    bool moved_ = false;
};

// The file's copy, made in one read transaction of the store so its count is the copy's.
BackupReport copyFileStore(const QString& source, const QString& part, const BackupProgress& progress) {
    // The source is only read: its journal, its own or a crash's, is read through and left as it is.
    RawDb from;
    if (!from.open(source, SQLITE_OPEN_READONLY))
        return from.foreignJournal().isEmpty() ? failure(QStringLiteral("فايل اطلاعات خوانده نشد."), from.error())
                                               : failure(QStringLiteral("فايل اطلاعات زير خوانده نشد:\n%1\n%2")
                                                             .arg(isolatedPath(source), from.foreignJournal()));
    if (const integrity::SchemaCheck check = from.check(); !check.ok)
        return check.foreign.isEmpty() ? failure(QStringLiteral("فايل اطلاعات خوانده نشد."), check.engineWords)
                                       : failure(refusal(QStringLiteral("فايل اطلاعات زير خوانده نشد"), source, check));
    const std::optional<QStringList> count =
        from.exec("BEGIN") ? from.column(QStringLiteral("SELECT COUNT(*) FROM VaskorTemp")) : std::nullopt;
    if (!count || count->isEmpty()) return failure(QStringLiteral("فايل اطلاعات خوانده نشد."), from.error());

    RawDb to;
    if (!to.open(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) return failure(kDiskFault, to.error());
    sqlite3_backup* backup = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
    if (!backup) return failure(kDiskFault, to.error());
    // The read transaction is held from step to step, so writers elsewhere go on and the copy
    // is the store as it was when the count was read.
    int rc = SQLITE_OK;
    bool cancelled = false;
    while (rc == SQLITE_OK && !cancelled) {
        rc = sqlite3_backup_step(backup, kPagesAStep);
        const int pages = sqlite3_backup_pagecount(backup);
        cancelled = progress && !progress(pages - sqlite3_backup_remaining(backup), pages);
    }
    sqlite3_backup_finish(backup);
    from.exec("ROLLBACK");
    if (cancelled) return stopped();
    if (rc != SQLITE_DONE) return failure(kDiskFault, QString::fromUtf8(sqlite3_errstr(rc)));
    // One self-contained file, without the write-ahead journal beside it.
    if (!to.column(QStringLiteral("PRAGMA journal_mode=DELETE")) || !to.close()) return failure(kDiskFault, to.error());
    BackupReport report;
    report.ok = true;
    report.records = count->first().toLongLong();
    return report;
}

BackupReport copyServerStore(const StoreAddress& source, const QString& part, const BackupProgress& progress) {
    Connection from, to;
    if (!from.open(source, StoreAccess::ReadOnly)) return failure(from.errorText(), from.technicalError());
    if (!to.open(part)) return failure(kDiskFault, to.technicalError());
    const StoreCopyReport copy = copyStore(from, to, false, progress);
    to.close();
    if (copy.cancelled) return stopped();
    if (!copy.ok) return failure(QStringLiteral("سرور اطلاعات در فايل پشتيبان كپي نشد."), copy.error);
    RawDb file;
    if (!file.open(part, SQLITE_OPEN_READWRITE) || !file.column(QStringLiteral("PRAGMA journal_mode=DELETE")) || !file.close())
        return failure(kDiskFault, file.error());
    BackupReport report;
    report.ok = true;
    report.records = copy.records;
    return report;
}

// A server's daily copy is entered in the store by the desk that makes it, first come: the
// others skip that day. A store whose register cannot be written (an earlier version, a role
// that may not) gets every desk's copy, as before there was one.
enum class DailyClaim { Ours, Taken, Unknown };

DailyClaim claimDailyCopy(Connection& server, const QString& day) {
    const SqlDialect& d = server.dialect();
    QSqlQuery query(server.database());
    query.prepare(QStringLiteral("INSERT INTO %1 (%2, %3, %4) VALUES (?, ?, ?) ON CONFLICT (%2) DO NOTHING")
                      .arg(d.quote(kDailyCopyTable), d.quote("day"), d.quote("desk"), d.quote("made")));
    query.addBindValue(day);
    query.addBindValue(history::thisDesk());
    query.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    if (!query.exec()) return DailyClaim::Unknown;
    return query.numRowsAffected() == 1 ? DailyClaim::Ours : DailyClaim::Taken;
}

void releaseDailyCopy(Connection& server, const QString& day) {
    const SqlDialect& d = server.dialect();
    QSqlQuery query(server.database());
    query.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ? AND %3 = ?").arg(d.quote(kDailyCopyTable), d.quote("day"), d.quote("desk")));
    query.addBindValue(day);
    query.addBindValue(history::thisDesk());
    query.exec();
}

bool sameFile(const QString& a, const QString& b) {
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

const QRegularExpression& dailyName() {
    static const QRegularExpression pattern(QStringLiteral("^Data-(\\d{4})-(\\d{2})-(\\d{2})\\.db$"));
    return pattern;
}

}  // namespace

BackupReport backupStore(const StoreAddress& store, const QString& target, bool replace, const BackupProgress& progress) {
    if (!store.isServer() && sameFile(store.filePath(), target))
        return failure(QStringLiteral("پشتيبان را نمي توان روي خود فايل اطلاعات نوشت."));
    if (QFileInfo::exists(target) && !replace)
        return failure(QStringLiteral("اين فايل از پيش هست:\n%1").arg(isolatedPath(target)));
    PartFile part(target);
    if (!part.made())
        return failure(QStringLiteral("در اين پوشه نمي توان فايل نوشت:\n%1").arg(isolatedPath(QFileInfo(target).absolutePath())),
                       part.error());
    BackupReport report = store.isServer() ? copyServerStore(store, part.path(), progress)
                                           : copyFileStore(store.filePath(), part.path(), progress);
    if (!report.ok) return report;
    const BackupCheck check = checkBackupFile(part.path());
    if (!check.ok) return failure(QStringLiteral("پشتيبان نوشته شده سالم خوانده نشد."), check.engineWords);
    if (check.records != report.records)
        return failure(QStringLiteral("پشتيبان %1 ركورد دارد، ولي در همان لحظه %2 ركورد در اطلاعات بود.")
                           .arg(check.records)
                           .arg(report.records));
    QString error;
    if (!part.moveTo(target, replace, &error)) return failure(kDiskFault, error);
    report.path = QFileInfo(target).absoluteFilePath();
    return report;
}

BackupCheck checkBackupFile(const QString& path) {
    BackupCheck check;
    auto refuse = [&](const QString& reason, const QString& words) {
        check.reason = reason;
        check.engineWords = words;
        return check;
    };
    const QString damaged = QStringLiteral("اين فايل پشتيبان سالم نيست:\n%1").arg(isolatedPath(path));
    if (!QFileInfo(path).isFile()) return refuse(QStringLiteral("اين فايل پيدا نشد:\n%1").arg(isolatedPath(path)), {});
    RawDb db;
    if (!db.open(path, SQLITE_OPEN_READONLY))
        return db.foreignJournal().isEmpty() ? refuse(damaged, db.error()) : refuse(damaged + QLatin1Char('\n') + db.foreignJournal(), {});
    if (const integrity::SchemaCheck schema = db.check(); !schema.ok)
        return schema.foreign.isEmpty() ? refuse(damaged, schema.engineWords)
                                        : refuse(refusal(QStringLiteral("اين فايل پشتيبان پذيرفته نشد"), path, schema), {});
    const std::optional<QStringList> sound = db.column(QStringLiteral("PRAGMA integrity_check"));
    if (!sound) return refuse(damaged, db.error());
    if (sound->value(0) != QLatin1String("ok")) return refuse(damaged, sound->mid(0, 3).join(QLatin1Char('\n')));
    const std::optional<QStringList> tables = db.column(QStringLiteral("SELECT lower(name) FROM sqlite_master WHERE type = 'table'"));
    const std::optional<QStringList> columns = db.column(QStringLiteral("SELECT lower(name) FROM pragma_table_info('VaskorTemp')"));
    if (!tables || !columns) return refuse(damaged, db.error());
    bool whole = tables->contains(QStringLiteral("vaskortemp")) && tables->contains(QStringLiteral("dossperm"));
    for (const char* name : schema::kRecordColumns) whole = whole && columns->contains(QString::fromUtf8(name).toLower());
    if (!whole)
        return refuse(QStringLiteral("اين فايل جدولهاي ركوردها و كاتالوگ را به تمامي ندارد:\n%1").arg(isolatedPath(path)), {});
    const std::optional<QStringList> count = db.column(QStringLiteral("SELECT COUNT(*) FROM VaskorTemp"));
    if (!count || count->isEmpty()) return refuse(damaged, db.error());
    check.ok = true;
    check.records = count->first().toLongLong();
    return check;
}

BackupReport restoreStore(const StoreAddress& store, const QString& source, EmptyCopy empty, const BackupProgress& progress,
                          RegisterCopy registerCopy) {
    const BackupCheck check = checkBackupFile(source);
    if (!check.ok) return failure(check.reason, check.engineWords);
    if (!store.isServer() && sameFile(store.filePath(), source))
        return failure(QStringLiteral("اين فايل خود فايل اطلاعات است."));

    // What is restored is a copy of the backup, checked again: the backup itself is never opened
    // for writing, and a file store gets exactly what was checked.
    const QString target = store.isServer() ? QDir::temp().filePath(QStringLiteral("zartav-restore.db")) : store.filePath();
    PartFile part(target);
    if (!part.made())
        return failure(QStringLiteral("در اين پوشه نمي توان فايل نوشت:\n%1").arg(isolatedPath(QFileInfo(target).absolutePath())),
                       part.error());
    {
        QFile from(source), to(part.path());
        if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly))
            return failure(kDiskFault, from.errorString() + to.errorString());
        // A server's restore goes on with a copy of what it holds and the copy into it.
        const BackupProgress copying = share(progress, 0, store.isServer() ? 3 : 1);
        while (!from.atEnd()) {
            const QByteArray piece = from.read(1 << 20);
            if (piece.isEmpty() || to.write(piece) != piece.size()) return failure(kDiskFault, to.errorString());
            if (copying && !copying(from.pos(), from.size())) return stopped();
        }
        if (!to.flush()) return failure(kDiskFault, to.errorString());
    }
    const BackupCheck copied = checkBackupFile(part.path());
    if (!copied.ok) return failure(copied.reason, copied.engineWords);
    // A copy without records over a store that holds some empties it: asked for apart.
    const bool emptyCopy = copied.records == 0 && empty == EmptyCopy::Refuse;
    const auto emptyRefused = [&] {
        BackupReport refused = failure(QStringLiteral("اين پشتيبان هيچ ركوردي ندارد، ولي %1 ركورد دارد؛ بازگرداني آن همه "
                                                      "ركوردها را كنار مي گذارد و بايد جداگانه خواسته شود.")
                                           .arg(store.isServer() ? QStringLiteral("سرور اطلاعات") : QStringLiteral("فايل اطلاعات")));
        refused.emptyCopy = true;
        return refused;
    };

    BackupReport report;
    report.records = copied.records;
    if (store.isServer()) {
        if (emptyCopy) {
            Connection held;
            if (!held.open(store, StoreAccess::ReadOnly)) return failure(held.errorText(), held.technicalError());
            QSqlQuery count(held.database());
            if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM \"VaskorTemp\"")) || !count.next())
                return failure(QStringLiteral("سرور اطلاعات خوانده نشد."), count.lastError().text());
            if (count.value(0).toLongLong() > 0) return emptyRefused();
        }
        // Every desk's records are replaced: what they were stays in a backup of its own.
        const QString kept = keptName(QDir(dailyBackupFolder()).filePath(QStringLiteral("Server.before-restore")), QStringLiteral(".db"));
        const BackupReport before = QDir().mkpath(dailyBackupFolder()) ? backupStore(store, kept, false, share(progress, 1, 3))
                                                                       : failure(QStringLiteral("در اين پوشه نمي توان فايل نوشت:\n%1").arg(isolatedPath(dailyBackupFolder())));
        if (before.cancelled) return before;
        if (!before.ok)
            return failure(QStringLiteral("ركوردهاي كنوني سرور اطلاعات پيش از بازگرداني نگه داشته نشد.\n") + before.reason,
                           before.engineWords);
        report.kept = before.path;
        Connection from, to;
        if (!from.open(part.path(), StoreAccess::ReadOnly)) return failure(from.errorText(), from.technicalError());
        if (!to.open(store)) return failure(to.errorText(), to.technicalError());
        const StoreCopyReport copy = copyStore(from, to, true, share(progress, 2, 3), registerCopy);
        if (copy.cancelled) {
            // The server is as it was: the copy of it kept for this restore is not wanted.
            storefile::remove(report.kept);
            return stopped();
        }
        if (!copy.ok) return failure(QStringLiteral("پشتيبان در سرور اطلاعات كپي نشد."), copy.error);
        report.addedKeys = copy.addedKeys;
        report.registerLeft = copy.registerLeft;
        report.ok = true;
        report.path = source;
        return report;
    }

    const QString current = store.filePath();
    if (QFileInfo::exists(current)) {
        RawDb db;
        const bool opened = db.open(current, SQLITE_OPEN_READWRITE);
        // A journal that is not the store's own is never folded into what is kept of it.
        if (!opened && !db.foreignJournal().isEmpty())
            return failure(QStringLiteral("فايل اطلاعات زير جايگزين نشد:\n%1\n%2").arg(isolatedPath(current), db.foreignJournal()));
        // The file is put aside whole and never read: its records are counted only when it is the
        // program's own, and a file that is not cannot show that it holds none.
        if (opened && emptyCopy) {
            const std::optional<QStringList> held =
                db.check().ok ? db.column(QStringLiteral("SELECT COUNT(*) FROM VaskorTemp")) : std::nullopt;
            if (!held || held->value(0).toLongLong() > 0) return emptyRefused();
        }
        // A certificate number the replaced file gave out after the backup was taken is never
        // given again by the restored one.
        const std::optional<QStringList> issuedUpTo =
            opened && db.check().ok ? db.column(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'CertificateIssues'"))
                                    : std::nullopt;
        if (issuedUpTo && !issuedUpTo->isEmpty()) {
            RawDb restored;
            const QString least = QString::number(issuedUpTo->first().toLongLong());
            if (!restored.open(part.path(), SQLITE_OPEN_READWRITE) ||
                !restored.exec("INSERT INTO sqlite_sequence (name, seq) SELECT 'CertificateIssues', 0 WHERE NOT EXISTS "
                               "(SELECT 1 FROM sqlite_sequence WHERE name = 'CertificateIssues')") ||
                !restored.column(QStringLiteral("UPDATE sqlite_sequence SET seq = MAX(seq, %1) WHERE name = 'CertificateIssues'")
                                     .arg(least)) ||
                !restored.close())
                return failure(kDiskFault, restored.error());
        }
        // Out of the write-ahead journal into one file; refused while anyone else has it open.
        const std::optional<QStringList> mode = opened ? db.column(QStringLiteral("PRAGMA journal_mode=DELETE")) : std::nullopt;
        if (!mode || mode->value(0) != QLatin1String("delete") || !db.close())
            return failure(QStringLiteral("فايل اطلاعات در برنامه ديگري باز است؛ آن را ببنديد و دوباره بازگرداني كنيد."),
                           db.error());
        const QString kept = keptName(current + QStringLiteral(".before-restore"), QString());
        QFile replaced(current);
        if (!replaced.rename(kept)) return failure(kDiskFault, replaced.errorString());
        report.kept = kept;
    }
    QString error;
    if (!part.moveTo(current, true, &error)) {
        if (!report.kept.isEmpty()) QFile::rename(report.kept, current);
        return failure(kDiskFault, error);
    }
    report.ok = true;
    report.path = source;
    return report;
}

QString backupSummary(const BackupReport& report) {
    if (report.ok)
        return QStringLiteral("پشتيبان با %1 ركورد نوشته و بررسي شد:\n%2").arg(report.records).arg(isolatedPath(report.path));
    return withEngineWords(QStringLiteral("پشتيبان گرفته نشد؛ اطلاعات دست نخورده است.\n") + report.reason, report.engineWords);
}

QString restoreSummary(const BackupReport& report) {
    if (!report.ok)
        return withEngineWords(QStringLiteral("بازگرداني انجام نشد؛ اطلاعات دست نخورده است.\n") + report.reason, report.engineWords);
    QString text = QStringLiteral("اطلاعات از اين پشتيبان بازگرداني شد (%1 ركورد):\n%2").arg(report.records).arg(isolatedPath(report.path));
    if (!report.kept.isEmpty())
        text += QStringLiteral("\nاطلاعات پيشين در اين فايل نگه داشته شد:\n%1").arg(isolatedPath(report.kept));
    if (report.registerLeft)
        text += QStringLiteral("\nثبت گواهي ها و كليدهاي عمومي پشتيبان به سرور آورده نشد؛ سرور ثبت و كليدهاي خود را نگه داشت.");
    for (const QString& key : report.addedKeys) text += QStringLiteral("\nكليد عمومي افزوده شد: %1").arg(key);
    return text;
}

QString dailyBackupName(calendar::SolarDate day) { return QStringLiteral("Data-%1.db").arg(dayText(day)); }

DailyBackupPlan planDailyBackups(calendar::SolarDate today, const QStringList& existing) {
    DailyBackupPlan plan;
    const qint64 todayNumber = calendar::toDayNumber(today);
    const QString todayName = dailyBackupName(today);
    if (!existing.contains(todayName)) plan.write = todayName;
    // Age in days of each copy; the week buckets keep their newest (youngest) copy.
    std::map<qint64, QString> byAge;
    for (const QString& name : existing) {
        const QRegularExpressionMatch m = dailyName().match(name);
        if (!m.hasMatch()) continue;
        const calendar::SolarDate day{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()};
        if (!calendar::isValid(day)) continue;
        const qint64 age = todayNumber - calendar::toDayNumber(day);
        if (age >= 0) byAge.emplace(age, name);
    }
    QSet<qint64> weeksKept;
    for (const auto& [age, name] : byAge) {
        const qint64 week = age / 7;
        if (week == 0) continue;
        if (week <= 4 && !weeksKept.contains(week)) {
            weeksKept.insert(week);
            continue;
        }
        plan.remove << name;
    }
    return plan;
}

QString dailyBackupFolder() { return QDir(paths::userDataFolder()).filePath(QStringLiteral("backups")); }

BackupReport runDailyBackup(const StoreAddress& store) {
    const QString folder = dailyBackupFolder();
    if (!QDir().mkpath(folder))
        return failure(QStringLiteral("در اين پوشه نمي توان فايل نوشت:\n%1").arg(isolatedPath(folder)));
    const calendar::SolarDate today = calendar::fromGregorian(calendar::todayGregorian());
    const DailyBackupPlan plan = planDailyBackups(today, QDir(folder).entryList({QStringLiteral("Data-*.db")}, QDir::Files));
    BackupReport report;
    report.ok = true;
    if (!plan.write.isEmpty()) {
        Connection server;
        const DailyClaim claim = store.isServer() && server.open(store) ? claimDailyCopy(server, dayText(today)) : DailyClaim::Unknown;
        if (claim == DailyClaim::Taken) return report;  // another desk, or this one before a restart, has today's
        report = backupStore(store, QDir(folder).filePath(plan.write), false);
        if (!report.ok) {
            if (claim == DailyClaim::Ours) releaseDailyCopy(server, dayText(today));  // so another desk may make it
            return report;  // the older copies stay until a new one is there
        }
    }
    for (const QString& name : plan.remove) QFile::remove(QDir(folder).filePath(name));
    return report;
}

}  // namespace zartav
