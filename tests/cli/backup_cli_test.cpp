// The backup and restore commands on either store, while other processes save, and their
// refusals of damaged copies and of places a copy cannot be written.
#include "../data/store_backup_fixture.h"
#include "data/transfer/store_backup.h"
#include "entry/catalogue_import.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace zartav;

namespace {

test::CliRun cli(const QStringList& args) { return test::runCli(args); }

// "ID" and every listed column of a backup file's records, in "ID" order.
QList<QStringList> rowsOf(const QString& file) {
    QList<QStringList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("backup-reader"));
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        EXPECT_TRUE(db.open());
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM VaskorTemp ORDER BY ID")));
        while (q.next()) {
            QStringList row{q.value(QStringLiteral("ID")).toString()};
            for (int c = 0; c < schema::kListedColumnCount; ++c) row << q.value(c).toString();
            rows << row;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("backup-reader"));
    return rows;
}

}  // namespace

TEST_P(BackupTest, ABackupRestoresTheStoreAsItWasAndTheReplacedFileIsKept) {
    addRecords(store->address(), QStringLiteral("a"), 5);
    {
        Connection c;
        ASSERT_TRUE(c.open(store->address()));
        ASSERT_TRUE(catalogue::importCatalogueCsv(c.database(), "Name_Sp,RegNo_SPF\nZulu,USA1\nAlpha,CAN2\n").ok());
    }
    const QString out = dir.filePath(QStringLiteral("copy.db"));
    const test::CliRun backup = cli({QStringLiteral("backup"), QStringLiteral("--db"), store->address(), out});
    ASSERT_EQ(backup.status, 0) << backup.err.toStdString();
    EXPECT_TRUE(backup.out.startsWith(QStringLiteral("backup of 5 records written to "))) << backup.out.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"copy.db"}));

    const test::CliRun again = cli({QStringLiteral("backup"), QStringLiteral("--db"), store->address(), out});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("اين فايل از پيش هست"))) << again.err.toStdString();
    addRecords(store->address(), QStringLiteral("b"), 3);
    EXPECT_EQ(cli({QStringLiteral("backup"), QStringLiteral("--db"), store->address(), QStringLiteral("--replace"),
                   dir.filePath(QStringLiteral("later.db"))})
                  .status,
              0);

    store->closeSide();
    const test::CliRun restore = cli({QStringLiteral("restore"), QStringLiteral("--db"), store->address(), out});
    ASSERT_EQ(restore.status, 0) << restore.err.toStdString();
    EXPECT_EQ(count(), 5);
    EXPECT_EQ(store->scalar(QStringLiteral("SELECT COUNT(*) FROM \"DosSperm\"")).toLongLong(), 2);
    const BackupCheck before = checkBackupFile(keptBy(restore));
    EXPECT_TRUE(before.ok) << before.reason.toStdString();
    EXPECT_EQ(before.records, 8);
    // The restored store takes new records as before.
    addRecords(store->address(), QStringLiteral("c"), 1);
    EXPECT_EQ(count(), 6);
}

TEST_P(BackupTest, EveryRestoreKeepsWhatItReplacedUnderANameOfItsOwn) {
    addRecords(store->address(), QStringLiteral("a"), 5);
    const QString copy = dir.filePath(QStringLiteral("copy.db"));
    ASSERT_EQ(cli({QStringLiteral("backup"), QStringLiteral("--db"), store->address(), copy}).status, 0);
    addRecords(store->address(), QStringLiteral("b"), 3);
    store->closeSide();
    const test::CliRun first = cli({QStringLiteral("restore"), QStringLiteral("--db"), store->address(), copy});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    addRecords(store->address(), QStringLiteral("c"), 2);
    store->closeSide();
    const test::CliRun second = cli({QStringLiteral("restore"), QStringLiteral("--db"), store->address(), copy});
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    const QString keptFirst = keptBy(first), keptSecond = keptBy(second);
    EXPECT_NE(keptFirst, keptSecond);
    EXPECT_EQ(checkBackupFile(keptFirst).records, 8);
    EXPECT_EQ(checkBackupFile(keptSecond).records, 7);
    EXPECT_EQ(count(), 5);
}

TEST_P(BackupTest, ABackupWithoutRecordsReplacesRecordsOnlyWhenForced) {
    // An empty store closed as the program leaves it: its header asks for the write-ahead journal.
    const QString empty = dir.filePath(QStringLiteral("empty.db"));
    addRecords(empty, QStringLiteral("e"), 0);
    addRecords(store->address(), QStringLiteral("a"), 4);
    store->closeSide();
    const test::CliRun refused = cli({QStringLiteral("restore"), QStringLiteral("--db"), store->address(), empty});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("اين پشتيبان هيچ ركوردي ندارد، ولي %1 ركورد دارد؛ بازگرداني آن همه "
                                                    "ركوردها را كنار مي گذارد و بايد جداگانه خواسته شود. (--force restores it all the same)")
                                         .arg(file() ? QStringLiteral("فايل اطلاعات") : QStringLiteral("سرور اطلاعات"))))
        << refused.err.toStdString();
    EXPECT_EQ(count(), 4);
    EXPECT_TRUE(nothingKept());

    store->closeSide();
    const test::CliRun forced =
        cli({QStringLiteral("restore"), QStringLiteral("--db"), store->address(), QStringLiteral("--force"), empty});
    ASSERT_EQ(forced.status, 0) << forced.err.toStdString();
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(checkBackupFile(keptBy(forced)).records, 4);
    // Over a store without records nothing is lost: no --force needed.
    store->closeSide();
    EXPECT_EQ(cli({QStringLiteral("restore"), QStringLiteral("--db"), store->address(), empty}).status, 0);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("empty.db*")}), QStringList({"empty.db"}));
}

