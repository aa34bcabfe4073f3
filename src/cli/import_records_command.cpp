// import-records: records typed in a spreadsheet, from its CSV file into a store (a database file
// or a server), all of them or, at the first row at fault, none.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/transfer/record_import.h"
#include "data/engine/store_files.h"
#include "data/tdm.h"

#include <QFileInfo>
#include <cstdio>

namespace zartav::cli {
namespace {

const char* kUsageLine = "--db STORE FILE.csv";

int run(const QStringList& args) {
    Arguments line("import-records", kUsageLine, {{"db", "STORE"}});
    if (!line.parse(args, 1) || line.count("db") != 1 || line.words().size() != 1) return line.usage();
    const QString address = line.value("db"), source = line.words().at(0);
    const bool existed = isServerAddress(address) || QFileInfo::exists(address);
    Connection store;
    if (!store.open(address)) {
        std::fprintf(stderr, "zartav-cli import-records: %s: %s\n", store.displayName().toUtf8().constData(),
                     store.technicalError().toUtf8().constData());
        return kFailed;
    }
    const RecordImportReport report = importRecordsCsvFile(store, source);
    if (!report.ok) {
        // A database file made only for this import is not left behind.
        store.close();
        if (!existed) storefile::remove(address);
        QString text = source + QStringLiteral(": ") + report.refusal();
        if (!report.engineWords.isEmpty()) text += QStringLiteral(" (") + report.engineWords + QLatin1Char(')');
        std::fprintf(stderr, "zartav-cli import-records: %s\n", text.toUtf8().constData());
        return kFailed;
    }
    std::fprintf(stdout, "%lld records added to %s\n", static_cast<long long>(report.records),
                 store.displayName().toUtf8().constData());
    return kOk;
}

const bool registered = registerCommand(
    {"import-records", kUsageLine, run,
     "adds the records of a CSV file whose header names record columns; a row at fault adds none"});

}  // namespace
}  // namespace zartav::cli
