// zartav-cli check: every record through the checks the entry form makes at OK, as a registry
// cleans its data before it certifies.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/pedigree/record_checks.h"
#include "data/tdm.h"
#include "util/csv_reader.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSqlQuery>
#include <cstdio>

namespace zartav::cli {
namespace {

const char* kUsageLine = "--db STORE [--herd CODE] [OUT.csv]";

int failed(const QString& why) { return failure("check", why); }

int run(const QStringList& args) {
    Arguments line("check", kUsageLine, {{"db", "STORE"}, {"herd", "CODE"}}, "an option lacks its value");
    if (!line.parse(args, 1)) return line.refuse("unexpected argument");
    const QString db = line.value("db"), out = line.words().value(0);
    const std::optional<QString> herd = line.isSet("herd") ? std::optional(line.value("herd")) : std::nullopt;
    if (db.isEmpty()) return line.usage("--db is needed");
    if (!out.isEmpty() && !out.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) return line.usage("the output file must end in .csv");
    if (!isServerAddress(db) && !QFileInfo(db).isFile()) return failed(QStringLiteral("no database file %1").arg(db));
    Connection connection;
    if (!connection.open(db, StoreAccess::ReadOnly))
        return failed(QStringLiteral("%1: %2").arg(connection.displayName(), connection.technicalError()));
    // A pass over the store gains little from the file's large page cache, which fills as the
    // store grows: with a small one the run's memory is that of one herd's check.
    if (!connection.dialect().isServer()) QSqlQuery(connection.database()).exec(QStringLiteral("PRAGMA cache_size=-4096"));

    // Written whole or not at all: a stopped run leaves no half list behind.
    QSaveFile file(out);
    if (!out.isEmpty() && (!file.open(QIODevice::WriteOnly) || file.write("\xEF\xBB\xBF", 3) != 3 ||
                           file.write(csv::rowText({QStringLiteral("ID"), QStringLiteral("شماره ثبت"), QStringLiteral("بررسي"),
                                                    QStringLiteral("شرح")})) < 0))
        return failed(QStringLiteral("%1: %2").arg(out, file.errorString()));
    const calendar::SolarDate today = calendar::fromGregorian(calendar::todayGregorian());
    qint64 count = 0;
    bool written = true;
    QString error;
    const bool read = checks::forEachRecord(connection, herd, [&](const checks::Facts& facts) {
        for (const checks::Finding& f : checks::findingsOf(facts, today)) {
            ++count;
            const QStringList cells{QString::number(facts.id), facts.number.trimmed(), f.title, f.details};
            if (out.isEmpty()) std::printf("%s\n", cells.join(QLatin1Char('\t')).toUtf8().constData());
            else written = written && file.write(csv::rowText(cells)) >= 0;
        }
        return written;
    }, &error);
    if (!read) return failed(error);
    if (!out.isEmpty() && (!written || !file.commit())) return failed(QStringLiteral("%1: %2").arg(out, file.errorString()));
    std::printf("%lld findings\n", static_cast<long long>(count));
    return kOk;
}

const bool registered = registerCommand(
    {"check", kUsageLine, run,
     "checks every record, or one herd's: birth after today, a dam that is not female or under 20 months, "
     "gestation outside 260 to 300 days, a registration number or ear tag on another record, a sire no "
     "catalogue row carries; one line per finding (ID, registration number, check, details) or a .csv, "
     "then the count"});

}  // namespace
}  // namespace zartav::cli
