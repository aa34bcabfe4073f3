// Backups of either store taken while others save, restores from them, refusals of damaged
// copies and of places a copy cannot be written, and the rotation of the daily copies.
#include "cli/store_worker_rows.h"
#include "cli_run.h"
#include "data/history/record_history.h"
#include "data/schema/record_schema.h"
#include "data/engine/store_address.h"
#include "data/transfer/daily_copies.h"
#include "data/transfer/store_backup.h"
#include "data/transfer/store_restore.h"
#include "data/tdm.h"
#include "entry/catalogue_import.h"
#include "sql_test_database.h"
#include "unprivileged.h"
#include "util/app_paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zartav;

namespace {

test::CliRun cli(const QStringList& args) { return test::runCli(args); }

void addRecords(const QString& address, const QString& tag, int count) {
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(address)) << dm.Maincon.technicalError().toStdString();
    ASSERT_TRUE(dm.TVascor.open());
    for (int n = 0; n < count; ++n) {
        ASSERT_TRUE(dm.TVascor.insert());
        for (int c = 0; c < schema::kListedColumnCount; ++c)
            dm.TVascor.setValue(QString::fromUtf8(schema::kRecordColumns[c]), storeworker::rowText(tag, n, c));
        ASSERT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
    }
}

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

class BackupTest : public test::StoreEngineTest {
protected:
    // zartav-cli keeps a server's replaced records in the per-user data folder: a test's own.
    void SetUp() override {
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("user")).toUtf8());
        StoreEngineTest::SetUp();
    }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }
    qint64 count() const { return store->scalar(QStringLiteral("SELECT COUNT(*) FROM \"VaskorTemp\"")).toLongLong(); }
    bool file() const { return GetParam() == test::Engine::SQLite; }
    // Where a restore keeps what it replaced, as its output says: beside the file as
    // "Data.db.before-restore-1405-09-18-1432", or the server's in the daily copies' folder as
    // "Server.before-restore-1405-09-18-1432.db"; today's Solar Hijri date, "-2"... when taken.
    QString keptBy(const test::CliRun& restore) const {
        const calendar::SolarDate today = calendar::fromGregorian(QDate::currentDate());
        const QString day = QString::asprintf("%04d-%02d-%02d", today.year, today.month, today.day);
        const QString stem = file() ? store->address() + QStringLiteral(".before-restore-")
                                    : dir.filePath(QStringLiteral("user/Zartav/Zartav/backups/Server.before-restore-"));
        const QRegularExpression said(QStringLiteral("the records replaced are kept in (%1%2-\\d{4}(-\\d+)?%3)\n")
                                          .arg(QRegularExpression::escape(stem), day, file() ? QString() : QStringLiteral("\\.db")));
        const QRegularExpressionMatch m = said.match(restore.out);
        EXPECT_TRUE(m.hasMatch()) << restore.out.toStdString();
        return m.captured(1);
    }
    // No copy kept by a restore, beside the file or in the daily copies' folder.
    bool nothingKept() const {
        return QDir(QFileInfo(store->address()).absolutePath()).entryList({"*.before-restore*"}).isEmpty() &&
               QDir(dir.filePath(QStringLiteral("user/Zartav/Zartav/backups"))).entryList({"*.before-restore*"}).isEmpty();
    }
    QTemporaryDir dir;
};

}  // namespace

