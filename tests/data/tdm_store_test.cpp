#include "data/tdm.h"

#include "unprivileged.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>


using namespace zartav;

namespace {

const QString kHerd = QStringLiteral("كد گله");
const QString kFarm = QStringLiteral("نام گاوداري");
const QString kPrintDate = QStringLiteral("تاريخ چاپ");

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

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("Data.db");
        ASSERT_TRUE(dm.Maincon.open(path)) << dm.Maincon.technicalError().toStdString();
        ASSERT_TRUE(dm.TVascor.open());
        ASSERT_TRUE(dm.TDosSperm.open());
    }

    qint64 addRecord(const QList<std::pair<QString, QString>>& values) {
        EXPECT_TRUE(dm.TVascor.insert());
        for (const auto& [column, text] : values) EXPECT_TRUE(dm.TVascor.setValue(column, text));
        EXPECT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
        return dm.TVascor.id();
    }

    // Many rows at once, in one transaction, straight into the file.
    void addRows(int count, const std::function<QString(int)>& herdOf) {
        SideConnection side(path);
        QSqlDatabase db = side.db();
        db.transaction();
        QSqlQuery q(db);
        q.prepare("INSERT INTO VaskorTemp ([شماره ثبت], [كد گله]) VALUES (?, ?)");
        for (int i = 0; i < count; ++i) {
            q.addBindValue(QString::number(i));
            q.addBindValue(herdOf(i));
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
        db.commit();
    }

    QTemporaryDir dir;
    QString path;
    TDM dm;
};

QStringList tableColumns(const QString& path, const QString& table) {
    SideConnection side(path);
    QSqlQuery q(side.db());
    q.exec(QStringLiteral("PRAGMA table_info([%1])").arg(table));
    QStringList names;
    while (q.next()) names << q.value(1).toString();
    return names;
}

}  // namespace

TEST_F(StoreTest, NewFileHoldsBothTablesWithTheExactColumnNames) {
    QStringList expected;
    for (const char* name : schema::kRecordColumns) expected << QString::fromUtf8(name);
    EXPECT_EQ(tableColumns(path, "VaskorTemp"), expected);
    EXPECT_EQ(expected.size(), 55);
    EXPECT_TRUE(expected.contains(QStringLiteral("نوع تلقيح  1")));  // two blanks

    QStringList catalogue;
    for (const char* name : schema::kCatalogueColumns) catalogue << QString::fromUtf8(name);
    EXPECT_EQ(tableColumns(path, "DosSperm"), catalogue);
    EXPECT_EQ(catalogue.size(), 31);

    SideConnection side(path);
    EXPECT_EQ(side.scalar("SELECT type FROM pragma_table_info('VaskorTemp') WHERE name = 'عكس 2'").toString(), "BLOB");
    EXPECT_EQ(side.scalar("PRAGMA journal_mode").toString(), "wal");
}

TEST_F(StoreTest, NamesWithOneBlankAreNotTheTwoBlankColumns) {
    EXPECT_EQ(RecordTable::columnIndex(QStringLiteral("نوع تلقيح 1")), -1);
    EXPECT_EQ(RecordTable::columnIndex(QStringLiteral("تاريخ تلقيح 1")), -1);
    EXPECT_EQ(RecordTable::columnIndex(QStringLiteral("نوع تلقيح  1")), 35);
    EXPECT_EQ(RecordTable::columnIndex(QStringLiteral("id")), 51);
    EXPECT_EQ(RecordTable::columnIndex(QStringLiteral("hfگوساله")), 12);
}

