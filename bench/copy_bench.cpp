// zartav-cli copy-store of 10,000 records with three photos each: from a Data.db onto the server,
// and back onto a new file, which must hold the original's records column by column (checked
// by SQLite itself, the two files side by side). Reference: copying the file.
#include "bar.h"
#include "support/data_generator.h"
#include "support/server_database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using zartav::bench::ms;
using zartav::bench::printBar;

const QString kName = QStringLiteral("copy-store of 10,000 records with 3 photos, file to server and back");

struct Copy {
    double ms = -1;
    QString checksum;
    QString error;
};

Copy copyStore(const QString& from, const QString& to) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(ZARTAV_CLI_PROGRAM), {QStringLiteral("copy-store"), from, to});
    Copy copy;
    if (!process.waitForFinished(3600000) || process.exitCode() != 0) {
        copy.error = QString::fromUtf8(process.readAllStandardError());
        return copy;
    }
    copy.ms = timer.nsecsElapsed() / 1e6;
    copy.checksum = QString::fromUtf8(process.readAllStandardOutput()).section(QStringLiteral("checksum "), 1).trimmed();
    return copy;
}

// Rows of either file that the other does not hold, both tables, every column compared.
qint64 differingRows(const QString& a, const QString& b) {
    qint64 differing = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("compare"));
        db.setDatabaseName(a);
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("ATTACH DATABASE ? AS other"));
            q.addBindValue(b);
            if (q.exec()) {
                differing = 0;
                for (const char* table : {"VaskorTemp", "DosSperm"}) {
                    for (const auto& [left, right] : {std::pair("main", "other"), std::pair("other", "main")}) {
                        if (q.exec(QStringLiteral("SELECT COUNT(*) FROM (SELECT * FROM %1.%3 EXCEPT SELECT * FROM %2.%3)")
                                       .arg(QLatin1String(left), QLatin1String(right), QLatin1String(table))) &&
                            q.next())
                            differing += q.value(0).toLongLong();
                        else
                            return -1;
                    }
                }
            }
            q.finish();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("compare"));
    return differing;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    zartav::bench::ServerDatabase server(QStringLiteral("copy"));
    if (!server.ok()) {
        std::fprintf(stderr, "copy_bench: %s\n", qPrintable(server.error()));
        printBar(kName, QStringLiteral("no server"), QStringLiteral("-"), QStringLiteral("-"), false);
        return 0;
    }
    zartav::bench::GeneratorOptions options;
    options.records = 10000;
    options.photos = true;
    options.photoWidth = qEnvironmentVariableIntValue("ZARTAV_BENCH_PHOTO_WIDTH") > 0
                             ? qEnvironmentVariableIntValue("ZARTAV_BENCH_PHOTO_WIDTH") : 80;
    options.photoHeight = options.photoWidth * 3 / 4;
    const QString original = dir.filePath(QStringLiteral("Data.db"));
    const QString back = dir.filePath(QStringLiteral("back.db"));
    QString error;
    if (!zartav::bench::generateData(original, options, &error)) {
        std::fprintf(stderr, "copy_bench: %s\n", qPrintable(error));
        printBar(kName, QStringLiteral("no data"), QStringLiteral("-"), QStringLiteral("-"), false);
        return 0;
    }
    const double fileMb = QFileInfo(original).size() / (1024.0 * 1024.0);
    const double reference = zartav::bench::medianMs(
        [&] {
            QFile::remove(dir.filePath(QStringLiteral("plain.db")));
            QFile::copy(original, dir.filePath(QStringLiteral("plain.db")));
        },
        3);
    const Copy up = copyStore(original, server.address());
    const Copy down = up.ms < 0 ? Copy{} : copyStore(server.address(), back);
    if (up.ms < 0 || down.ms < 0) {
        std::fprintf(stderr, "copy_bench: %s%s\n", qPrintable(up.error), qPrintable(down.error));
        printBar(kName, QStringLiteral("a copy failed"), ms(reference), QStringLiteral("-"), false);
        return 0;
    }
    const qint64 differing = differingRows(original, back);
    const bool pass = differing == 0 && up.checksum == down.checksum && !up.checksum.isEmpty();
    printBar(kName,
             QStringLiteral("onto the server %1, back %2 (%3 MB); %4 rows differ, checksums %5")
                 .arg(ms(up.ms), ms(down.ms))
                 .arg(fileMb, 0, 'f', 0)
                 .arg(differing)
                 .arg(up.checksum == down.checksum ? QStringLiteral("equal") : QStringLiteral("differ")),
             QStringLiteral("file copied %1").arg(ms(reference)),
             QStringLiteral("records equal column by column"), pass);
    return 0;
}
