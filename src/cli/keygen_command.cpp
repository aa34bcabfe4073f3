// zartav-cli keygen: the office's signing key for certificates. The secret key goes to a file of
// its own (mode 0600), never into the store, or is made on a token it never leaves (--pkcs11);
// the store gets the public key, beside every earlier one, so certificates signed before still
// verify.
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/token_pin.h"
#include "data/certificates/certificate_register.h"
#include "data/tdm.h"
#include "print/certificate_seal.h"
#include "print/token_key.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

using namespace zartav;

const char* kUsageLine = "--db STORE (--key FILE | --pkcs11 MODULE --token LABEL [--label KEYLABEL] [--public-key FILE])";

int failed(const QString& why) { return cli::failure("keygen", why); }

bool registered(TDM& dm, const QByteArray& publicKey, QString* error) {
    QSqlDatabase database = dm.Maincon.database();
    return certificates::addPublicKey(database, publicKey, QString::fromLatin1(print::keyFingerprint(publicKey).toHex()),
                                      error);
}

int keyFileKeygen(TDM& dm, const QString& keyFile) {
    const print::SigningKey key = print::newSigningKey();
    QString error;
    // The key file first: a public key in the store without its secret would sign nothing.
    if (!print::writeKeyFiles(keyFile, key, &error)) return failed(QStringLiteral("cannot write the key: %1").arg(error));
    if (!registered(dm, key.publicKey, &error)) {
        QFile::remove(keyFile);
        QFile::remove(keyFile + QStringLiteral(".pub"));
        return failed(QStringLiteral("cannot add the public key to the store: %1").arg(error));
    }
    std::printf(
        "signing key: %s (readable by its owner alone; keep a copy somewhere safe)\n"
        "public key:  %s.pub\nfingerprint: %s\n",
        qPrintable(keyFile), qPrintable(keyFile), qPrintable(print::fingerprintText(print::keyFingerprint(key.publicKey))));
    return cli::kOk;
}

int tokenKeygen(TDM& dm, const print::TokenKeyPlace& place, const QString& publicFile) {
    const std::optional<print::TokenPin> pin = cli::tokenPin(place);
    print::TokenError why = print::tokenError(print::TokenFault::NoPin, place);
    const std::unique_ptr<print::TokenKey> key = pin ? print::TokenKey::generate(place, *pin, &why) : nullptr;
    if (!key) return failed(QStringLiteral("no key was made on the token: %1\n%2").arg(why.english, why.farsi));
    // A key the store does not know signs certificates no one can check: it goes again.
    auto undone = [&](const QString& reason) {
        print::TokenError left;
        if (!key->discard(&left))
            return failed(QStringLiteral("%1; the new key stays on the token: %2").arg(reason, left.english));
        return failed(reason);
    };
    QString error;
    if (!publicFile.isEmpty() && !print::writePublicKeyFile(publicFile, key->publicKey(), &error))
        return undone(QStringLiteral("cannot write the public key: %1").arg(error));
    if (!registered(dm, key->publicKey(), &error)) {
        if (!publicFile.isEmpty()) QFile::remove(publicFile);
        return undone(QStringLiteral("cannot add the public key to the store: %1").arg(error));
    }
    std::printf("signing key: %s on token %s (it never leaves the token)\n", qPrintable(place.key), qPrintable(place.token));
    if (!publicFile.isEmpty()) std::printf("public key:  %s\n", qPrintable(publicFile));
    std::printf("fingerprint: %s\n", qPrintable(print::fingerprintText(print::keyFingerprint(key->publicKey()))));
    return cli::kOk;
}

int run(const QStringList& args) {
    cli::Arguments line("keygen", kUsageLine,
                        {{"db", "STORE"},
                         {"key", "FILE"},
                         {"pkcs11", "MODULE"},
                         {"token", "LABEL"},
                         {"label", "KEYLABEL"},
                         {"public-key", "FILE"}});
    if (!line.parse(args)) return line.usage("unknown argument or missing value");
    const QString db = line.value("db"), keyFile = line.value("key"), publicFile = line.value("public-key");
    print::TokenKeyPlace place{line.value("pkcs11"), line.value("token"), line.value("label")};
    if (place.key.isEmpty()) place.key = QString::fromLatin1(print::kDefaultTokenKeyLabel);
    const bool onToken = !place.module.isEmpty();
    if (db.isEmpty() || keyFile.isEmpty() == !onToken) return line.usage("--db and one of --key and --pkcs11 are required");
    if (onToken == place.token.isEmpty()) return line.usage("--pkcs11 and --token go together");
    if (!onToken && (line.isSet("label") || !publicFile.isEmpty()))
        return line.usage("--label and --public-key are for a token");
    if (!cli::isServerAddress(db) && !QFileInfo(db).isFile()) return failed(QStringLiteral("no database file %1").arg(db));
    for (const QString& file : {keyFile, publicFile})
        if (!file.isEmpty() && QFile::exists(file))
            return failed(QStringLiteral("%1 already exists; a key file is never overwritten").arg(file));

    TDM dm;
    if (!dm.Maincon.open(db)) return failed(dm.Maincon.errorText());
    if (dm.Maincon.isReadOnly()) return failed(QStringLiteral("the store can only be read: its key cannot be added"));
    return onToken ? tokenKeygen(dm, place, publicFile) : keyFileKeygen(dm, keyFile);
}

const bool registeredCommand = cli::registerCommand(
    {"keygen", kUsageLine, run,
     "makes the office's certificate signing key (in a file or on a token) and adds its public key to the store"});

}  // namespace