TEST_F(StoreTest, InsertPostAndReadBack) {
    ASSERT_TRUE(dm.TVascor.isEmpty());
    ASSERT_TRUE(dm.TVascor.insert());
    EXPECT_EQ(dm.TVascor.id(), 0);  // no number before the first save
    EXPECT_FALSE(dm.TVascor.setValue("ID", "7"));
    EXPECT_TRUE(dm.TVascor.setValue(QStringLiteral("نوع تلقيح  2"), QStringLiteral("طبيعي")));
    EXPECT_TRUE(dm.TVascor.setValue(kPrintDate, "1405/09/17"));
    static const char bytes[] = "BM\x00\x01photo-bytes";
    const QByteArray picture(bytes, sizeof bytes - 1);
    EXPECT_TRUE(dm.TVascor.setPhoto(QStringLiteral("عكس 3"), picture));
    ASSERT_TRUE(dm.TVascor.post());
    EXPECT_GT(dm.TVascor.id(), 0);
    EXPECT_EQ(dm.TVascor.rowCount(), 1);
    EXPECT_EQ(dm.TVascor.value(QStringLiteral("نوع تلقيح  2")), QStringLiteral("طبيعي"));
    EXPECT_EQ(dm.TVascor.value(kPrintDate), "1405/09/17");
    EXPECT_EQ(dm.TVascor.photo(QStringLiteral("عكس 3")), picture);
    EXPECT_TRUE(dm.TVascor.photo(QStringLiteral("عكس 1")).isEmpty());
}

TEST_F(StoreTest, EditChangesOnlyTheEditedRecordAndCancelKeepsIt) {
    const qint64 a = addRecord({{kFarm, "a"}});
    const qint64 b = addRecord({{kFarm, "b"}});
    ASSERT_TRUE(dm.TVascor.locateId(a));
    ASSERT_TRUE(dm.TVascor.edit());
    dm.TVascor.setValue(kFarm, "changed");
    dm.TVascor.cancel();
    EXPECT_EQ(dm.TVascor.value(kFarm), "a");

    ASSERT_TRUE(dm.TVascor.edit());
    dm.TVascor.setValue(kFarm, "a2");
    ASSERT_TRUE(dm.TVascor.post());
    EXPECT_EQ(dm.TVascor.id(), a);
    EXPECT_EQ(dm.TVascor.value(kFarm), "a2");
    ASSERT_TRUE(dm.TVascor.locateId(b));
    EXPECT_EQ(dm.TVascor.value(kFarm), "b");
}

TEST_F(StoreTest, IdIsNeverReusedAfterDelete) {
    addRecord({{kFarm, "1"}});
    const qint64 last = addRecord({{kFarm, "2"}});
    ASSERT_TRUE(dm.TVascor.locateId(last));
    ASSERT_TRUE(dm.TVascor.remove());
    EXPECT_EQ(dm.TVascor.rowCount(), 1);
    const qint64 next = addRecord({{kFarm, "3"}});
    EXPECT_GT(next, last);
}

TEST_F(StoreTest, DeleteMakesTheNextRecordCurrent) {
    const qint64 a = addRecord({});
    const qint64 b = addRecord({});
    const qint64 c = addRecord({});
    ASSERT_TRUE(dm.TVascor.locateId(b));
    ASSERT_TRUE(dm.TVascor.remove());
    EXPECT_EQ(dm.TVascor.id(), c);
    ASSERT_TRUE(dm.TVascor.remove());  // the last one: the previous becomes current
    EXPECT_EQ(dm.TVascor.id(), a);
    ASSERT_TRUE(dm.TVascor.remove());
    EXPECT_TRUE(dm.TVascor.isEmpty());
    EXPECT_EQ(dm.TVascor.currentRow(), -1);
    EXPECT_FALSE(dm.TVascor.remove());
}

