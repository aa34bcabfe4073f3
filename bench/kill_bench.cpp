// The store killed in the middle of saving, at 1,000,000 records: zartav-cli store-worker saves
// records with photos into a copy of the million-record file and is killed (SIGKILL) three times
// at different points. Afterwards every acknowledged save must be there whole, the file must
// pass PRAGMA integrity_check, and the program must start as quickly as before. The result is
// one BAR line, the start-up time before the kills being its reference.
#include "bar.h"
#include "cli/store_worker_rows.h"
#include "support/million_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <cstdio>

namespace {

constexpr int kPhotoBytes = 300 * 1024;
constexpr int kSaves = 400;
constexpr int kKillAfter[3] = {7, 41, 113};

struct Ack {
    QString tag;
    int n = 0;
    qint64 id = 0;
};

QList<Ack> parseAcks(const QByteArray& output) {
    QList<Ack> acks;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 4 && parts[0] == "ok") acks.append({QString::fromUtf8(parts[1]), parts[2].toInt(), parts[3].toLongLong()});
    }
    return acks;
}

// Saves acknowledged but missing or not as saved, on a connection of its own; -1 when the file
// cannot be read.
int missingSaves(QSqlDatabase db, const QList<Ack>& acks) {
    QStringList columns;
    for (const char* name : zartav::schema::kRecordColumns) columns << QStringLiteral("[%1]").arg(QString::fromUtf8(name));
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM VaskorTemp WHERE ID = ?").arg(columns.join(", ")))) return -1;
    int missing = 0;
    for (const Ack& ack : acks) {
        q.addBindValue(ack.id);
        bool whole = q.exec() && q.next();
        for (int c = 0; whole && c < zartav::schema::kListedColumnCount; ++c)
            whole = q.value(c).toString() == zartav::storeworker::rowText(ack.tag, ack.n, c);
        for (int slot = 0; whole && slot < 3; ++slot)
            whole = q.value(zartav::schema::kFirstPhotoColumnIndex + slot).toByteArray() ==
                    zartav::storeworker::rowPhoto(ack.tag, ack.n, slot, kPhotoBytes);
        missing += whole ? 0 : 1;
        q.finish();
    }
    return missing;
}

// Runs `work` on a connection of its own to the file; not at all when it cannot be opened.
void withFile(const QString& path, const std::function<void(QSqlDatabase)>& work) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        if (db.open()) work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString name = QStringLiteral("kill test at 1,000,000 records");
    QTemporaryDir dir, user;
    QString error;
    const QString path = dir.isValid() ? zartav::bench::copyOfMillionStore(dir.path(), &error) : QString();
    if (path.isEmpty()) {
        std::fprintf(stderr, "kill_bench: %s\n", qPrintable(error));
        zartav::bench::printBar(name, QStringLiteral("no data"), QStringLiteral("-"), QStringLiteral("-"), false);
        return 1;
    }
    // The program's start-up over the file, to its first paint, with no settings of the user's.
    qputenv("ZARTAV_EXIT_AFTER_FIRST_PAINT", "1");
    qputenv("XDG_DATA_HOME", user.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", user.path().toUtf8());
    const auto startUp = [&] {
        return zartav::bench::commandMedianMs(QStringLiteral(ZARTAV_PROGRAM), {QStringLiteral("--store"), path}, 5);
    };
    const double before = startUp();

    QList<Ack> all;
    int kills = 0;
    bool integrity = true;
    for (int round = 0; round < 3; ++round) {
        const QString tag = QStringLiteral("k%1").arg(round);
        QProcess worker;
        worker.start(QStringLiteral(ZARTAV_CLI_PROGRAM), {QStringLiteral("store-worker"), QStringLiteral("save"), path,
                                                          QString::number(kSaves), tag, QString::number(kPhotoBytes)});
        worker.waitForStarted(10000);
        QByteArray output;
        while (parseAcks(output).size() < kKillAfter[round] && worker.state() == QProcess::Running) {
            worker.waitForReadyRead(5000);
            output += worker.readAllStandardOutput();
        }
        if (worker.state() == QProcess::Running) {
            ::kill(static_cast<pid_t>(worker.processId()), SIGKILL);
            ++kills;
        }
        worker.waitForFinished(10000);
        output += worker.readAllStandardOutput();
        all += parseAcks(output);
        withFile(path, [&](QSqlDatabase db) {
            QSqlQuery check(db);
            integrity = integrity && check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next() &&
                        check.value(0).toString() == QStringLiteral("ok");
        });
    }
    int missing = -1;
    withFile(path, [&](QSqlDatabase db) { missing = missingSaves(db, all); });
    const double after = startUp();
    // Start-up is "unchanged" within what a busy machine does to it.
    const bool startsAsBefore = before > 0 && after > 0 && after <= before * 1.5 + 50;
    zartav::bench::printBar(
        name,
        QStringLiteral("%1 kills, %2 acknowledged saves with photos, %3 missing or torn, integrity_check %4, start-up after %5")
            .arg(kills)
            .arg(all.size())
            .arg(missing)
            .arg(integrity ? QStringLiteral("ok") : QStringLiteral("FAILED"), zartav::bench::ms(after)),
        QStringLiteral("start-up before ") + zartav::bench::ms(before), QStringLiteral("nothing lost, start-up within 1.5x"),
        kills == 3 && missing == 0 && integrity && startsAsBefore);
    return 0;
}
