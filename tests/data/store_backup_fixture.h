#pragma once

// Either store with records of a test's own, for the backup's and the restore's tests: those of
// the modules and those of their commands.

#include "cli/store_worker_rows.h"
#include "cli_run.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "dates/calendar.h"
#include "sql_test_database.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zartav::test {

inline void addRecords(const QString& address, const QString& tag, int count) {
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
    QString keptBy(const CliRun& restore) const {
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

}  // namespace zartav::test

using zartav::test::addRecords;
using zartav::test::BackupTest;