TEST(DailyBackups, KeepSevenDaysAndTheNewestCopyOfEachOfFourWeeksBefore) {
    struct Case {
        const char* name;
        calendar::SolarDate today;
        QStringList existing;
        QString write;
        QStringList removed;
    };
    const QList<Case> cases = {
        {"none yet", {1405, 9, 18}, {}, "Data-1405-09-18.db", {}},
        {"never two a day", {1405, 9, 18}, {"Data-1405-09-18.db"}, "", {}},
        {"ten days running",
         {1405, 9, 18},
         {"Data-1405-09-09.db", "Data-1405-09-10.db", "Data-1405-09-11.db", "Data-1405-09-12.db", "Data-1405-09-13.db",
          "Data-1405-09-14.db", "Data-1405-09-15.db", "Data-1405-09-16.db", "Data-1405-09-17.db", "Data-1405-09-18.db"},
         "",
         {"Data-1405-09-10.db", "Data-1405-09-09.db"}},
        {"other files, a day that does not exist and a clock set back stay",
         {1405, 9, 18},
         {"Data-1405-09-10.db", "Data-1405-09-06.db", "Data-1405-08-08.db", "notes.txt", "Data.db", "Data-1405-13-01.db",
          "Data-1405-09-20.db"},
         "Data-1405-09-18.db",
         {"Data-1405-09-06.db", "Data-1405-08-08.db"}},
        {"across Nowruz of a common year",
         {1405, 1, 3},
         {"Data-1404-12-29.db", "Data-1404-12-01.db", "Data-1404-11-20.db"},
         "Data-1405-01-03.db",
         {"Data-1404-11-20.db"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DailyBackupPlan plan = planDailyBackups(c.today, c.existing);
        EXPECT_EQ(plan.write, c.write);
        EXPECT_EQ(plan.remove, c.removed);
    }
}

TEST(DailyBackups, FiftyDaysOfCopiesComeDownToEleven) {
    // Every day from 50 days ago to yesterday; today's is still to write.
    const calendar::SolarDate today{1405, 9, 18};
    const qint64 todayNumber = calendar::toDayNumber(today);
    QStringList existing, kept;
    for (int age = 1; age <= 50; ++age) {
        const calendar::SolarDate d = calendar::fromDayNumber(todayNumber - age);
        const QString name = QString::asprintf("Data-%04d-%02d-%02d.db", d.year, d.month, d.day);
        existing << name;
        if (age <= 7 || age == 14 || age == 21 || age == 28) kept << name;
    }
    const DailyBackupPlan plan = planDailyBackups(today, existing);
    EXPECT_EQ(plan.write, QStringLiteral("Data-1405-09-18.db"));
    QStringList left = existing;
    for (const QString& gone : plan.remove) left.removeOne(gone);
    EXPECT_EQ(left, kept);
}

TEST(DailyBackups, TheProgramWritesOneCopyADayBesideItsDataAndDropsThoseTooOld) {
    QTemporaryDir dir;
    paths::setUserDataFolderForTesting(dir.path());
    calendar::setTodayForTesting(calendar::toGregorian({1405, 9, 18}));
    const QString data = dir.filePath(QStringLiteral("Data.db"));
    addRecords(data, QStringLiteral("d"), 2);
    const QDir backups(dir.filePath(QStringLiteral("backups")));
    ASSERT_TRUE(QDir().mkpath(backups.path()));
    QFile old(backups.filePath(QStringLiteral("Data-1405-07-01.db")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();

    const BackupReport first = runDailyBackup(StoreAddress::file(data));
    ASSERT_TRUE(first.ok) << first.reason.toStdString();
    EXPECT_EQ(first.path, backups.filePath(QStringLiteral("Data-1405-09-18.db")));
    EXPECT_EQ(first.records, 2);
    const BackupReport again = runDailyBackup(StoreAddress::file(data));
    EXPECT_TRUE(again.ok);
    EXPECT_TRUE(again.path.isEmpty());
    EXPECT_EQ(backups.entryList(QDir::Files | QDir::Hidden), QStringList({"Data-1405-09-18.db"}));
    calendar::setTodayForTesting(std::nullopt);
    paths::setUserDataFolderForTesting(std::nullopt);
}

TEST(Backup, AFolderThatCannotBeWrittenGetsNoCopyAndTheStoreStaysAsItWas) {
    ZARTAV_RUN_UNPRIVILEGED();
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("Data.db"));
    addRecords(data, QStringLiteral("r"), 3);
    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const BackupReport report = backupStore(StoreAddress::file(data), locked + QStringLiteral("/copy.db"), false);
    EXPECT_FALSE(report.ok);
    EXPECT_TRUE(backupSummary(report).startsWith(QStringLiteral("پشتيبان گرفته نشد؛ اطلاعات دست نخورده است.\n"
                                                                "در اين پوشه نمي توان فايل نوشت:\n") +
                                                 QChar(0x2068) + locked + QChar(0x2069)))
        << backupSummary(report).toStdString();
    EXPECT_TRUE(QDir(locked).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(checkBackupFile(data).records, 3);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

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

// Backup and restore tell how far they have come; stopped at any point they leave no file of
// their own and the store as it was.
TEST_P(BackupTest, AStoppedBackupOrRestoreLeavesNoFileAndTheStoreAsItWas) {
    addRecords(store->address(), QStringLiteral("a"), 5);
    const StoreAddress address = *StoreAddress::parse(store->address());
    const QString copy = dir.filePath(QStringLiteral("copies/copy.db"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(copy).path()));
    int calls = 0;
    const BackupReport stopped = backupStore(address, copy, false, [&](qint64 done, qint64 total) {
        EXPECT_LE(done, total);
        return ++calls < 1;
    });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_FALSE(stopped.ok);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(QDir(QFileInfo(copy).path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    qint64 last = 0, whole = 0;
    const BackupReport made = backupStore(address, copy, false, [&](qint64 done, qint64 total) {
        last = done;
        whole = total;
        return true;
    });
    ASSERT_TRUE(made.ok) << made.reason.toStdString();
    EXPECT_EQ(last, whole);
    addRecords(store->address(), QStringLiteral("b"), 2);
    store->closeSide();

    // Stopped in each part of the restore in turn: the copy of the backup, and on the server
    // the copy kept of what it held and the copy into it.
    for (int part = 0; part < (file() ? 1 : 3); ++part) {
        const BackupReport restore = restoreStore(address, copy, EmptyCopy::Refuse, [&](qint64 done, qint64 total) {
            return part > 0 && done * 3 <= part * total;
        });
        EXPECT_TRUE(restore.cancelled) << part;
        EXPECT_EQ(count(), 7) << part;
        EXPECT_TRUE(nothingKept()) << part;
        EXPECT_EQ(QDir(QFileInfo(copy).path()).entryList(QDir::Files | QDir::Hidden), QStringList{"copy.db"});
        if (file()) {
            EXPECT_EQ(QDir(QFileInfo(store->address()).path()).entryList({"*.part"}, QDir::Files | QDir::Hidden), QStringList());
        }
    }
}

// On a server one desk a day copies the whole store: the store says which; another desk, or
// the same one after a restart, skips that day. A file store's desk keeps its own copy.
TEST_P(BackupTest, OneDeskADayMakesTheServersDailyCopy) {
    addRecords(store->address(), QStringLiteral("a"), 3);
    const StoreAddress address = *StoreAddress::parse(store->address());
    calendar::setTodayForTesting(calendar::toGregorian({1405, 9, 18}));
    const QString copyName = QStringLiteral("backups/Data-1405-09-18.db");
    for (const char* desk : {"first", "second", "first"}) {
        paths::setUserDataFolderForTesting(dir.filePath(QString::fromLatin1(desk)));
        const BackupReport report = runDailyBackup(address);
        EXPECT_TRUE(report.ok) << desk << ": " << report.reason.toStdString();
    }
    paths::setUserDataFolderForTesting(std::nullopt);
    calendar::setTodayForTesting(std::nullopt);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("first/") + copyName)));
    EXPECT_EQ(QFileInfo::exists(dir.filePath(QStringLiteral("second/") + copyName)), file());
    if (!file()) {
        EXPECT_EQ(store->scalar(QStringLiteral("SELECT string_agg(day || ' ' || desk, ',') FROM \"DailyCopies\"")).toString(),
                  QStringLiteral("1405-09-18 ") + history::thisDesk());
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, BackupTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
