// Opening a store file: what is refused, left alone, opened for reading only or made.
#include "data/tdm.h"

#include "sql_test_database.h"
#include "store_fixture.h"
#include "unprivileged.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace zartav;

namespace {

// A side connection to the same file, for checking what really reached it.
class SideConnection {
public:
    explicit SideConnection(const QString& path) : name_(QStringLiteral("side-%1").arg(++counter)) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name_);
        db.setDatabaseName(path);
        db.open();
    }
    ~SideConnection() {
        { QSqlDatabase::database(name_).close(); }
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(name_); }
    bool exec(const QString& sql) const {
        QSqlQuery q(db());
        return q.exec(sql);
    }
    QVariant scalar(const QString& sql) const {
        QSqlQuery q(db());
        if (!q.exec(sql) || !q.next()) return {};
        return q.value(0);
    }

private:
    static inline int counter = 0;
    QString name_;
};

}  // namespace

TEST(StoreOpen, RefusesFilesThatAreNotItsDatabaseAndLeavesThemAlone) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QByteArray content;
    };
    const QList<Case> cases = {
        {"text", QByteArray("this is not a database\n").repeated(200)},
        {"damaged header", QByteArray("SQLite format 3\0", 16) + QByteArray(4000, '\xff')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString("%1.db").arg(c.name));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();
        TDM dm;
        EXPECT_FALSE(dm.Maincon.open(path));
        EXPECT_TRUE(dm.Maincon.errorText().contains(path)) << dm.Maincon.errorText().toStdString();
        EXPECT_FALSE(dm.TVascor.open());
        EXPECT_EQ(dm.TVascor.rowCount(), 0);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), c.content);
        f.close();
        EXPECT_FALSE(QFile::exists(path + "-wal"));
    }
}

TEST(StoreOpen, RefusesAnotherProgramsDatabase) {
    QTemporaryDir dir;
    const QString path = dir.filePath("other.db");
    {
        SideConnection side(path);
        side.exec("CREATE TABLE people (name TEXT)");
    }
    TDM dm;
    EXPECT_FALSE(dm.Maincon.open(path));
    SideConnection side(path);
    EXPECT_EQ(side.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name = 'VaskorTemp'").toInt(), 0);
}

TEST(StoreOpen, RefusesALockedFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Data.db");
    {
        TDM dm;
        ASSERT_TRUE(dm.Maincon.open(path));
    }
    SideConnection side(path);
    ASSERT_TRUE(side.exec("PRAGMA journal_mode=DELETE"));
    ASSERT_TRUE(side.exec("PRAGMA locking_mode=EXCLUSIVE"));
    ASSERT_TRUE(side.exec("BEGIN EXCLUSIVE"));
    ASSERT_TRUE(side.exec("INSERT INTO VaskorTemp DEFAULT VALUES"));
    TDM dm;
    EXPECT_FALSE(dm.Maincon.open(path));
    EXPECT_TRUE(dm.Maincon.errorText().contains(path));
    side.exec("ROLLBACK");
}

TEST(StoreOpen, RefusesAnUnreadableFile) {
    ZARTAV_RUN_UNPRIVILEGED();
    QTemporaryDir dir;
    const QString path = dir.filePath("Data.db");
    {
        TDM dm;
        ASSERT_TRUE(dm.Maincon.open(path));
    }
    QFile::setPermissions(path, QFileDevice::Permissions());
    TDM dm;
    EXPECT_FALSE(dm.Maincon.open(path));
    EXPECT_TRUE(dm.Maincon.errorText().contains(path));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// The journal lives beside the database, so a read-only folder is as good as a read-only file:
// the records can still be read, every save fails, and the file is left exactly as it was.
TEST(StoreOpen, AFileThatCannotBeWrittenOpensForReadingOnly) {
    ZARTAV_RUN_UNPRIVILEGED();
    const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
    const QFileDevice::Permissions writable = readOnly | QFileDevice::WriteOwner;
    for (const bool lockFolder : {true, false}) {
        SCOPED_TRACE(lockFolder ? "read-only folder" : "read-only file");
        QTemporaryDir dir;
        const QString path = dir.filePath("Data.db");
        {
            TDM dm;
            ASSERT_TRUE(dm.Maincon.open(path));
            ASSERT_TRUE(dm.TVascor.open());
            for (const char* herd : {"12", "13"}) {
                ASSERT_TRUE(dm.TVascor.insert());
                dm.TVascor.setValue(kHerd, herd);
                ASSERT_TRUE(dm.TVascor.post());
            }
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        if (lockFolder) {
            ASSERT_TRUE(QFile::setPermissions(dir.path(), readOnly));
        } else {
            ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner));
        }

        {
            TDM dm;
            ASSERT_TRUE(dm.Maincon.open(path)) << dm.Maincon.technicalError().toStdString();
            EXPECT_TRUE(dm.Maincon.isReadOnly());
            ASSERT_TRUE(dm.TVascor.open());
            EXPECT_EQ(dm.TVascor.rowCount(), 2);
            EXPECT_EQ(dm.TVascor.value(kHerd), QStringLiteral("12"));
            ASSERT_TRUE(dm.TVascor.insert());
            dm.TVascor.setValue(kHerd, "14");
            EXPECT_FALSE(dm.TVascor.post());
            dm.TVascor.cancel();
            EXPECT_EQ(dm.TVascor.rowCount(), 2);
        }
        QFile::setPermissions(dir.path(), writable);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before);
    }
}

TEST(StoreOpen, CreatesAMissingFileAndItsFolder) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/Data.db");
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(path));
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(dm.TVascor.open());
    EXPECT_TRUE(dm.TVascor.isEmpty());
}
