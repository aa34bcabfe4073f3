// zartav-cli certificate: the certificates of chosen records into one PDF, one page each, drawn
// by the same renderer as the program's preview and printer. Each is an issue of the store's
// register, its code signed with --key or with the key on a token (--pkcs11).
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/token_pin.h"
#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "print/certificate_issuer.h"
#include "print/certificate_layout.h"
#include "print/certificate_pdf.h"
#include "print/certificate_source.h"
#include "print/certificate_template.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <optional>
#include <unistd.h>

namespace {

using namespace zartav;

const char* kUsageLine =
    "--db STORE (--id N | --ids N,N,... | --herd CODE | --all) --pdf OUT.pdf [--template FILE] "
    "[--key FILE | --pkcs11 MODULE --token LABEL [--label KEYLABEL]] [--allow-draft]";

constexpr qsizetype kListedIssues = 50;

int failed(const QString& why) { return cli::failure("certificate", why); }

// "3,7,12" in "ID" order, each once; nothing when a part is not a whole number.
std::optional<QList<qint64>> parseIds(const QString& text) {
    QList<qint64> ids;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const qint64 id = part.trimmed().toLongLong(&ok);
        if (!ok) return std::nullopt;
        ids << id;
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

// One line on standard error rewritten in place, for a person watching a long run; nothing when
// standard error goes to a file or a pipe.
std::function<bool(int, int)> progressLine() {
    if (!isatty(STDERR_FILENO)) return {};
    return [](int done, int total) {
        std::fprintf(stderr, "\rcertificate %d of %d", done, total);
        if (done == total) std::fputc('\n', stderr);
        std::fflush(stderr);
        return true;
    };
}

int run(const QStringList& args) {
    cli::Arguments line("certificate", kUsageLine,
                        {{"db", "STORE", "--db needs a file or a server address"}, {"pdf", "OUT.pdf", "--pdf needs a file"},
                         {"template", "FILE", "--template needs a file"}, {"id", "N", "--id needs a number"},
                         {"ids", "N,N,...", "--ids needs numbers"}, {"herd", "CODE", "--herd needs a code"},
                         {"key", "FILE", "--key needs a file"}, {"pkcs11", "MODULE", "--pkcs11 needs the token's module"},
                         {"token", "LABEL", "--token needs the token's label"}, {"label", "KEYLABEL", "--label needs the key's label"},
                         {"all"}, {"allow-draft"}});
    if (!line.parse(args)) return line.refuse("unknown argument");
    const QString db = line.value("db"), pdf = line.value("pdf"), templateFile = line.value("template");
    const QString id = line.value("id"), ids = line.value("ids"), herd = line.value("herd"), keyFile = line.value("key");
    const bool all = line.isSet("all"), allowDraft = line.isSet("allow-draft");
    const qsizetype selections = line.count("id") + line.count("ids") + line.count("herd") + line.count("all");
    if (db.isEmpty() || pdf.isEmpty()) return line.usage("--db and --pdf are required");
    if (selections != 1) return line.usage("choose exactly one of --id, --ids, --herd, --all");
    print::DeskKey key{keyFile, {line.value("pkcs11"), line.value("token"), line.value("label")}};
    if (key.token.key.isEmpty()) key.token.key = QString::fromLatin1(print::kDefaultTokenKeyLabel);
    if (!key.token.module.isEmpty() && !keyFile.isEmpty()) return line.usage("give one of --key and --pkcs11");
    if (key.token.module.isEmpty() != key.token.token.isEmpty()) return line.usage("--pkcs11 and --token go together");
    std::optional<QList<qint64>> chosen;
    if (!id.isEmpty() || !ids.isEmpty()) {
        chosen = parseIds(id.isEmpty() ? ids : id);
        if (!chosen || (!id.isEmpty() && chosen->size() != 1))
            return line.usage(id.isEmpty() ? "--ids needs whole numbers, separated by commas" : "--id needs a whole number");
    }

    // Opening a missing file would create an empty database; a typo must not do that.
    if (!cli::isServerAddress(db) && !QFileInfo(db).isFile()) return failed(QStringLiteral("no database file %1").arg(db));

    print::CertificateLayout layout = print::builtinCertificateLayout();
    if (!templateFile.isEmpty()) {
        const print::LoadedTemplate loaded = print::loadCertificateTemplate(templateFile);
        if (loaded.status != print::TemplateStatus::Loaded)
            return failed(QStringLiteral("cannot use the layout file %1: %2")
                              .arg(templateFile, loaded.status == print::TemplateStatus::Missing
                                                     ? QStringLiteral("no such file")
                                                     : loaded.error));
        layout = loaded.layout;
    }

    // Every certificate written is an issue of the store's register. A key given but unusable is
    // a mistake to stop at; no key at all prints unsigned codes, and says so.
    QString error;
    if (!keyFile.isEmpty() && !print::readSigningKey(keyFile, &error))
        return failed(QStringLiteral("cannot use the signing key %1: %2").arg(keyFile, error));
    TDM dm;
    if (!dm.Maincon.open(db)) return failed(dm.Maincon.errorText());
    QSqlDatabase officeDb = dm.Maincon.database();
    const std::optional<QHash<QString, QString>> texts = certificates::readOfficeTexts(officeDb, &error);
    if (!texts) return failed(QStringLiteral("the issuing office's texts could not be read: %1").arg(error));
    print::applyOfficeTexts(layout, *texts);
    const QString office = texts->value(QString::fromLatin1(certificates::kOfficeName));
    // An official page never prints stand-in words; a draft says what it is and issues nothing.
    const QStringList standIns = certificates::standInTexts(*texts);
    const bool draft = !standIns.isEmpty();
    if (draft && !allowDraft)
        return failed(QStringLiteral("the issuing office has not set its own texts (%1), so the page would print stand-in "
                                     "words: set them in «مشخصات صادر كننده» or with zartav-cli issuer, or give "
                                     "--allow-draft for draft pages without a number or code")
                          .arg(standIns.join(QStringLiteral(", "))));
    print::DeskIssuing issuing;
    if (draft) {
        print::markDraft(layout);
        std::fprintf(stderr, "zartav-cli certificate: draft pages (پيش نويس), without a number or code; nothing is issued\n");
    } else {
        issuing = print::issuingForDesk(dm.Maincon, office, key, cli::tokenPin);
        if (issuing.refused) return failed(issuing.englishNotice + QLatin1Char('\n') + issuing.notice);
        if (!issuing.englishNotice.isEmpty())
            std::fprintf(stderr, "zartav-cli certificate: %s\n", qPrintable(issuing.englishNotice));
    }
    if (!chosen) {
        chosen = print::storedRecordIds(dm.worker(), herd.isEmpty() ? std::nullopt : std::optional<QString>(herd), &error);
        if (!chosen) return failed(error);
        if (chosen->isEmpty())
            return failed(all ? QStringLiteral("the database holds no record")
                              : QStringLiteral("no record in herd %1").arg(herd));
    }
    // Every certificate asked for by number must be there: better no file than one short. The
    // records are read inline, several a statement, while their photos are decoded on other threads.
    print::StoredCertificates source(dm.worker(), *chosen);
    // The photos pass through buffers of megabytes, a few records at a time: the ones let go are
    // kept for the next records instead of going back to the kernel and being faulted in again
    // page by page (a tenth of the job's time). The peak stays what the records in flight need.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    print::PageRun run;
    run.progress = progressLine();
    run.issuer = issuing.issuer.get();
    const print::PrintOutcome outcome = print::writeCertificatesPdf(pdf, layout, source, run, &error);
    if (outcome != print::PrintOutcome::Done) {
        if (source.recordMissing()) return failed(QStringLiteral("no record with ID %1").arg(source.failedId()));
        if (source.failedId() > 0)
            return failed((dm.Maincon.isLost() ? QStringLiteral("the connection to the server was lost and could not be "
                                                                "made again; the record with ID %1 was not read: %2")
                                               : QStringLiteral("the record with ID %1 could not be read: %2"))
                              .arg(source.failedId())
                              .arg(source.errorText()));
        return failed(QStringLiteral("cannot write %1: %2").arg(pdf, error));
    }
    // What was issued: each certificate of a short run, the counts of a long one.
    const QList<certificates::Issue> issued = issuing.issuer ? issuing.issuer->issued() : QList<certificates::Issue>();
    int duplicates = 0, superseding = 0;
    for (const certificates::Issue& i : issued) {
        duplicates += i.duplicate;
        superseding += i.superseded != 0;
        if (issued.size() <= kListedIssues)
            std::printf("ID %lld: certificate %lld%s\n", i.recordId, i.number,
                        i.duplicate    ? " (duplicate)"
                        : i.superseded ? qPrintable(QStringLiteral(" (supersedes %1)").arg(i.superseded))
                                       : "");
    }
    if (issued.size() > kListedIssues)
        std::printf("%lld certificates: %lld new, %d duplicates, %d replacing earlier ones\n", qint64(issued.size()),
                    qint64(issued.size() - duplicates - superseding), duplicates, superseding);
    return cli::kOk;
}

const bool registered = cli::registerCommand({"certificate", kUsageLine, run, "writes certificates to a PDF file, one page per record in ID order"});

}  // namespace
