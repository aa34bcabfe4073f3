// The cost of keeping every change on record, on a Data.db of 1,000,000 records: a save with the
// history triggers against the same save without them; one record's history among 5,000,000
// entries; an import of 200,000 rows and a copy-store, each against the same work without
// history. ZARTAV_BENCH_HISTORY_SMALL=1 runs it at a fiftieth of the sizes, to try it quickly.
#include "bar.h"
#include "data/schema/history_schema.h"
#include "data/history/record_history.h"
#include "data/transfer/record_import.h"
#include "data/transfer/store_copy.h"
#include "data/tdm.h"
#include "support/data_generator.h"
#include "support/million_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

using zartav::bench::medianMs;
using zartav::bench::ms;
using zartav::bench::printBar;

const bool kSmall = qEnvironmentVariableIntValue("ZARTAV_BENCH_HISTORY_SMALL") == 1;
const int kRecords = kSmall ? 20000 : zartav::bench::kMillion;
const qint64 kEntries = kSmall ? 100000 : 5000000;
const int kImportRows = kSmall ? 4000 : 200000;

bool exec(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (q.exec(sql)) return true;
    std::fprintf(stderr, "history_bench: %s: %s\n", qPrintable(sql.left(80)), qPrintable(q.lastError().text()));
    return false;
}

// Turns the store's history triggers off or on again, inside no transaction of the caller's.
bool setHistory(const QSqlDatabase& db, bool on) {
    const zartav::SqlDialect& d = zartav::SqlDialect::of(db);
    for (const QString& sql : on ? zartav::history::resumeStatements(d) : zartav::history::suspendStatements(d))
        if (!exec(db, sql)) return false;
    return true;
}

// Edit and save one record after another, as the window does: the records `from` on, each given
// a name it never had (`serial`), so every save changes it. Where a record lies in the table
// changes what the list's reload after the save costs, so both arms save the same records.
double saveMs(zartav::TDM& dm, int from, int& serial) {
    int next = from;
    return medianMs(
        [&] {
            dm.TVascor.locateId(1 + (next++ * 7919) % kRecords);
            dm.TVascor.edit();
            dm.TVascor.setValue(QStringLiteral("نام گوساله"), QStringLiteral("نام %1").arg(++serial));
            dm.TVascor.setChangeReason(QStringLiteral("اصلاح نام"));
            dm.TVascor.post();
        },
        41);
}

QString importCsv(const QString& folder) {
    const QString path = folder + QStringLiteral("/rows.csv");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write("شماره ثبت,كد گله,نام گوساله,تاريخ تولد\n");
    for (int i = 0; i < kImportRows; ++i) f.write(QStringLiteral("%1,%2,گوساله %3,1404/0%4/1%5\n").arg(90000000 + i).arg(1200 + i % 50).arg(i).arg(1 + i % 9).arg(i % 10).toUtf8());
    return path;
}

// A copy of a store on the disk before anything is timed: its writing-back would otherwise fall
// into the next arm's commit.
bool copiedToDisk(const QString& from, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(from, to)) return false;
    QFile f(to);
    return f.open(QIODevice::ReadWrite) && ::fsync(f.handle()) == 0;
}

// The rows imported into a copy of the store, timed from the import's start to its commit; the
// arms take turns, three runs each.
std::pair<double, double> importMs(const QString& base, const QString& store, const QString& csv) {
    std::vector<double> times[2];
    for (const bool history : {true, false, false, true, true, false}) {
        copiedToDisk(base, store);
        zartav::Connection c;
        c.open(store);
        if (!history) setHistory(c.database(), false);
        QElapsedTimer timer;
        timer.start();
        const zartav::RecordImportReport r = zartav::importRecordsCsvFile(c, csv);
        times[history].push_back(timer.nsecsElapsed() / 1e6);
        if (!r.ok) std::fprintf(stderr, "history_bench: import: %s\n", qPrintable(r.reason));
    }
    for (std::vector<double>& t : times) std::sort(t.begin(), t.end());
    return {times[1][1], times[0][1]};
}

