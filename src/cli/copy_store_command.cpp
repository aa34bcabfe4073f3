// copy-store: a whole store into another, file or server either way, checked row by row; how an
// office moves its Data.db to the server and takes a full copy of the server onto a file.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/transfer/store_copy.h"
#include "data/engine/store_files.h"
#include "data/tdm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace zartav::cli {
namespace {

const char* kUsageLine = "FROM TO [--replace] [--with-register]  (each a database file or a postgresql:// address)";

int fail(const QString& text) {
    std::fprintf(stderr, "zartav-cli copy-store: %s\n", text.toUtf8().constData());
    return kFailed;
}

// ".Data.db.copy-PID.part" beside the target: the process that writes it is in its name.
QString partName(const QString& target, qint64 pid = QCoreApplication::applicationPid()) {
    const QFileInfo info(target);
    return info.absoluteDir().filePath(QStringLiteral(".%1.copy-%2.part").arg(info.fileName()).arg(pid));
}

// The parts of copies to `target` whose process is gone, with whatever SQLite left beside them.
void removeStaleParts(const QString& target) {
    const QFileInfo info(target);
    const QString prefix = QStringLiteral(".%1.copy-").arg(info.fileName());
    for (const QString& name : info.absoluteDir().entryList({prefix + QStringLiteral("*.part")}, QDir::Files | QDir::Hidden)) {
        bool number = false;
        const qint64 pid = name.mid(prefix.size(), name.size() - prefix.size() - 5).toLongLong(&number);
        if (number && (pid == QCoreApplication::applicationPid() || ::kill(pid_t(pid), 0) != 0))
            storefile::remove(info.absoluteDir().filePath(name));
    }
}

int run(const QStringList& args) {
    Arguments line("copy-store", kUsageLine, {{"replace"}, {"with-register"}});
    if (!line.parse(args, 2) || line.words().size() != 2) return line.usage();
    const QStringList stores = line.words();
    const bool replace = line.isSet("replace");
    const RegisterCopy registerCopy = line.isSet("with-register") ? RegisterCopy::Bring : RegisterCopy::LeaveBehind;
    const QString& fromAddress = stores.at(0);
    const QString& toAddress = stores.at(1);
    // Opening a missing file would make an empty store to copy; a typo must not do that.
    if (!isServerAddress(fromAddress) && !QFileInfo(fromAddress).isFile())
        return fail(QStringLiteral("no database file %1").arg(fromAddress));
    const bool targetExisted = isServerAddress(toAddress) || QFileInfo::exists(toAddress) || QFileInfo(toAddress).isSymLink();
    if (!isServerAddress(toAddress) && storefile::isDanglingLink(toAddress))
        return fail(QStringLiteral("%1 is a symbolic link to nothing; no store is made where it points").arg(toAddress));
    // A new file is written under a name of its own beside it and takes its name only once the
    // copy is checked and closed: a copy that is stopped, even killed, never leaves a half store
    // under the name asked for. What such a copy left is removed by the next one.
    QString target = toAddress;
    if (!targetExisted) {
        if (!QDir().mkpath(QFileInfo(toAddress).absolutePath()))
            return fail(QStringLiteral("%1: the folder cannot be made").arg(toAddress));
        removeStaleParts(toAddress);
        target = partName(toAddress);
        // A full copy of the office's records and photos: readable by its owner alone, as backups are.
        QString why;
        if (!storefile::createPrivate(target, &why)) return fail(QStringLiteral("%1: %2").arg(toAddress, why));
    }

    Connection from, to;
    const auto refused = [&](const Connection& c) {
        if (!targetExisted) storefile::remove(target);
        return fail(QStringLiteral("%1: %2").arg(&c == &to ? toAddress : c.displayName(), c.technicalError()));
    };
    if (!from.open(fromAddress, StoreAccess::ReadOnly)) return refused(from);
    if (!to.open(target)) return refused(to);

    // Progress only on a terminal; a script's log gets the summary alone.
    const bool terminal = isatty(STDERR_FILENO) == 1;
    QElapsedTimer shown;
    shown.start();
    const StoreCopyReport report = copyStore(from, to, replace, [&](qint64 done, qint64 total) {
        if (!terminal || (done < total && shown.elapsed() < 200)) return true;
        shown.restart();
        std::fprintf(stderr, "\rcopying %lld of %lld rows", static_cast<long long>(done), static_cast<long long>(total));
        if (done == total) std::fprintf(stderr, "\n");
        std::fflush(stderr);
        return true;
    }, registerCopy);
    const QString written = targetExisted ? to.displayName() : QDir::toNativeSeparators(toAddress);
    to.close();
    if (!report.ok) {
        // A database file made only for this copy is not left behind.
        if (!targetExisted) storefile::remove(target);
        return fail(report.error);
    }
    // link() refuses a name taken meanwhile, where a rename would replace it.
    if (!targetExisted) {
        const bool placed = ::link(QFile::encodeName(target).constData(), QFile::encodeName(toAddress).constData()) == 0;
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        storefile::remove(target);
        if (!placed) return fail(QStringLiteral("%1: %2").arg(toAddress, why));
    }
    std::fprintf(stdout, "copied %lld records (%lld photos) and %lld catalogue rows with %lld history entries from %s to %s; checksum %s\n",
                 static_cast<long long>(report.records), static_cast<long long>(report.photos),
                 static_cast<long long>(report.catalogueRows), static_cast<long long>(report.historyEntries),
                 from.displayName().toUtf8().constData(),
                 written.toUtf8().constData(), report.checksum.constData());
    for (const QString& fingerprint : report.addedKeys)
        std::fprintf(stdout, "added the public key %s to the keys %s trusts\n", fingerprint.toUtf8().constData(),
                     written.toUtf8().constData());
    if (report.registerLeft)
        std::fprintf(stdout, "the source's register (%lld certificate issues, %lld public keys) and issuer texts stayed behind; "
                             "its owner brings them with --with-register\n",
                     static_cast<long long>(report.issuesLeft), static_cast<long long>(report.keysLeft));
    return kOk;
}

const bool registered = registerCommand(
    {"copy-store", kUsageLine, run,
     "copies every record and the catalogue of one store (file or server) into another, checked row by row; "
     "into a server the source's certificate register and public keys come only with --with-register, run as the "
     "owner of the server's tables, which lists every key it adds"});

}  // namespace
}  // namespace zartav::cli
