// import-catalogue: loads the bull catalogue an office receives as a CSV export into a store (a
// database file or a server), replacing the catalogue it held.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/engine/store_files.h"
#include "data/tdm.h"
#include "entry/catalogue_import.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace zartav::cli {
namespace {

// A catalogue export is a few thousand rows; anything this big is not one.
constexpr qint64 kMaxSourceBytes = 64ll * 1024 * 1024;

int fail(const QString& text) {
    std::fprintf(stderr, "zartav-cli import-catalogue: %s\n", text.toUtf8().constData());
    return kFailed;
}

int import(const QString& target, const QString& source) {
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) return fail(QStringLiteral("%1: %2").arg(source, file.errorString()));
    if (file.size() > kMaxSourceBytes) return fail(QStringLiteral("%1: too large for a catalogue").arg(source));
    const QByteArray csv = file.readAll();

    const bool existed = isServerAddress(target) || QFileInfo::exists(target);
    Connection connection;
    if (!connection.open(target))
        return fail(QStringLiteral("%1: %2").arg(connection.displayName(), connection.technicalError()));
    const catalogue::ImportResult result = catalogue::importCatalogueCsv(connection.database(), csv);
    if (!result.ok()) {
        // A database file made only for this import is not left behind.
        connection.close();
        if (!existed) storefile::remove(target);
        if (result.errorLine > 0)
            return fail(QStringLiteral("%1 line %2: %3").arg(source).arg(result.errorLine).arg(result.error));
        return fail(QStringLiteral("%1: %2").arg(source, result.error));
    }
    std::fprintf(stdout, "%d catalogue rows loaded into %s\n", result.rows, connection.displayName().toUtf8().constData());
    return kOk;
}

const char* kUsageLine = "--db STORE SOURCE.csv";

int run(const QStringList& args) {
    Arguments line("import-catalogue", kUsageLine, {{"db", "STORE"}});
    if (!line.parse(args, 1) || line.count("db") != 1 || line.words().size() != 1) return line.usage();
    return import(line.value("db"), line.words().at(0));
}

const bool registered = registerCommand({"import-catalogue", kUsageLine, run, "replaces the bull catalogue with the rows of a CSV file"});

}  // namespace
}  // namespace zartav::cli
