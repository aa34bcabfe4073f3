// zartav-cli trust-list: writes the office's signed trust list, which verify --trust and the
// office's public checking page read.
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/token_pin.h"
#include "data/certificates/office_texts.h"
#include "data/tdm.h"
#include "print/token_key.h"
#include "print/trust_list.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

using namespace zartav;

const char* kUsageLine = "--db STORE (--key FILE | --pkcs11 MODULE --token LABEL [--label KEYLABEL]) --out FILE";

// The office's current key, from its file or its token; nothing, with why, when it cannot sign.
std::unique_ptr<print::Signer> officeSigner(const QString& keyFile, print::TokenKeyPlace place, QString* error) {
    if (!keyFile.isEmpty()) {
        std::optional<print::SigningKey> key = print::readSigningKey(keyFile, error);
        if (!key) *error = QStringLiteral("cannot use the signing key %1: %2").arg(keyFile, *error);
        return key ? std::make_unique<print::KeySigner>(std::move(*key)) : nullptr;
    }
    if (place.key.isEmpty()) place.key = QString::fromLatin1(print::kDefaultTokenKeyLabel);
    const std::optional<print::TokenPin> pin = cli::tokenPin(place);
    print::TokenError why = print::tokenError(print::TokenFault::NoPin, place);
    std::unique_ptr<print::TokenKey> token = pin ? print::TokenKey::open(place, *pin, &why) : nullptr;
    if (!token) *error = why.english;
    return token;
}

int run(const QStringList& args) {
    cli::Arguments line("trust-list", kUsageLine,
                        {{"db", "STORE", "--db needs a file or a server address"}, {"key", "FILE", "--key needs a file"},
                         {"pkcs11", "MODULE", "--pkcs11 needs the token's module"},
                         {"token", "LABEL", "--token needs the token's label"}, {"label", "KEYLABEL", "--label needs the key's label"},
                         {"out", "FILE", "--out needs a file"}});
    if (!line.parse(args)) return line.refuse("unknown argument");
    const QString db = line.value("db"), keyFile = line.value("key"), out = line.value("out");
    const print::TokenKeyPlace place{line.value("pkcs11"), line.value("token"), line.value("label")};
    if (db.isEmpty() || out.isEmpty() || keyFile.isEmpty() == place.module.isEmpty())
        return line.usage("--db, --out and one of --key and --pkcs11 are required");
    if (place.module.isEmpty() != place.token.isEmpty()) return line.usage("--pkcs11 and --token go together");
    QString error;
    const std::unique_ptr<print::Signer> signer = officeSigner(keyFile, place, &error);
    if (!signer) return cli::failure("trust-list", error);
    if (!cli::isServerAddress(db) && !QFileInfo(db).isFile()) return cli::failure("trust-list", QStringLiteral("no database file %1").arg(db));
    TDM dm;
    if (!dm.Maincon.open(db, StoreAccess::ReadOnly)) return cli::failure("trust-list", dm.Maincon.errorText());
    QSqlDatabase store = dm.Maincon.database();
    const QString office =
        certificates::readOfficeTexts(store).value_or(QHash<QString, QString>()).value(QLatin1String(certificates::kOfficeName));
    const std::optional<print::TrustList> list = print::storeTrustList(store, office, &error);
    if (!list) return cli::failure("trust-list", error);
    const QByteArray file = print::signedTrustList(*list, *signer, &error);
    if (file.isEmpty()) return cli::failure("trust-list", error);
    QSaveFile saved(out);
    if (!saved.open(QIODevice::WriteOnly) || saved.write(file) != file.size() || !saved.commit())
        return cli::failure("trust-list", QStringLiteral("%1: %2").arg(out, saved.errorString()));
    std::printf("%s: %lld keys, %lld numbers superseded or taken back\n", qPrintable(out), qlonglong(list->keys.size()),
                qlonglong(list->closed.size()));
    return cli::kOk;
}

const bool registered = cli::registerCommand(
    {"trust-list", kUsageLine, run,
     "writes the office's trust list, signed by its current key: every public key the store knows (fingerprint, from "
     "and to dates, office) and every certificate number superseded or taken back, as of today"});

}  // namespace
