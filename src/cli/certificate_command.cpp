// zartav-cli certificate: the certificates of chosen records into one PDF, one page each, drawn
// by the same renderer as the program's preview and printer.
#include "cli/command.h"
#include "data/record_schema.h"
#include "data/tdm.h"
#include "print/certificate_layout.h"
#include "print/certificate_pdf.h"
#include "print/certificate_source.h"
#include "print/certificate_template.h"

#include <QFileInfo>
#include <cstdio>

namespace {

using namespace zartav;

const char* kUsageLine = "--db FILE (--id N | --herd CODE | --all) --pdf OUT.pdf [--template FILE]";

int usage(const char* why) {
    std::fprintf(stderr, "zartav-cli certificate: %s\nusage: zartav-cli certificate %s\n", why, kUsageLine);
    return cli::kUsage;
}

int failed(const QString& why) {
    std::fprintf(stderr, "zartav-cli certificate: %s\n", qPrintable(why));
    return cli::kFailed;
}

int run(const QStringList& args) {
    QString db, pdf, templateFile, id, herd;
    bool all = false;
    int selections = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto next = [&](QString& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == QLatin1String("--db")) { if (!next(db)) return usage("--db needs a file"); }
        else if (a == QLatin1String("--pdf")) { if (!next(pdf)) return usage("--pdf needs a file"); }
        else if (a == QLatin1String("--template")) { if (!next(templateFile)) return usage("--template needs a file"); }
        else if (a == QLatin1String("--id")) { if (!next(id)) return usage("--id needs a number"); ++selections; }
        else if (a == QLatin1String("--herd")) { if (!next(herd)) return usage("--herd needs a code"); ++selections; }
        else if (a == QLatin1String("--all")) { all = true; ++selections; }
        else return usage("unknown argument");
    }
    if (db.isEmpty() || pdf.isEmpty()) return usage("--db and --pdf are required");
    if (selections != 1) return usage("choose exactly one of --id, --herd, --all");
    bool idOk = true;
    const qint64 idNumber = id.isEmpty() ? 0 : id.toLongLong(&idOk);
    if (!idOk) return usage("--id needs a whole number");

    // Opening a missing file would create an empty database; a typo must not do that.
    if (!QFileInfo(db).isFile()) return failed(QStringLiteral("no database file %1").arg(db));

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

    TDM dm;
    if (!dm.Maincon.open(db)) return failed(dm.Maincon.errorText());
    RecordTable& table = dm.TVascor;
    if (!table.open()) return failed(table.errorText());
    if (!id.isEmpty()) table.setFilter(schema::column(schema::kId), idNumber);
    else if (!herd.isEmpty()) table.setFilter(schema::column("كد گله"), herd);
    if (!all) table.setFiltered(true);

    QList<print::CertificateRecord> records;
    const int rows = table.rowCount();
    for (int row = 0; row < rows; ++row) {
        if (!table.setCurrentRow(row)) return failed(QStringLiteral("cannot read record %1").arg(row + 1));
        records << print::certificateRecordFromTable(table);
    }
    if (records.isEmpty()) {
        if (!id.isEmpty()) return failed(QStringLiteral("no record with ID %1").arg(idNumber));
        if (!herd.isEmpty()) return failed(QStringLiteral("no record in herd %1").arg(herd));
        return failed(QStringLiteral("the database holds no record"));
    }

    QString error;
    if (!print::writeCertificatesPdf(pdf, layout, records, &error))
        return failed(QStringLiteral("cannot write %1: %2").arg(pdf, error));
    return cli::kOk;
}

const bool registered = cli::registerCommand({"certificate", kUsageLine, run, "writes certificates to a PDF file, one page per record in ID order"});

}  // namespace
