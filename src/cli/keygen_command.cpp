// zartav-cli keygen: the office's signing key for certificates. The secret key goes to a file of
// its own (mode 0600), never into the store; the store gets the public key, beside every earlier
// one, so certificates signed before still verify.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/certificates/certificate_register.h"
#include "data/tdm.h"
#include "print/certificate_seal.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

using namespace zartav;

const char* kUsageLine = "--db STORE --key FILE";

int failed(const QString& why) { return cli::failure("keygen", why); }

int run(const QStringList& args) {
    cli::Arguments line("keygen", kUsageLine, {{"db", "STORE"}, {"key", "FILE"}});
    if (!line.parse(args)) return line.usage("unknown argument or missing value");
    const QString db = line.value("db"), keyFile = line.value("key");
    if (db.isEmpty() || keyFile.isEmpty()) return line.usage("--db and --key are required");
    if (!cli::isServerAddress(db) && !QFileInfo(db).isFile()) return failed(QStringLiteral("no database file %1").arg(db));
    if (QFile::exists(keyFile)) return failed(QStringLiteral("%1 already exists; a key file is never overwritten").arg(keyFile));

    TDM dm;
    if (!dm.Maincon.open(db)) return failed(dm.Maincon.errorText());
    if (dm.Maincon.isReadOnly()) return failed(QStringLiteral("the store can only be read: its key cannot be added"));
    const print::SigningKey key = print::newSigningKey();
    QString error;
    // The key file first: a public key in the store without its secret would sign nothing.
    if (!print::writeKeyFiles(keyFile, key, &error)) return failed(QStringLiteral("cannot write the key: %1").arg(error));
    const QByteArray fingerprint = print::keyFingerprint(key.publicKey);
    QSqlDatabase database = dm.Maincon.database();
    if (!certificates::addPublicKey(database, key.publicKey, QString::fromLatin1(fingerprint.toHex()), &error)) {
        QFile::remove(keyFile);
        QFile::remove(keyFile + QStringLiteral(".pub"));
        return failed(QStringLiteral("cannot add the public key to the store: %1").arg(error));
    }
    std::printf("signing key: %s (readable by its owner alone; keep a copy somewhere safe)\n"
                "public key:  %s.pub\nfingerprint: %s\n",
                qPrintable(keyFile), qPrintable(keyFile), qPrintable(print::fingerprintText(fingerprint)));
    return cli::kOk;
}

const bool registered = cli::registerCommand(
    {"keygen", kUsageLine, run, "makes the office's certificate signing key and adds its public key to the store"});

}  // namespace
