#include "data/transfer/store_restore.h"

#include "data/certificates/certificate_numbering.h"
#include "data/engine/store_address.h"
#include "data/link/connection.h"
#include "data/transfer/backup_files.h"
#include "data/transfer/daily_copies.h"
#include "util/bidi_text.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>

#include <atomic>

namespace zartav {
using namespace backups;
namespace {

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

// A link of the Qt driver of its own to a store file, hardened as every other, for the routines
// that read or write a store through one. Gone with it, on the thread that made it.
class FileLink {
public:
    FileLink(const QString& path, bool readOnly) : name_(QStringLiteral("zartav-restore-%1").arg(++made_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        if (readOnly) db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) error_ = db.lastError().text();
        else if (!integrity::harden(integrity::handleOf(db))) error_ = QStringLiteral("the connection does not take SQLite's defensive settings");
        db_ = db;
    }
    ~FileLink() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    FileLink(const FileLink&) = delete;
    FileLink& operator=(const FileLink&) = delete;

    bool opened() const { return db_.isOpen() && error_.isEmpty(); }
    QString error() const { return error_; }
    QSqlDatabase& database() { return db_; }

private:
    static inline std::atomic<quint64> made_ = 0;
    QString name_;
    QString error_;
    QSqlDatabase db_;
};

}  // namespace

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
        std::optional<qint64> issuedUpTo;
        if (opened && db.check().ok) {
            FileLink replaced(current, true);
            if (replaced.opened()) issuedUpTo = certificates::issuedHighWater(replaced.database());
        }
        if (issuedUpTo && *issuedUpTo > 0) {
            FileLink restored(part.path(), false);
            QString error = restored.error();
            if (!restored.opened() || !certificates::raiseIssueNumbers(restored.database(), *issuedUpTo, &error))
                return failure(kDiskFault, error);
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

}  // namespace zartav
