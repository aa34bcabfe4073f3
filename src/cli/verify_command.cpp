// zartav-cli verify: checks a certificate from a scan, a photo or a PDF of it, or from the text
// of its code, against the office's store, one public key, or offices' exported trust lists.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/tdm.h"
#include "print/certificate_code.h"
#include "print/certificate_seal.h"
#include "print/certificate_verify.h"

#include <QFileInfo>

#include <cstdio>

namespace {

using namespace zartav;

// Larger than any office's list; a bigger file is refused as damaged.
constexpr qint64 kMaxTrustFileBytes = 8'000'001;

const char* kUsageLine = "(--db STORE | --public-key FILE | --trust LIST...) (FILE | --text PAYLOAD)";

int run(const QStringList& args) {
    cli::Arguments line("verify", kUsageLine, {{"db", "STORE"}, {"public-key", "FILE"}, {"trust", "LIST"}, {"text", "PAYLOAD"}});
    if (!line.parse(args, 1)) return line.usage("unknown argument or missing value");
    const QString db = line.value("db"), publicKeyFile = line.value("public-key"), text = line.value("text");
    const QString file = line.words().value(0);
    const bool hasText = line.isSet("text");
    const QStringList trustFiles = line.values("trust");
    if (int(!db.isEmpty()) + int(!publicKeyFile.isEmpty()) + int(!trustFiles.isEmpty()) != 1)
        return line.usage("give one of --db, --public-key and --trust");
    if (hasText == !file.isEmpty()) return line.usage("give one FILE or --text PAYLOAD");

    std::optional<QByteArray> publicKey;
    QList<print::TrustList> lists;
    TDM dm;
    for (const QString& trust : trustFiles) {
        QFile f(trust);
        QString error = f.errorString();
        const std::optional<print::TrustList> list =
            f.open(QIODevice::ReadOnly) ? print::readTrustList(f.read(kMaxTrustFileBytes), &error) : std::nullopt;
        if (!list) {
            std::fprintf(stderr, "zartav-cli verify: cannot use the trust list %s: %s\n", qPrintable(trust), qPrintable(error));
            return cli::kUsage;
        }
        lists << *list;
    }
    if (!publicKeyFile.isEmpty()) {
        QString error;
        publicKey = print::readPublicKey(publicKeyFile, &error);
        if (!publicKey) {
            std::fprintf(stderr, "zartav-cli verify: cannot use the public key %s: %s\n", qPrintable(publicKeyFile),
                         qPrintable(error));
            return cli::kUsage;
        }
    } else if (trustFiles.isEmpty()) {
        if (!cli::isServerAddress(db) && !QFileInfo(db).isFile()) {
            std::fprintf(stderr, "zartav-cli verify: no database file %s\n", qPrintable(db));
            return cli::kFailed;
        }
        if (!dm.Maincon.open(db, StoreAccess::ReadOnly)) {
            std::fprintf(stderr, "zartav-cli verify: %s\n", qPrintable(dm.Maincon.errorText()));
            return cli::kFailed;
        }
    }
    Connection* store = publicKey ? nullptr : &dm.Maincon;
    const print::Verification v =
        !lists.isEmpty() ? (hasText ? print::verifyWithLists(text.toUtf8(), lists) : print::verifyReading(print::readCodesFromFile(file), lists))
        : hasText        ? print::verifyPayload(text.toUtf8(), store, publicKey)
                         : print::verifyReading(print::readCodesFromFile(file), store, publicKey);
    // The code's facts come from whoever made it: never a raw control on the terminal.
    auto shown = [](const QString& text) { return print::shownEscaped(text).toUtf8(); };
    for (const print::FactLine& f : v.facts) {
        if (f.stored.isEmpty() || f.stored == f.printed)
            std::printf("%s: %s\n", shown(f.caption).constData(), shown(f.printed).constData());
        else
            std::printf("%s: %s (اكنون %s)\n", shown(f.caption).constData(), shown(f.printed).constData(),
                        shown(f.stored).constData());
    }
    if (!v.storeError.isEmpty())
        std::fprintf(stderr, "zartav-cli verify: the store could not be read: %s\n", shown(v.storeError).constData());
    std::printf("verdict: %s\n%s\n", shown(v.english).constData(), v.farsi.toUtf8().constData());
    return int(v.verdict);
}

const bool registered = cli::registerCommand(
    {"verify", kUsageLine, run,
     "checks a certificate from a scan, photo or PDF (or its code's text), against the store, a public key or "
     "offices' trust lists (--trust, repeatable): 0 genuine and current, 1 the store "
     "cannot be opened, 3 superseded, 4 unknown key, 5 forged, 6 no readable code, 7 unsigned"});

}  // namespace
