// Backups and restores of either store through the modules, stopped ones, and the daily copies.
#include "data/history/record_history.h"
#include "data/engine/store_address.h"
#include "data/transfer/daily_copies.h"
#include "data/transfer/store_backup.h"
#include "data/transfer/store_restore.h"
#include "pinned.h"
#include "store_backup_fixture.h"
#include "unprivileged.h"
#include "util/app_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zartav;

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
    const test::Pinned folder(paths::setUserDataFolderForTesting, dir.path());
    const test::Pinned today(calendar::setTodayForTesting, calendar::toGregorian({1405, 9, 18}));
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
    const QString copyName = QStringLiteral("backups/Data-1405-09-18.db");
    {
        const test::Pinned today(calendar::setTodayForTesting, calendar::toGregorian({1405, 9, 18}));
        for (const char* desk : {"first", "second", "first"}) {
            const test::Pinned folder(paths::setUserDataFolderForTesting, dir.filePath(QString::fromLatin1(desk)));
            const BackupReport report = runDailyBackup(address);
            EXPECT_TRUE(report.ok) << desk << ": " << report.reason.toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("first/") + copyName)));
    EXPECT_EQ(QFileInfo::exists(dir.filePath(QStringLiteral("second/") + copyName)), file());
    if (!file()) {
        EXPECT_EQ(store->scalar(QStringLiteral("SELECT string_agg(day || ' ' || desk, ',') FROM \"DailyCopies\"")).toString(),
                  QStringLiteral("1405-09-18 ") + history::thisDesk());
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, BackupTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