TEST_P(BackupTest, DamagedCopiesAndPlacesThatCannotHoldACopyAreRefusedAndChangeNothing) {
    addRecords(store->address(), QStringLiteral("a"), 300);
    const QString good = dir.filePath(QStringLiteral("good.db"));
    ASSERT_EQ(cli({QStringLiteral("backup"), QStringLiteral("--db"), store->address(), good}).status, 0);
    QFile original(good);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    ASSERT_GT(bytes.size(), 8 * 4096);
    auto write = [&](const char* name, const QByteArray& content) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return f.fileName();
    };
    QByteArray corrupted = bytes;
    corrupted.replace(5 * 4096, 2000, QByteArray(2000, '\xA5'));
    const QString otherProgram = dir.filePath(QStringLiteral("other.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        db.setDatabaseName(otherProgram);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE VaskorTemp (x TEXT)")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    struct Case {
        const char* name;
        QString path;
        QString says;
    };
    const QList<Case> cases = {
        {"cut short", write("short.db", bytes.left(bytes.size() / 2)), QStringLiteral("اين فايل پشتيبان سالم نيست")},
        {"pages overwritten", write("corrupt.db", corrupted), QStringLiteral("اين فايل پشتيبان سالم نيست")},
        {"not a database", write("notes.db", QByteArray("شماره ثبت,بدن\n1,2\n")), QStringLiteral("اين فايل پشتيبان سالم نيست")},
        {"another program's tables", otherProgram, QStringLiteral("اين فايل پشتيبان پذيرفته نشد")},
        {"no such file", dir.filePath(QStringLiteral("missing.db")), QStringLiteral("اين فايل پيدا نشد")},
    };
    store->closeSide();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::CliRun run = cli({QStringLiteral("restore"), QStringLiteral("--db"), store->address(), c.path});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
        EXPECT_EQ(count(), 300);
        EXPECT_TRUE(nothingKept());
    }

    // A folder that is not there, and a disk that fills (a file size limit) mid-copy: a
    // message, no file left of the copy, the store as it was.
    const test::CliRun nowhere =
        cli({QStringLiteral("backup"), QStringLiteral("--db"), store->address(), dir.filePath(QStringLiteral("none/copy.db"))});
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_TRUE(nowhere.err.contains(QStringLiteral("در اين پوشه نمي توان فايل نوشت"))) << nowhere.err.toStdString();
    QTemporaryDir full;
    QProcess limited;
    limited.start(QStringLiteral("bash"),
                  {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 40; exec \"$0\" backup --db \"$1\" \"$2\""),
                   QStringLiteral(ZARTAV_CLI), store->address(), full.filePath(QStringLiteral("copy.db"))});
    ASSERT_TRUE(limited.waitForFinished(60000));
    EXPECT_EQ(limited.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(limited.readAllStandardError()).contains(QStringLiteral("پشتيبان روي ديسك نوشته نشد")));
    EXPECT_TRUE(QDir(full.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(count(), 300);
}

TEST_P(BackupTest, ACopyTakenWhileAnotherProcessSavesHoldsOneMomentWhole) {
    addRecords(store->address(), QStringLiteral("seed"), 1);
    QProcess worker;
    worker.start(QStringLiteral(ZARTAV_CLI), {QStringLiteral("store-worker"), QStringLiteral("save"), store->address(),
                                              QStringLiteral("400"), QStringLiteral("w")});
    ASSERT_TRUE(worker.waitForStarted(10000));
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (output.count("ok ") < 20 && clock.elapsed() < 60000) {
        worker.waitForReadyRead(2000);
        output += worker.readAllStandardOutput();
    }
    const QString out = dir.filePath(QStringLiteral("busy.db"));
    const test::CliRun backup = cli({QStringLiteral("backup"), QStringLiteral("--db"), store->address(), out});
    output += worker.readAllStandardOutput();
    const bool stillSaving = worker.state() == QProcess::Running;
    ASSERT_TRUE(worker.waitForFinished(180000));
    output += worker.readAllStandardOutput();
    ASSERT_EQ(backup.status, 0) << backup.err.toStdString();
    EXPECT_TRUE(stillSaving) << "the worker finished before the backup; the test proves nothing";

    // The copy is the seed and a run of the worker's first saves, each whole: no later save
    // without an earlier one, no half-written record.
    QList<std::pair<int, qint64>> acks;  // save number, "ID"
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 4 && parts[0] == "ok") acks.append({parts[2].toInt(), parts[3].toLongLong()});
    }
    ASSERT_EQ(acks.size(), 400);
    const BackupCheck check = checkBackupFile(out);
    ASSERT_TRUE(check.ok) << check.reason.toStdString();
    const QList<QStringList> rows = rowsOf(out);
    ASSERT_EQ(rows.size(), check.records);
    ASSERT_GE(rows.size(), 21);
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const auto [n, id] = acks.at(i - 1);
        ASSERT_EQ(rows[i].at(0).toLongLong(), id) << "row " << i;
        for (int c = 0; c < schema::kListedColumnCount; ++c)
            ASSERT_EQ(rows[i].at(c + 1), storeworker::rowText(QStringLiteral("w"), n, c)) << "row " << i << " column " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, BackupTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
