// copy-store: a whole store into another, file or server either way, checked row by row; how an
// office moves its Data.db to the server and takes a full copy of the server onto a file.
#include "cli/command.h"
#include "data/store_copy.h"
#include "data/store_files.h"
#include "data/tdm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace zartav::cli {
namespace {

const char* kUsageLine = "FROM TO [--replace] [--with-register]  (each a database file or a postgresql:// address)";

int fail(const QString& text) {
    std::fprintf(stderr, "zartav-cli copy-store: %s\n", text.toUtf8().constData());
    return kFailed;
}

int run(const QStringList& args) {
    QStringList stores;
    bool replace = false;
    RegisterCopy registerCopy = RegisterCopy::LeaveBehind;
    for (const QString& a : args) {
        if (a == QLatin1String("--replace")) replace = true;
        else if (a == QLatin1String("--with-register")) registerCopy = RegisterCopy::Bring;
        else stores << a;
    }
    if (stores.size() != 2) {
        std::fprintf(stderr, "usage: zartav-cli copy-store %s\n", kUsageLine);
        return kUsage;
    }
    const QString& fromAddress = stores.at(0);
    const QString& toAddress = stores.at(1);
    // Opening a missing file would make an empty store to copy; a typo must not do that.
    if (!isServerAddress(fromAddress) && !QFileInfo(fromAddress).isFile())
        return fail(QStringLiteral("no database file %1").arg(fromAddress));
    const bool targetExisted = isServerAddress(toAddress) || QFileInfo::exists(toAddress);
    // A full copy of the office's records and photos: readable by its owner alone, as backups are.
    QString why;
    if (!targetExisted && (!QDir().mkpath(QFileInfo(toAddress).absolutePath()) || !storefile::createPrivate(toAddress, &why)))
        return fail(QStringLiteral("%1: %2").arg(toAddress, why.isEmpty() ? QStringLiteral("the folder cannot be made") : why));

    Connection from, to;
    const auto refused = [&](const Connection& c) {
        if (!targetExisted) storefile::remove(toAddress);
        return fail(QStringLiteral("%1: %2").arg(c.displayName(), c.technicalError()));
    };
    if (!from.open(fromAddress, StoreAccess::ReadOnly)) return refused(from);
    if (!to.open(toAddress)) return refused(to);

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
    const QString target = to.displayName();
    to.close();
    if (!report.ok) {
        // A database file made only for this copy is not left behind.
        if (!targetExisted) storefile::remove(toAddress);
        return fail(report.error);
    }
    std::fprintf(stdout, "copied %lld records (%lld photos) and %lld catalogue rows with %lld history entries from %s to %s; checksum %s\n",
                 static_cast<long long>(report.records), static_cast<long long>(report.photos),
                 static_cast<long long>(report.catalogueRows), static_cast<long long>(report.historyEntries),
                 from.displayName().toUtf8().constData(),
                 target.toUtf8().constData(), report.checksum.constData());
    for (const QString& fingerprint : report.addedKeys)
        std::fprintf(stdout, "added the public key %s to the keys %s trusts\n", fingerprint.toUtf8().constData(),
                     target.toUtf8().constData());
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