TEST_F(StoreTest, FailedPostLeavesNoHalfRow) {
    addRecord({{kFarm, "kept"}});
    {
        SideConnection side(path);
        ASSERT_TRUE(side.exec("CREATE TRIGGER refuse AFTER INSERT ON VaskorTemp "
                              "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    }
    ASSERT_TRUE(dm.TVascor.insert());
    dm.TVascor.setValue(kFarm, "new");
    dm.TVascor.setPhoto(QStringLiteral("عكس 1"), QByteArray(1000, 'x'));
    EXPECT_FALSE(dm.TVascor.post());
    EXPECT_EQ(dm.TVascor.state(), RecordState::Insert);  // the caller decides to cancel
    dm.TVascor.cancel();
    SideConnection side(path);
    EXPECT_EQ(side.scalar("SELECT COUNT(*) FROM VaskorTemp").toInt(), 1);
    EXPECT_EQ(dm.TVascor.rowCount(), 1);
}

TEST_F(StoreTest, TooLongTextIsRefusedBeforeWriting) {
    ASSERT_TRUE(dm.TVascor.insert());
    dm.TVascor.setValue(kFarm, QString(schema::kTextColumnSize + 1, QChar(u'ب')));
    EXPECT_FALSE(dm.TVascor.post());
    dm.TVascor.cancel();
    EXPECT_TRUE(dm.TVascor.isEmpty());
    addRecord({{kFarm, QString(schema::kTextColumnSize, QChar(u'ب'))}});
    EXPECT_EQ(dm.TVascor.rowCount(), 1);
}

TEST_F(StoreTest, EditOfARecordDeletedMeanwhileFails) {
    const qint64 id = addRecord({{kFarm, "x"}});
    ASSERT_TRUE(dm.TVascor.edit());
    dm.TVascor.setValue(kFarm, "y");
    {
        SideConnection side(path);
        ASSERT_TRUE(side.exec(QStringLiteral("DELETE FROM VaskorTemp WHERE ID = %1").arg(id)));
    }
    EXPECT_FALSE(dm.TVascor.post());
    dm.TVascor.cancel();
    SideConnection side(path);
    EXPECT_EQ(side.scalar("SELECT COUNT(*) FROM VaskorTemp").toInt(), 0);
}

TEST_F(StoreTest, HerdFilterMatchesStoredTextExactly) {
    const QStringList herds = {"12", "12", "7", " 7 ", "12A", "1 OR 1=1", "گله ب", ""};
    for (const QString& herd : herds) addRecord({{kHerd, herd}});

    struct Case {
        QVariant value;
        int rows;
    };
    const QList<Case> cases = {
        {QString("12"), 2}, {QString("7"), 1},        {QString(" 7 "), 1},
        {QString("12A"), 1}, {QString("1 OR 1=1"), 1}, {QString("گله ب"), 1},
        {QString("99"), 0},  {12, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toString().toStdString());
        ASSERT_TRUE(dm.TVascor.setFilter(kHerd, c.value));
        dm.TVascor.setFiltered(true);
        EXPECT_EQ(dm.TVascor.rowCount(), c.rows);
        EXPECT_EQ(dm.TVascor.currentRow(), c.rows ? 0 : -1);
        for (int row = 0; row < c.rows; ++row) EXPECT_EQ(dm.TVascor.listValue(row, 3), c.value.toString());
    }
    dm.TVascor.setFiltered(false);
    EXPECT_EQ(dm.TVascor.rowCount(), herds.size());
    EXPECT_FALSE(dm.TVascor.setFilter(QStringLiteral("كد  گله"), "12"));
}

TEST_F(StoreTest, PagesFollowIdOrderUnderAFilter) {
    addRows(1000, [](int i) { return QString::number(i % 3); });
    ASSERT_TRUE(dm.TVascor.open());  // rows written by others show after reopening
    EXPECT_EQ(dm.TVascor.rowCount(), 1000);
    for (int row : {0, 63, 64, 127, 128, 500, 999, 300, 1}) EXPECT_EQ(dm.TVascor.listValue(row, 0), QString::number(row));
    EXPECT_EQ(dm.TVascor.listValue(1000, 0), QString());

    dm.TVascor.setFilter(kHerd, "1");
    dm.TVascor.setFiltered(true);
    EXPECT_EQ(dm.TVascor.rowCount(), 333);
    for (int row : {0, 200, 332, 129}) EXPECT_EQ(dm.TVascor.listValue(row, 0), QString::number(row * 3 + 1));
    ASSERT_TRUE(dm.TVascor.locate(QStringLiteral("شماره ثبت"), "601"));
    EXPECT_EQ(dm.TVascor.currentRow(), 200);
    EXPECT_FALSE(dm.TVascor.locate(QStringLiteral("شماره ثبت"), "600"));  // filtered out
    EXPECT_EQ(dm.TVascor.currentRow(), 200);
}

TEST_F(StoreTest, FillCombo) {
    const QString farm = QStringLiteral("Select Distinct [نام گاوداري] as Res From VaskorTemp ");
    struct Case {
        const char* name;
        QStringList stored;
        QString statement;
        bool result;
        QStringList items;
    };
    const QList<Case> cases = {
        {"blank values are skipped, the rest kept as stored",
         {"", "   ", " مزرعه ", "مزرعه", "مزرعه"}, farm, true, {" مزرعه ", "مزرعه"}},
        {"all blank gives an empty list", {"", " "}, farm, true, {}},
        {"no rows empties the list", {}, farm, true, {}},
        {"an unknown column fails and keeps the items",
         {"x"}, "Select Distinct [نام غلط] as Res From VaskorTemp", false, {"old"}},
        {"a result not named Res fails at the first row",
         {"x"}, "Select Distinct [نام گاوداري] From VaskorTemp", false, {}},
        {"a result not named Res with no rows is fine",
         {}, "Select Distinct [نام گاوداري] From VaskorTemp", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SideConnection side(path);
        side.exec("DELETE FROM VaskorTemp");
        for (const QString& v : c.stored) addRecord({{kFarm, v}});
        QStringList items{"old"};
        EXPECT_EQ(dm.FillCombo(c.statement, items), c.result);
        QStringList sortedItems = items, expected = c.items;
        sortedItems.sort();
        expected.sort();
        EXPECT_EQ(sortedItems, expected);
    }
}

TEST_F(StoreTest, ScratchQueryStepsThroughDistinctHerds) {
    for (const char* herd : {"3", "3", "5"}) addRecord({{kHerd, QString(herd)}});
    dm.QAsk.close();
    dm.QAsk.setSql(QStringLiteral("Select Distinct [كد گله] As R From [VaskorTemp]"));
    ASSERT_TRUE(dm.QAsk.open());
    QStringList herds;
    while (dm.QAsk.next()) herds << dm.QAsk.value("r");
    EXPECT_EQ(herds, QStringList({"3", "5"}));
    dm.QAsk.setSql("Select nonsense");
    EXPECT_FALSE(dm.QAsk.open());
}

TEST_F(StoreTest, CatalogueLookupsIgnoreLetterCase) {
    {
        SideConnection side(path);
        side.exec("INSERT INTO DosSperm (Name_Sp, RegNo_SPF, RegNo_Sp) VALUES ('Alpha', 'USA123', '11')");
        side.exec("INSERT INTO DosSperm (Name_Sp, RegNo_SPF, RegNo_Sp) VALUES ('Beta', 'CAN77', '22')");
    }
    ASSERT_TRUE(dm.TDosSperm.open());
    EXPECT_EQ(dm.TDosSperm.rowCount(), 2);
    EXPECT_EQ(dm.TDosSperm.value("NAME_SP"), "Alpha");
    EXPECT_TRUE(dm.TDosSperm.locatePrefix("RegNo_Spf", "can"));
    EXPECT_EQ(dm.TDosSperm.value("regno_sp"), "22");
    EXPECT_FALSE(dm.TDosSperm.locatePrefix("RegNo_Spf", "XX"));
    EXPECT_EQ(dm.TDosSperm.currentRow(), 1);
    EXPECT_TRUE(dm.TDosSperm.first());
    EXPECT_EQ(dm.TDosSperm.value("Name_SP"), "Alpha");
    EXPECT_EQ(dm.DDosSperm.columnCount(), 31);
}

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
