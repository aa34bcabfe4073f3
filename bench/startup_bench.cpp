// Start-up of the real program to its first painted screen: 100,000 and 1,000,000 records, and
// 10,000 records holding three photos each, in a Data.db; and 100,000 records on the server over
// loopback. The
// program is copied into a fresh folder (beside the generated Data.db, or told --store with the
// server's address) and told to quit after its first paint (ZARTAV_EXIT_AFTER_FIRST_PAINT),
// reporting its peak resident memory and the bytes it read. Reference: the sqlite3 shell (psql
// for the server) counting the same rows.
#include "bar.h"
#include "support/data_generator.h"
#include "support/million_store.h"
#include "support/server_database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using zartav::bench::ms;
using zartav::bench::printBar;

constexpr double kBoundMs = 500;
constexpr double kAcrossALinkBoundMs = 700;
constexpr double kBoundMb = 150;
constexpr int kRuns = 5;

struct Launch {
    double wallMs = -1;      // from starting the process to its exit after the first paint
    double insideMs = -1;    // from main() to the first paint, as the program saw it
    double cpuMs = -1;       // processor time the program used to get there (steady under load)
    double peakMb = -1;
    double readMb = -1;
    double stallMs = -1;     // the longest the window's thread went without turning its event loop
};

// Median run of the program in `folder` (by wall time), its own figures from that run.
Launch launch(const QString& folder, const QString& userFolder, const QStringList& args) {
    std::vector<Launch> runs;
    for (int i = 0; i < kRuns; ++i) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZARTAV_EXIT_AFTER_FIRST_PAINT"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), userFolder);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), userFolder);  // no saved store of the user's
        process.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        process.start(folder + QStringLiteral("/zartav"), args);
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            std::fprintf(stderr, "startup_bench: the program did not finish: %s\n",
                         process.readAllStandardError().constData());
            process.kill();
            return {};
        }
        Launch run;
        run.wallMs = timer.nsecsElapsed() / 1e6;
        const QList<QByteArray> words = process.readAllStandardOutput().simplified().split(' ');
        for (int w = 0; w + 1 < words.size(); ++w) {
            if (words[w] == "first-paint-ms") run.insideMs = words[w + 1].toDouble();
            if (words[w] == "cpu-ms") run.cpuMs = words[w + 1].toDouble();
            if (words[w] == "peak-rss-kb") run.peakMb = words[w + 1].toDouble() / 1024;
            if (words[w] == "read-bytes") run.readMb = words[w + 1].toDouble() / (1024 * 1024);
            if (words[w] == "longest-stall-ms") run.stallMs = words[w + 1].toDouble();
        }
        if (run.insideMs < 0) {
            std::fprintf(stderr, "startup_bench: the program reported no first paint\n");
            return {};
        }
        runs.push_back(run);
    }
    std::sort(runs.begin(), runs.end(), [](const Launch& a, const Launch& b) { return a.wallMs < b.wallMs; });
    return runs[runs.size() / 2];
}

