// Eight desks saving at once on the server: eight processes (zartav-cli's store worker, which
// saves through the record table exactly as the entry form does) each save 250 records with
// three photos into one server database. Every acknowledged record must be there exactly once
// under the number its desk was told, and no number may be given twice. Reference: one desk
// saving alone on the same server.
#include "bar.h"
#include "cli/store_worker_rows.h"
#include "data/tdm.h"
#include "support/server_database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

using zartav::bench::printBar;

constexpr int kDesks = 8;
constexpr int kSaves = 250;
constexpr int kPhotoBytes = 30 * 1024;
const QString kName = QStringLiteral("8 desks saving at once on the server");

struct Ack {
    QString tag;
    int n = 0;
    qint64 id = 0;
};

struct Run {
    double seconds = 0;
    QList<Ack> acks;
    int failures = 0;
};

// `desks` workers at once, each saving kSaves records; what they acknowledged.
Run saveAtOnce(const QString& address, const QStringList& tags) {
    std::vector<std::unique_ptr<QProcess>> workers;
    QElapsedTimer clock;
    clock.start();
    for (const QString& tag : tags) {
        auto worker = std::make_unique<QProcess>();
        worker->start(QStringLiteral(ZARTAV_CLI_PROGRAM), {QStringLiteral("store-worker"), QStringLiteral("save"), address,
                                                            QString::number(kSaves), tag, QString::number(kPhotoBytes)});
        workers.push_back(std::move(worker));
    }
    Run run;
    for (auto& worker : workers) {
        worker->waitForFinished(600000);
        for (const QByteArray& line : worker->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 4 && parts[0] == "ok")
                run.acks.append({QString::fromUtf8(parts[1]), parts[2].toInt(), parts[3].toLongLong()});
            else if (parts.value(0) == "fail")
                ++run.failures;
        }
        if (worker->exitStatus() != QProcess::NormalExit) ++run.failures;
    }
    run.seconds = clock.nsecsElapsed() / 1e9;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    zartav::bench::ServerDatabase server(QStringLiteral("desks"));
    if (!server.ok()) {
        std::fprintf(stderr, "desks_bench: %s\n", qPrintable(server.error()));
        printBar(kName, QStringLiteral("no server"), QStringLiteral("-"), QStringLiteral("-"), false);
        return 0;
    }
    {
        zartav::Connection make;  // both tables, before the desks race for them
        if (!make.open(server.address())) {
            printBar(kName, QStringLiteral("no store: ") + make.technicalError(), QStringLiteral("-"), QStringLiteral("-"), false);
            return 0;
        }
    }
    const Run alone = saveAtOnce(server.address(), {QStringLiteral("alone")});
    QStringList tags;
    for (int d = 0; d < kDesks; ++d) tags << QStringLiteral("desk%1").arg(d);
    const Run desks = saveAtOnce(server.address(), tags);

    // What the store holds: each record is known by its first column, made from its desk and number.
    zartav::Connection check;
    check.open(server.address());
    QHash<QString, QList<qint64>> stored;
    QSqlQuery q(check.database());
    q.exec(QStringLiteral("SELECT \"ID\", \"شماره ثبت\" FROM \"VaskorTemp\""));
    while (q.next()) stored[q.value(1).toString()] << q.value(0).toLongLong();
    int lost = 0, doubled = 0;
    QSet<qint64> ids;
    for (const Ack& ack : desks.acks) {
        const QList<qint64> found = stored.value(zartav::storeworker::rowText(ack.tag, ack.n, 0));
        if (found.isEmpty() || !found.contains(ack.id)) ++lost;
        if (found.size() > 1) ++doubled;
        if (ids.contains(ack.id)) ++doubled;
        ids.insert(ack.id);
    }
    const double rate = desks.seconds > 0 ? desks.acks.size() / desks.seconds : 0;
    const double aloneRate = alone.seconds > 0 ? alone.acks.size() / alone.seconds : 0;
    const bool pass = lost == 0 && doubled == 0 && desks.failures == 0 && desks.acks.size() == kDesks * kSaves;
    printBar(kName,
             QStringLiteral("%1 of %2 saves acknowledged in %3 s, %4 saves/s; %5 lost, %6 doubled, %7 refused")
                 .arg(desks.acks.size())
                 .arg(kDesks * kSaves)
                 .arg(desks.seconds, 0, 'f', 1)
                 .arg(rate, 0, 'f', 0)
                 .arg(lost)
                 .arg(doubled)
                 .arg(desks.failures),
             QStringLiteral("one desk alone %1 saves/s").arg(aloneRate, 0, 'f', 0),
             QStringLiteral("%1 x one desk; nothing lost, IDs unique").arg(aloneRate > 0 ? rate / aloneRate : 0, 0, 'f', 1),
             pass);
    return 0;
}
