// Pedigrees: zartav-cli check over the million-record store (its time, and its peak memory
// against a check of one herd: the same whatever the count); the inbreeding the entry form shows
// beside the sire, among a million records whose dams run back many generations; and the
// picker's inbreeding column for 50,000 bulls once the dam is known.
#include "bar.h"
#include "data/pedigree/mating.h"
#include "data/pedigree/pedigree.h"
#include "data/tdm.h"
#include "support/data_generator.h"
#include "support/million_store.h"

#include <QGuiApplication>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using zartav::bench::ms;
using zartav::bench::printBar;

constexpr double kCheckBoundSeconds = 60;
constexpr double kSamePeak = 1.15;
constexpr double kFormBoundMs = 20;
constexpr double kColumnBoundMs = 100;
constexpr int kBulls = 50000;

void checkBars(const QString& million, const QString& folder) {
    const QString name = QStringLiteral("zartav-cli check, 1,000,000 records");
    const QString out = folder + QStringLiteral("/findings.csv");
    QString herd;
    {
        zartav::Connection c;
        QSqlQuery q(c.open(million, zartav::StoreAccess::ReadOnly) ? c.database() : QSqlDatabase());
        // The smallest herd, for the memory of a short run.
        if (q.exec(QStringLiteral("SELECT [كد گله] FROM VaskorTemp GROUP BY [كد گله] ORDER BY count(*) LIMIT 1")) && q.next())
            herd = q.value(0).toString();
    }
    const zartav::bench::Run small = zartav::bench::runProgram(ZARTAV_CLI_PROGRAM, {"check", "--db", million, "--herd", herd, out});
    const zartav::bench::Run large = zartav::bench::runProgram(ZARTAV_CLI_PROGRAM, {"check", "--db", million, out});
    if (!small.ok || !large.ok) {
        printBar(name, QStringLiteral("the check failed"), QStringLiteral("-"), QStringLiteral("-"), false);
        return;
    }
    printBar(name, QStringLiteral("%1 s").arg(large.seconds, 0, 'f', 1), QStringLiteral("one herd %1 s").arg(small.seconds, 0, 'f', 2),
             QStringLiteral("bound %1 s").arg(kCheckBoundSeconds), large.seconds <= kCheckBoundSeconds);
    printBar(QStringLiteral("zartav-cli check, peak memory of 1,000,000 records against one herd"),
             QStringLiteral("%1 MB").arg(large.peakMb, 0, 'f', 0), QStringLiteral("%1 MB").arg(small.peakMb, 0, 'f', 0),
             QStringLiteral("ratio %1 (bound %2)").arg(large.peakMb / small.peakMb, 0, 'f', 2).arg(kSamePeak),
             large.peakMb <= small.peakMb * kSamePeak);
}

void formBar(const QString& million) {
    zartav::Connection c;
    if (!c.open(million, zartav::StoreAccess::ReadOnly)) return;
    const zartav::pedigree::AnimalReader reader(c);
    // Calves of the last records: their dams' lines are the longest.
    QSqlQuery last(c.database());
    const qint64 top = last.exec(QStringLiteral("SELECT max(ID) FROM VaskorTemp")) && last.next() ? last.value(0).toLongLong() : 0;
    std::vector<qint64> ids;
    for (qint64 id = top; id > top - 9; --id) ids.push_back(id);
    int k = 0, ancestors = 0;
    double f = 0;
    const double median = zartav::bench::medianMs(
        [&] {
            zartav::pedigree::Animal calf;
            if (!reader.record(ids[k++ % ids.size()], calf)) return;
            std::optional<zartav::pedigree::Pedigree> p = zartav::pedigree::Pedigree::read(reader, calf);
            if (!p) return;
            f = p->inbreeding();
            ancestors = int(p->graph().nodes().size()) - 1;
        },
        9);
    QSqlQuery one(c.database());
    const double reference = zartav::bench::medianMs([&] {
        one.exec(QStringLiteral("SELECT * FROM VaskorTemp WHERE ID = %1").arg(top - 1));
        one.next();
    });
    printBar(QStringLiteral("inbreeding in the entry form, 1,000,000 records"),
             QStringLiteral("%1 (%2 ancestors, F %3)").arg(ms(median)).arg(ancestors).arg(zartav::pedigree::percentText(f)),
             QStringLiteral("reading one record ") + ms(reference), QStringLiteral("bound %1 ms").arg(kFormBoundMs),
             median <= kFormBoundMs);
}

void columnBar(const QString& folder) {
    const QString name = QStringLiteral("picker's inbreeding column, 50,000 bulls, once the dam is known");
    const QString db = folder + QStringLiteral("/bulls.db");
    zartav::bench::GeneratorOptions options;
    options.records = 20000;
    options.bulls = kBulls;
    QString error;
    zartav::TDM dm;
    if (!zartav::bench::generateData(db, options, &error) || !dm.Maincon.open(db) || !dm.TDosSperm.open() ||
        dm.TDosSperm.rowCount() != kBulls) {
        printBar(name, QStringLiteral("no catalogue: ") + error, QStringLiteral("-"), QStringLiteral("-"), false);
        return;
    }
    zartav::pedigree::MatingTable table;
    auto values = [&](int row) {
        QStringList v;
        for (int c = 0; c < 31; ++c) v << dm.TDosSperm.valueAt(row, c);
        return v;
    };
    const double prepare = zartav::bench::medianMs([&] { table.prepare(dm.Maincon, kBulls, values); }, 1);
    int k = 0;
    const double median = zartav::bench::medianMs(
        [&] { table.forDam(QString::number(98000000 + 19999 - 37 * k++)); }, 9);
    printBar(name, ms(median), QStringLiteral("the catalogue's ancestries, once for the window ") + ms(prepare),
             QStringLiteral("bound %1 ms").arg(kColumnBoundMs), median <= kColumnBoundMs);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    QString error;
    const QString million = zartav::bench::millionStore(&error);
    if (million.isEmpty()) {
        std::fprintf(stderr, "pedigree_bench: no million-record store: %s\n", qPrintable(error));
        return 1;
    }
    // The check first: a child's peak memory starts from ours at the spawn.
    checkBars(million, dir.path());
    formBar(million);
    columnBar(dir.path());
    return 0;
}