// Over the store the options describe, made for the run, or over the file `given` as it is.
void measure(const QString& name, const QString& program, const zartav::bench::GeneratorOptions& options,
             bool onServer = false, const QString& given = {}) {
    QTemporaryDir folder;
    QTemporaryDir userFolder;
    zartav::bench::ServerDatabase server(QStringLiteral("startup"));
    if (onServer && !server.ok()) {
        std::fprintf(stderr, "startup_bench: %s\n", qPrintable(server.error()));
        printBar(name, QStringLiteral("no server"), QStringLiteral("-"), QStringLiteral("-"), false);
        return;
    }
    const QString db = onServer ? server.address() : !given.isEmpty() ? given : folder.filePath(QStringLiteral("Data.db"));
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!folder.isValid() || (given.isEmpty() && !zartav::bench::generateData(db, options, &error))) {
        std::fprintf(stderr, "startup_bench: cannot generate %s: %s\n", qPrintable(db), qPrintable(error));
        printBar(name, QStringLiteral("no data"), QStringLiteral("-"), QStringLiteral("-"), false);
        return;
    }
    const double fileMb = onServer ? 0 : QFileInfo(db).size() / (1024.0 * 1024.0);
    if (given.isEmpty())
        std::printf("%s: generated %d records (%.0f MB) in %.1f s\n", qPrintable(name), options.records, fileMb,
                    timer.elapsed() / 1000.0);
    // A copy, not a link: the program finds its Data.db beside its own resolved path.
    if (!QFile::copy(program, folder.filePath(QStringLiteral("zartav")))) {
        std::fprintf(stderr, "startup_bench: cannot copy %s\n", qPrintable(program));
        printBar(name, QStringLiteral("no program"), QStringLiteral("-"), QStringLiteral("-"), false);
        return;
    }
    const QString counter = QStandardPaths::findExecutable(onServer ? QStringLiteral("psql") : QStringLiteral("sqlite3"));
    const QStringList countArgs =
        onServer ? QStringList{QStringLiteral("-h"), server.host(), QStringLiteral("-p"), server.port(), QStringLiteral("-U"),
                               server.user(), QStringLiteral("-d"), server.name(), QStringLiteral("-c"),
                               QStringLiteral("select count(*) from \"VaskorTemp\"")}
                 : QStringList{db, QStringLiteral("select count(*) from VaskorTemp")};
    const double reference = counter.isEmpty() ? -1 : zartav::bench::commandMedianMs(counter, countArgs, kRuns);
    const Launch run = launch(folder.path(), userFolder.path(),
                              onServer || !given.isEmpty() ? QStringList{QStringLiteral("--store"), db} : QStringList{});
    if (run.wallMs < 0) {
        printBar(name, QStringLiteral("did not start"), ms(reference), QStringLiteral("-"), false);
        return;
    }
    // The photos take nearly all of the file: reading a small part of it shows they were left alone.
    const bool photosUnread = !options.photos || onServer || run.readMb < fileMb * 0.1;
    // A server across a district's link (the relay of run-bench.sh) has a bound of its own.
    const int delay = onServer ? qEnvironmentVariableIntValue("ZARTAV_BENCH_DELAY_MS") : 0;
    const double boundMs = delay > 0 ? kAcrossALinkBoundMs : kBoundMs;
    const bool pass = run.wallMs <= boundMs && run.peakMb <= kBoundMb && photosUnread;
    printBar(name,
             QStringLiteral("%1 (first paint %2 in the process, CPU %6, longest stall %7%8), peak RSS %3 MB, read %4 of %5 MB")
                 .arg(ms(run.wallMs), ms(run.insideMs))
                 .arg(run.peakMb, 0, 'f', 0)
                 .arg(run.readMb, 0, 'f', 1)
                 .arg(fileMb, 0, 'f', 0)
                 .arg(ms(run.cpuMs), ms(run.stallMs),
                      delay > 0 ? QStringLiteral(", at a %1 ms round trip").arg(2 * delay) : QString()),
             QStringLiteral("%1 count(*) %2").arg(onServer ? QStringLiteral("psql") : QStringLiteral("sqlite3"), ms(reference)),
             QStringLiteral("bound %1 ms, %2 MB%3").arg(boundMs).arg(kBoundMb)
                 .arg(options.photos ? QStringLiteral(", photos unread") : QString()),
             pass);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString program = QStringLiteral(ZARTAV_PROGRAM);
    if (!QFileInfo::exists(program)) {
        std::fprintf(stderr, "startup_bench: %s is not built\n", qPrintable(program));
        return 1;
    }
    zartav::bench::GeneratorOptions plain;
    plain.records = 100000;
    measure(QStringLiteral("start-up to first screen, 100,000 records"), program, plain);
    QString error;
    const QString million = zartav::bench::millionStore(&error);
    zartav::bench::GeneratorOptions millionOptions;
    millionOptions.records = zartav::bench::kMillion;
    if (million.isEmpty())
        std::fprintf(stderr, "startup_bench: no million-record file: %s\n", qPrintable(error));
    else
        measure(QStringLiteral("start-up to first screen, 1,000,000 records"), program, millionOptions, false, million);

    // Photos smaller than real ones keep the file (and the run) reasonable; what matters is that
    // the list never reads them, which the bytes read show.
    zartav::bench::GeneratorOptions photos;
    photos.records = 10000;
    photos.photos = true;
    photos.photoWidth = qEnvironmentVariableIntValue("ZARTAV_BENCH_PHOTO_WIDTH") > 0
                            ? qEnvironmentVariableIntValue("ZARTAV_BENCH_PHOTO_WIDTH") : 160;
    photos.photoHeight = photos.photoWidth * 3 / 4;
    measure(QStringLiteral("start-up to first screen, 10,000 records with 3 photos"), program, photos);
    measure(QStringLiteral("start-up to first screen, 100,000 records on the server"), program, plain, true);
    return 0;
}
