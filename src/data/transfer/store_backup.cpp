#include "data/transfer/store_backup.h"

#include "data/engine/store_address.h"
#include "data/link/connection.h"
#include "data/schema/record_schema.h"
#include "data/transfer/backup_files.h"
#include "data/transfer/store_copy.h"
#include "util/bidi_text.h"

#include <QFileInfo>

namespace zartav {
using namespace backups;
namespace {

// Pages of a file store copied between two looks at the progress.
constexpr int kPagesAStep = 1024;

// A file whose schema is not the program's: `heading` and the file, then the object named.
QString refusal(const QString& heading, const QString& path, const integrity::SchemaCheck& check) {
    return QStringLiteral("%1:\n%2\n%3").arg(heading, isolatedPath(path), check.foreign);
}

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

QString backupSummary(const BackupReport& report) {
    if (report.ok)
        return QStringLiteral("پشتيبان با %1 ركورد نوشته و بررسي شد:\n%2").arg(report.records).arg(isolatedPath(report.path));
    return withEngineWords(QStringLiteral("پشتيبان گرفته نشد؛ اطلاعات دست نخورده است.\n") + report.reason, report.engineWords);
}

}  // namespace zartav
