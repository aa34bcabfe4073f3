// Batch certificates: zartav-cli writes the certificates of 100 and of 1,000 records, each with
// three photos of the size the program stores (1600 x 1200), into one PDF, each issued in the
// store's register and its code signed. Pages per second of
// the 1,000, and the peak resident memory of both runs, as the kernel reports it for the process:
// the two peaks must be alike, whatever the count. The data is made by zartav-gen in a process of
// its own: a child's peak as the kernel reports it starts from its parent's size at the spawn, so a
// parent that had generated the photos itself would hand its own peak to the tool it measures.
#include "bar.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using zartav::bench::printBar;
using zartav::bench::Run;
using zartav::bench::runProgram;

constexpr double kPagesPerSecond = 25;
constexpr double kBoundMb = 250;
constexpr double kSamePeak = 1.15;  // the larger run's peak may be this much above the smaller's

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString name = QStringLiteral("batch certificates, 1,000 records with three photos each");
    const QString memoryName = QStringLiteral("batch certificates, peak memory of 100 against 1,000 records");
    // A shorter run for trying the benchmark out: ZARTAV_BENCH_BATCH_RECORDS=200.
    const int records = qEnvironmentVariableIntValue("ZARTAV_BENCH_BATCH_RECORDS") > 100
                            ? qEnvironmentVariableIntValue("ZARTAV_BENCH_BATCH_RECORDS")
                            : 1000;
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Data.db"));
    QElapsedTimer timer;
    timer.start();
    if (!dir.isValid() || !runProgram(ZARTAV_GEN_PROGRAM, {"--db", db, "--records", QString::number(records), "--herds",
                                                            "10", "--photos", "--photo-width", "1600"})
                               .ok) {
        std::fprintf(stderr, "batch_print_bench: cannot generate %s\n", qPrintable(db));
        printBar(name, QStringLiteral("no data"), QStringLiteral("-"), QStringLiteral("-"), false);
        return 1;
    }
    std::printf("generated %d records (%.1f GB) in %.0f s\n", records, QFileInfo(db).size() / 1e9,
                timer.elapsed() / 1000.0);
    std::fflush(stdout);

    const QString key = dir.filePath(QStringLiteral("office.key"));
    if (!runProgram(ZARTAV_CLI_PROGRAM, {"keygen", "--db", db, "--key", key}).ok) {
        printBar(name, QStringLiteral("no signing key"), QStringLiteral("-"), QStringLiteral("-"), false);
        return 1;
    }
    QStringList first100;
    for (int id = 1; id <= 100; ++id) first100 << QString::number(id);
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    const Run small = runProgram(ZARTAV_CLI_PROGRAM, {"certificate", "--db", db, "--ids", first100.join(','), "--pdf", pdf, "--key", key});
    const Run large = runProgram(ZARTAV_CLI_PROGRAM, {"certificate", "--db", db, "--all", "--pdf", pdf, "--key", key});
    if (!small.ok || !large.ok) {
        printBar(name, QStringLiteral("zartav-cli failed"), QStringLiteral("-"), QStringLiteral("-"), false);
        return 1;
    }
    const double pace = records / large.seconds;
    printBar(name,
             QStringLiteral("%1 pages/s (%2 pages in %3 s), peak RSS %4 MB")
                 .arg(pace, 0, 'f', 1)
                 .arg(records)
                 .arg(large.seconds, 0, 'f', 1)
                 .arg(large.peakMb, 0, 'f', 0),
             QStringLiteral("bound %1 pages/s, %2 MB").arg(kPagesPerSecond).arg(kBoundMb),
             QStringLiteral("%1 of the pace").arg(pace / kPagesPerSecond, 0, 'f', 2),
             pace >= kPagesPerSecond && large.peakMb <= kBoundMb);
    const double ratio = large.peakMb / small.peakMb;
    printBar(memoryName, QStringLiteral("%1 records: %2 MB").arg(records).arg(large.peakMb, 0, 'f', 0),
             QStringLiteral("100 records: %1 MB").arg(small.peakMb, 0, 'f', 0),
             QStringLiteral("%1 (bound %2)").arg(ratio, 0, 'f', 2).arg(kSamePeak), ratio <= kSamePeak);
    return 0;
}
