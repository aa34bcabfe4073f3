// zartav-cli export: the records of a store, or of one herd, to an .xlsx or a .csv file, as the
// program's "خروجي اكسل" writes them.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/transfer/record_export.h"
#include "data/tdm.h"

#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace zartav::cli {
namespace {

const char* kUsageLine = "--db STORE [--herd CODE] [--columns all] OUT.xlsx|OUT.csv";

int failed(const QString& why) { return failure("export", why); }

int run(const QStringList& args) {
    Arguments line("export", kUsageLine, {{"db", "STORE"}, {"herd", "CODE"}, {"columns", "all"}}, "an option lacks its value");
    if (!line.parse(args, 1)) return line.refuse("unexpected argument");
    for (const QString& given : line.values("columns"))
        if (given != QLatin1String("all")) return line.usage("--columns takes only 'all'");
    const QString db = line.value("db"), out = line.words().value(0);
    const std::optional<QString> herd = line.isSet("herd") ? std::optional(line.value("herd")) : std::nullopt;
    const ExportColumns columns = line.isSet("columns") ? ExportColumns::All : ExportColumns::Listed;
    if (db.isEmpty() || out.isEmpty()) return line.usage("--db and the output file are needed");
    if (!isExportFileName(out)) return line.usage("the output file must end in .xlsx or .csv");
    // Opening a missing file would make an empty store; a typo must not do that.
    if (!isServerAddress(db) && !QFileInfo(db).isFile()) return failed(QStringLiteral("no database file %1").arg(db));
    Connection connection;
    if (!connection.open(db, StoreAccess::ReadOnly)) return failed(QStringLiteral("%1: %2").arg(connection.displayName(), connection.technicalError()));
    RecordTable table(connection);
    if (herd) {
        table.setFilter(QStringLiteral("كد گله"), *herd);
        table.setFiltered(true);
    }
    const bool terminal = isatty(STDERR_FILENO) == 1;
    const ExportResult result = exportRecords(table, out, columns, [&](qint64 done, qint64 total) {
        if (terminal) {
            std::fprintf(stderr, "\rexporting %lld of %lld records", static_cast<long long>(done), static_cast<long long>(total));
            if (done == total) std::fputc('\n', stderr);
            std::fflush(stderr);
        }
        return true;
    });
    if (!result.ok) return failed(result.error);
    std::printf("%lld records written to %s\n", static_cast<long long>(result.rows), out.toUtf8().constData());
    return kOk;
}

const bool registered = registerCommand(
    {"export", kUsageLine, run,
     "writes the records, or one herd's, to a spreadsheet: the 51 listed columns under their names "
     "(--columns all adds \"ID\"); .xlsx as a right-to-left sheet, .csv as UTF-8 with CR LF"});

}  // namespace
}  // namespace zartav::cli
