// backup and restore: a consistent copy of a store (file or server) into one database file, taken
// while others go on saving, and a store put back from such a copy after it has been checked.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/engine/store_address.h"
#include "data/transfer/store_backup.h"
#include "data/transfer/store_restore.h"

#include <QFileInfo>
#include <cstdio>

namespace zartav::cli {
namespace {

const char* kBackupUsage = "--db STORE [--replace] OUT.db";
const char* kRestoreUsage = "--db STORE [--force] [--with-register] IN.db";

// Messages name paths isolated for the windows; a terminal shows them better plain.
QByteArray plain(const QString& text) {
    return QString(text).remove(QChar(0x2068)).remove(QChar(0x2069)).toUtf8();
}

struct Request {
    QString store;
    QString file;
    bool flag = false;  // backup: --replace; restore: --force
    bool withRegister = false;  // restore onto a server: the backup's register and keys come too
};

// Nothing when the command line is wrong (its usage line written).
std::optional<Request> parse(const QStringList& args, bool restoring) {
    Arguments line = restoring ? Arguments("restore", kRestoreUsage, {{"db", "STORE"}, {"force"}, {"with-register"}})
                               : Arguments("backup", kBackupUsage, {{"db", "STORE"}, {"replace"}});
    if (!line.parse(args, 1) || line.words().value(0).isEmpty() || line.value("db").isEmpty())
        return line.usage(), std::nullopt;
    return Request{line.value("db"), line.words().at(0), line.isSet(restoring ? "force" : "replace"),
                   restoring && line.isSet("with-register")};
}

std::optional<StoreAddress> storeOf(const QString& text, const char* command) {
    QString why;
    std::optional<StoreAddress> address = StoreAddress::parse(text, &why);
    if (!address) std::fprintf(stderr, "zartav-cli %s: %s\n", command, plain(why).constData());
    return address;
}

int fail(const char* command, const QString& reason, const QString& engineWords) {
    QString text = reason;
    if (!engineWords.isEmpty()) text += QStringLiteral(" (") + engineWords.trimmed() + QLatin1Char(')');
    std::fprintf(stderr, "zartav-cli %s: %s\n", command, plain(text).constData());
    return kFailed;
}

int runBackup(const QStringList& args) {
    const std::optional<Request> a = parse(args, false);
    if (!a) return kUsage;
    const std::optional<StoreAddress> store = storeOf(a->store, "backup");
    if (!store) return kFailed;
    if (!store->isServer() && !QFileInfo::exists(store->filePath()))
        return fail("backup", QStringLiteral("no database file %1").arg(store->filePath()), {});
    const BackupReport report = backupStore(*store, a->file, a->flag);
    if (!report.ok) return fail("backup", report.reason, report.engineWords);
    std::fprintf(stdout, "backup of %lld records written to %s and checked\n", static_cast<long long>(report.records),
                 report.path.toUtf8().constData());
    return kOk;
}

int runRestore(const QStringList& args) {
    const std::optional<Request> a = parse(args, true);
    if (!a) return kUsage;
    const std::optional<StoreAddress> store = storeOf(a->store, "restore");
    if (!store) return kFailed;
    const BackupReport report = restoreStore(*store, a->file, a->flag ? EmptyCopy::Allow : EmptyCopy::Refuse, {},
                                             a->withRegister ? RegisterCopy::Bring : RegisterCopy::LeaveBehind);
    if (report.emptyCopy) return fail("restore", report.reason, QStringLiteral("--force restores it all the same"));
    if (!report.ok) return fail("restore", report.reason, report.engineWords);
    std::fprintf(stdout, "%lld records restored into %s from %s\n", static_cast<long long>(report.records),
                 store->display().toUtf8().constData(), a->file.toUtf8().constData());
    if (!report.kept.isEmpty()) std::fprintf(stdout, "the records replaced are kept in %s\n", report.kept.toUtf8().constData());
    for (const QString& fingerprint : report.addedKeys)
        std::fprintf(stdout, "added the public key %s to the keys the server trusts\n", fingerprint.toUtf8().constData());
    if (report.registerLeft)
        std::fprintf(stdout, "the backup's certificate register, public keys and issuer texts stayed behind; the server kept "
                             "its own (its owner brings the backup's with --with-register)\n");
    return kOk;
}

const bool registeredBackup = registerCommand(
    {"backup", kBackupUsage, runBackup,
     "writes a checked, consistent copy of a store (file or server) into a database file while others save"});
const bool registeredRestore = registerCommand(
    {"restore", kRestoreUsage, runRestore,
     "replaces a store's records and catalogue by a checked backup, keeping the replaced ones under a dated "
     "name of their own (a file as STORE.before-restore-DATE-TIME, a server's in the daily backups folder); "
     "a backup without records replaces records only with --force; onto a server the backup's certificate register "
     "and public keys come only with --with-register, run as the owner of the server's tables"});

}  // namespace
}  // namespace zartav::cli
