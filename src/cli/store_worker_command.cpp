// zartav-cli store-worker: drives the real record store from a separate process, for the crash,
// lock and two-writer tests. Not meant for users.
//
//   store-worker save DB COUNT TAG [PHOTO_BYTES]
//       COUNT saves through the record table (insert + post), all 51 listed columns and, when
//       PHOTO_BYTES > 0, three photos each. After every committed save one line
//       "ok TAG N ID" is written and flushed; a refused save writes "fail TAG N" and goes on.
//   store-worker hold DB SECONDS
//       Takes the write lock of DB (BEGIN EXCLUSIVE), writes "locked", holds it SECONDS, releases.
#include "cli/command.h"
#include "cli/store_worker_rows.h"
#include "data/tdm.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <cstdio>

namespace {

using namespace zartav;

int runSave(const QStringList& args) {
    if (args.size() < 4) return cli::kUsage;
    bool okCount = false;
    const int count = args[2].toInt(&okCount);
    const QString tag = args[3];
    const int photoBytes = args.size() > 4 ? args[4].toInt() : 0;
    if (!okCount || count < 0 || photoBytes < 0) return cli::kUsage;

    TDM dm;
    if (!dm.Maincon.open(args[1]) || !dm.TVascor.open()) {
        std::fprintf(stderr, "store-worker: %s\n", qPrintable(dm.Maincon.technicalError()));
        return cli::kFailed;
    }
    RecordTable& table = dm.TVascor;
    int failures = 0;
    for (int n = 0; n < count; ++n) {
        table.insert();
        for (int c = 0; c < schema::kListedColumnCount; ++c)
            table.setValue(QString::fromUtf8(schema::kRecordColumns[c]), storeworker::rowText(tag, n, c));
        if (photoBytes > 0) {
            for (int slot = 0; slot < 3; ++slot)
                table.setPhoto(QString::fromUtf8(schema::kPhotoColumns[slot]),
                               storeworker::rowPhoto(tag, n, slot, photoBytes));
        }
        if (table.post()) {
            std::printf("ok %s %d %lld\n", qPrintable(tag), n, static_cast<long long>(table.id()));
        } else {
            ++failures;
            std::printf("fail %s %d %s\n", qPrintable(tag), n, qPrintable(table.errorText()));
            table.cancel();
        }
        std::fflush(stdout);
    }
    return failures == 0 ? cli::kOk : cli::kFailed;
}

int runHold(const QStringList& args) {
    if (args.size() < 3) return cli::kUsage;
    int status = cli::kOk;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("hold"));
        db.setDatabaseName(args[1]);
        if (!db.open()) return cli::kFailed;
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("BEGIN EXCLUSIVE"))) {
            std::fprintf(stderr, "store-worker: %s\n", qPrintable(query.lastError().text()));
            status = cli::kFailed;
        } else {
            std::printf("locked\n");
            std::fflush(stdout);
            QThread::msleep(static_cast<unsigned long>(args[2].toDouble() * 1000));
            query.exec(QStringLiteral("COMMIT"));
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("hold"));
    return status;
}

int run(const QStringList& args) {
    if (args.isEmpty()) return cli::kUsage;
    if (args[0] == QLatin1String("save")) return runSave(args);
    if (args[0] == QLatin1String("hold")) return runHold(args);
    return cli::kUsage;
}

const bool registered = cli::registerCommand(
    {"store-worker", "save DB COUNT TAG [PHOTO_BYTES] | hold DB SECONDS", run,
     "a second writer for the store tests: saves records or holds the write lock"});

}  // namespace
