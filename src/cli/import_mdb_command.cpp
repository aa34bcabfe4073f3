// import-mdb: brings a legacy Access file's records, photos and catalogue into a store (a
// database file or a server), or lists the file's tables and columns so an office can check it first.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/legacy/legacy_import.h"
#include "data/legacy/legacy_mdb.h"
#include "data/engine/store_files.h"
#include "data/tdm.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <cstdio>

namespace zartav::cli {
namespace {

void out(const QString& line) { std::fprintf(stdout, "%s\n", line.toUtf8().constData()); }
void err(const QString& line) {
    std::fprintf(stderr, "zartav-cli import-mdb: %s\n", line.toUtf8().constData());
}

int list(const QString& source) {
    QString error;
    auto file = legacy::MdbFile::open(source, &error);
    if (!file) {
        err(error);
        return kFailed;
    }
    const QStringList tables = file->tableNames();
    out(QStringLiteral("%1: Jet %2, %3 tables")
            .arg(QFileInfo(source).fileName())
            .arg(file->jetVersion())
            .arg(tables.size()));
    int status = kOk;
    for (const QString& table : tables) {
        legacy::MdbTableInfo info;
        if (!file->describe(table, &info, &error)) {
            out(QStringLiteral("%1: %2").arg(table, error));
            status = kFailed;
            continue;
        }
        out(QStringLiteral("%1 (%2 rows)").arg(table).arg(info.rowCount));
        for (const legacy::MdbColumnInfo& c : info.columns)
            out(QStringLiteral("  %1\t%2 (%3)").arg(c.name, c.typeName).arg(c.size));
    }
    return status;
}

int import(const QString& target, const QString& source) {
    // The source is checked first so that a file we cannot import never touches the target.
    QString refusal;
    if (!legacy::checkMdbFile(source, &refusal)) {
        err(refusal);
        return kFailed;
    }
    const bool existed = isServerAddress(target) || QFileInfo::exists(target);
    legacy::ImportReport report;
    {
        Connection connection;
        if (!connection.open(target)) {
            report.error = QStringLiteral("%1: %2").arg(connection.displayName(), connection.technicalError());
        } else {
            QSqlDatabase db = connection.database();
            report = legacy::importMdbFile(source, db);
        }
    }
    if (!report.ok) {
        // A database file this command created for nothing is not left behind.
        if (!existed) storefile::remove(target);
        err(report.error);
        return kFailed;
    }
    for (const QString& line : report.lines()) out(line);
    return kOk;
}

int run(const QStringList& args) {
    Arguments line("import-mdb", "", {{"db", "STORE"}, {"list", "SOURCE.mdb"}});
    if (line.parse(args, 1) && line.count("list") + line.count("db") == 1) {
        if (line.isSet("list") && line.words().isEmpty()) return list(line.value("list"));
        if (line.isSet("db") && line.words().size() == 1) return import(line.value("db"), line.words().at(0));
    }
    std::fprintf(stderr, "usage: zartav-cli import-mdb --db STORE SOURCE.mdb\n"
                         "       zartav-cli import-mdb --list SOURCE.mdb\n");
    return kUsage;
}

const bool registered =
    registerCommand({"import-mdb", "--db STORE SOURCE.mdb | --list SOURCE.mdb", run,
                     "brings the records, photos and catalogue of a legacy Access file in, or lists its tables"});

}  // namespace
}  // namespace zartav::cli