double copyMs(zartav::Connection& from, const QString& to) {
    return medianMs(
        [&] {
            QFile::remove(to);
            zartav::Connection target;
            target.open(to);
            const zartav::StoreCopyReport r = zartav::copyStore(from, target, false);
            if (!r.ok) std::fprintf(stderr, "history_bench: copy: %s\n", qPrintable(r.error));
        },
        kSmall ? 3 : 1);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QString error, path = dir.filePath(QStringLiteral("Data.db"));
    if (kSmall) {
        zartav::bench::GeneratorOptions options;
        options.records = kRecords;
        if (!zartav::bench::generateData(path, options, &error)) path.clear();
    } else {
        path = zartav::bench::copyOfMillionStore(dir.path(), &error);
    }
    const QString sizes = QStringLiteral("%1 records").arg(kRecords);
    if (path.isEmpty()) {
        std::fprintf(stderr, "history_bench: %s\n", qPrintable(error));
        printBar(QStringLiteral("history: save at %1").arg(sizes), QStringLiteral("no data"), "-", "-", false);
        return 0;
    }

    zartav::TDM dm;
    if (!dm.Maincon.open(path) || !dm.TVascor.open()) {
        printBar(QStringLiteral("history: save at %1").arg(sizes), QStringLiteral("the store did not open"), "-", "-", false);
        return 0;
    }
    QSqlDatabase db = dm.Maincon.database();
    int serial = 0;
    saveMs(dm, 0, serial);  // warm the caches
    // The arms take turns (with, without, without, with), so neither has the quieter disk.
    double with = 0, without = 0;
    for (const bool history : {true, false, false, true}) {
        setHistory(db, history);
        (history ? with : without) += saveMs(dm, 41, serial) / 2;
    }
    setHistory(db, true);
    printBar(QStringLiteral("history: edit and save one record at %1, with history").arg(sizes), ms(with),
             QStringLiteral("without %1").arg(ms(without)), QStringLiteral("+%1, bound +5 ms").arg(ms(with - without)),
             with - without <= 5.0);

    // Entries for records all over the table, as years of corrections leave them; marked sealed
    // so the store's next open has nothing to seal.
    const qint64 present = [&] {
        QSqlQuery q(db);
        return q.exec(QStringLiteral("SELECT COUNT(*) FROM VaskorHistory")) && q.next() ? q.value(0).toLongLong() : 0;
    }();
    exec(db, QStringLiteral("BEGIN"));
    exec(db, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                            "INSERT INTO VaskorHistory (RecordID, Action, At, Desk, Changes, Hash) "
                            "SELECT 1 + (i * 48271) % %2, 'update', '2026-12-09 10:00:00.000', 'bench@desk', "
                            "'{\"نام گوساله\":[\"الف\",\"ب\"]}', 'x' FROM n")
                     .arg(kEntries - present)
                     .arg(kRecords));
    exec(db, QStringLiteral("COMMIT"));
    qint64 id = 1;
    const double open = medianMs(
        [&] {
            id = 1 + (id * 16807) % kRecords;
            zartav::history::recordHistory(db, id);
        },
        51);
    printBar(QStringLiteral("history: one record's history among %1 entries").arg(kEntries), ms(open), "-",
             QStringLiteral("bound 50 ms"), open <= 50.0);

    // Into the records (and the history) of the store, as an office imports into its own.
    const QString csv = importCsv(dir.path());
    const QString imported = dir.filePath(QStringLiteral("import.db"));
    dm.Maincon.close();
    const auto [importWith, importWithout] = importMs(path, imported, csv);
    QFile::remove(imported);
    printBar(QStringLiteral("history: import-records of %1 rows, with history").arg(kImportRows), ms(importWith),
             QStringLiteral("without %1").arg(ms(importWithout)),
             QStringLiteral("%1x, bound 1.3x").arg(importWith / importWithout, 0, 'f', 2), importWith <= 1.3 * importWithout);

    // The copy carries the history as it is; today's copy would carry the records alone. The two
    // sources are made first, then copied in turns.
    const QString copy = dir.filePath(QStringLiteral("copy.db"));
    const QString bare[2] = {dir.filePath(QStringLiteral("bare.db")), dir.filePath(QStringLiteral("entries.db"))};
    for (const bool history : {false, true}) {
        {
            copiedToDisk(path, bare[history]);
            zartav::Connection source;
            source.open(bare[history]);
            exec(source.database(), QStringLiteral("DELETE FROM VaskorHistory") +
                                        (history ? QStringLiteral(" WHERE Entry > %1").arg(kImportRows) : QString()));
        }
        QFile f(bare[history]);
        if (f.open(QIODevice::ReadWrite)) ::fsync(f.handle());
    }
    double copyWith = 0, copyWithout = 0;
    for (const bool history : {true, false, false, true}) {
        zartav::Connection source;
        source.open(bare[history], zartav::StoreAccess::ReadOnly);
        (history ? copyWith : copyWithout) += copyMs(source, copy) / 2;
    }
    printBar(QStringLiteral("history: copy-store of %1 records with %2 history entries").arg(kRecords).arg(kImportRows),
             ms(copyWith), QStringLiteral("without history %1").arg(ms(copyWithout)),
             QStringLiteral("%1x, bound 1.3x").arg(copyWith / copyWithout, 0, 'f', 2), copyWith <= 1.3 * copyWithout);
    return 0;
}
