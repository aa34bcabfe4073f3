#include "data/tdm.h"

#include "sql_test_database.h"
#include "unprivileged.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <functional>


using namespace zartav;

namespace {

const QString kHerd = QStringLiteral("كد گله");
const QString kFarm = QStringLiteral("نام گاوداري");
const QString kPrintDate = QStringLiteral("تاريخ چاپ");
const QString kRegistration = QStringLiteral("شماره ثبت");

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

class StoreTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
        ASSERT_TRUE(dm.TVascor.open());
        ASSERT_TRUE(dm.TDosSperm.open());
    }

    bool server() const { return GetParam() == test::Engine::PostgreSQL; }

    qint64 addRecord(const QList<std::pair<QString, QString>>& values, TDM* desk = nullptr) {
        RecordTable& t = (desk ? *desk : dm).TVascor;
        EXPECT_TRUE(t.insert());
        for (const auto& [column, text] : values) EXPECT_TRUE(t.setValue(column, text));
        EXPECT_TRUE(t.post()) << t.errorText().toStdString();
        return t.id();
    }

    // Many rows at once, in one statement, straight into the store: "ID" and registration number
    // from 1 and 0 up, herd codes the registration number's remainder by `herds`.
    void addRows(int count, int herds) {
        ASSERT_TRUE(store->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                               "INSERT INTO \"VaskorTemp\" (\"ID\", \"شماره ثبت\", \"كد گله\") "
                                               "SELECT i + 1, CAST(i AS TEXT), CAST(i % %2 AS TEXT) FROM n")
                                    .arg(count - 1)
                                    .arg(herds)));
        if (!server()) return;
        ASSERT_TRUE(store->exec("SELECT setval(pg_get_serial_sequence('\"VaskorTemp\"', 'ID'), "
                                "(SELECT max(\"ID\") FROM \"VaskorTemp\"))"));
    }

    QString stored(qint64 id, const QString& column) const {
        return store->scalar(QStringLiteral("SELECT \"%1\" FROM \"VaskorTemp\" WHERE \"ID\" = %2").arg(column).arg(id)).toString();
    }

    QStringList tableColumns(const QString& table) const {
        QSqlQuery q(store->side());
        q.exec(server() ? QStringLiteral("SELECT attname FROM pg_attribute WHERE attrelid = '\"%1\"'::regclass "
                                         "AND attnum > 0 AND NOT attisdropped ORDER BY attnum").arg(table)
                        : QStringLiteral("PRAGMA table_info([%1])").arg(table));
        QStringList names;
        while (q.next()) names << q.value(server() ? 0 : 1).toString();
        return names;
    }

    TDM dm;
};

}  // namespace

TEST_P(StoreTest, NewStoreHoldsBothTablesWithTheExactColumnNames) {
    QStringList expected;
    for (const char* name : schema::kRecordColumns) expected << QString::fromUtf8(name);
    EXPECT_EQ(tableColumns("VaskorTemp"), expected);
    EXPECT_EQ(expected.size(), 55);
    EXPECT_TRUE(expected.contains(QStringLiteral("نوع تلقيح  1")));  // two blanks

    QStringList catalogue;
    for (const char* name : schema::kCatalogueColumns) catalogue << QString::fromUtf8(name);
    // The server keeps the catalogue's own order in a column of its own, after the 31.
    if (server()) catalogue << QStringLiteral("RowOrder");
    EXPECT_EQ(tableColumns("DosSperm"), catalogue);

    struct Probe {
        test::Engine engine;
        const char* what;
        const char* sql;
        const char* expected;
    };
    static const Probe probes[] = {
        {test::Engine::PostgreSQL, "photo type",
         "SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = '\"VaskorTemp\"'::regclass "
         "AND attname = 'عكس 2'", "bytea"},
        {test::Engine::PostgreSQL, "text type",
         "SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = '\"VaskorTemp\"'::regclass "
         "AND attname = 'كد گله'", "character varying(50)"},
        {test::Engine::PostgreSQL, "ID an identity",
         "SELECT format_type(atttypid, atttypmod) || ' ' || attidentity::text FROM pg_attribute "
         "WHERE attrelid = '\"VaskorTemp\"'::regclass AND attname = 'ID'", "bigint d"},
        {test::Engine::PostgreSQL, "fifteen indexes",
         "SELECT count(*) FROM pg_indexes WHERE schemaname = current_schema() AND tablename = 'VaskorTemp' "
         "AND indexname LIKE 'ix_VaskorTemp_%'", "15"},
        {test::Engine::SQLite, "photo type", "SELECT type FROM pragma_table_info('VaskorTemp') WHERE name = 'عكس 2'",
         "BLOB"},
        {test::Engine::SQLite, "journal", "PRAGMA journal_mode", "wal"},
        {test::Engine::SQLite, "fifteen indexes",
         "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name LIKE 'ix_VaskorTemp_%'", "15"},
    };
    for (const Probe& p : probes) {
        if (p.engine != GetParam()) continue;
        EXPECT_EQ(store->scalar(QString::fromUtf8(p.sql)).toString(), QString::fromUtf8(p.expected)) << p.what;
    }
}

// A store from an earlier version lacks indexes: opening it builds them, and first tells the
// window so when the store is large enough for that to take a while.
TEST_P(StoreTest, AnOlderStoreGetsItsIndexesAndALongBuildIsAnnounced) {
    struct Case {
        const char* name;
        int records;
        bool dropped;
        bool announced;
    };
    const Case cases[] = {
        {"large, lacking two", 20000, true, true},
        {"large, lacking none", 20000, false, false},
        {"one record short of large, lacking two", 19999, true, false},
    };
    const QString announcement =
        QStringLiteral("%1 براي جستجوي سريع در 20000 ركورد يك بار آماده مي شود؛ لطفا چند لحظه صبر كنيد ...")
            .arg(server() ? QStringLiteral("سرور اطلاعات") : QStringLiteral("فايل اطلاعات"));
    const QString indexes =
        server() ? QStringLiteral("SELECT count(*) FROM pg_indexes WHERE schemaname = current_schema() "
                                  "AND tablename = 'VaskorTemp' AND indexname LIKE 'ix_VaskorTemp_%'")
                 : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name LIKE 'ix_VaskorTemp_%'");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(store->exec("DELETE FROM \"VaskorTemp\""));
        addRows(c.records, 7);
        if (c.dropped) {
            ASSERT_TRUE(store->exec("DROP INDEX \"ix_VaskorTemp_herd\""));
            ASSERT_TRUE(store->exec("DROP INDEX \"ix_VaskorTemp_find_2\""));
        }
        QStringList told;
        Connection link;
        link.setLongStepNotice([&](const QString& text) { told << text; });
        ASSERT_TRUE(link.open(store->address())) << link.technicalError().toStdString();
        EXPECT_EQ(told, c.announced ? QStringList{announcement} : QStringList{});
        EXPECT_EQ(store->scalar(indexes).toInt(), 15);
    }
}

TEST(StoreNames, NamesWithOneBlankAreNotTheTwoBlankColumns) {
    EXPECT_EQ(RecordTable::columnIndex(QStringLiteral("نوع تلقيح 1")), -1);
    EXPECT_EQ(RecordTable::columnIndex(QStringLiteral("تاريخ تلقيح 1")), -1);
    EXPECT_EQ(RecordTable::columnIndex(QStringLiteral("نوع تلقيح  1")), 35);
    EXPECT_EQ(RecordTable::columnIndex(QStringLiteral("id")), 51);
    EXPECT_EQ(RecordTable::columnIndex(QStringLiteral("hfگوساله")), 12);
}

TEST_P(StoreTest, InsertPostAndReadBack) {
    ASSERT_TRUE(dm.TVascor.isEmpty());
    ASSERT_TRUE(dm.TVascor.insert());
    EXPECT_EQ(dm.TVascor.id(), 0);  // no number before the first save
    EXPECT_FALSE(dm.TVascor.setValue("ID", "7"));
    EXPECT_TRUE(dm.TVascor.setValue(QStringLiteral("نوع تلقيح  2"), QStringLiteral("طبيعي")));
    EXPECT_TRUE(dm.TVascor.setValue(kPrintDate, "1405/09/17"));
    static const char bytes[] = "BM\x00\x01photo-bytes\xff\x00";
    const QByteArray picture(bytes, sizeof bytes - 1);
    EXPECT_TRUE(dm.TVascor.setPhoto(QStringLiteral("عكس 3"), picture));
    ASSERT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
    EXPECT_GT(dm.TVascor.id(), 0);
    EXPECT_EQ(dm.TVascor.rowCount(), 1);
    EXPECT_EQ(dm.TVascor.value(QStringLiteral("نوع تلقيح  2")), QStringLiteral("طبيعي"));
    EXPECT_EQ(dm.TVascor.value(kPrintDate), "1405/09/17");
    EXPECT_EQ(dm.TVascor.photo(QStringLiteral("عكس 3")), picture);
    EXPECT_TRUE(dm.TVascor.photo(QStringLiteral("عكس 1")).isEmpty());
    EXPECT_EQ(stored(dm.TVascor.id(), QStringLiteral("نوع تلقيح  2")), QStringLiteral("طبيعي"));
}

TEST_P(StoreTest, EditChangesOnlyTheEditedRecordAndCancelKeepsIt) {
    const qint64 a = addRecord({{kFarm, "a"}});
    const qint64 b = addRecord({{kFarm, "b"}});
    ASSERT_TRUE(dm.TVascor.locateId(a));
    ASSERT_TRUE(dm.TVascor.edit());
    dm.TVascor.setValue(kFarm, "changed");
    dm.TVascor.cancel();
    EXPECT_EQ(dm.TVascor.value(kFarm), "a");

    ASSERT_TRUE(dm.TVascor.edit());
    dm.TVascor.setValue(kFarm, "a2");
    ASSERT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
    EXPECT_EQ(dm.TVascor.id(), a);
    EXPECT_EQ(dm.TVascor.value(kFarm), "a2");
    ASSERT_TRUE(dm.TVascor.locateId(b));
    EXPECT_EQ(dm.TVascor.value(kFarm), "b");
    EXPECT_EQ(stored(a, kFarm), "a2");
}

TEST_P(StoreTest, IdIsNeverReusedAfterDelete) {
    addRecord({{kFarm, "1"}});
    const qint64 last = addRecord({{kFarm, "2"}});
    ASSERT_TRUE(dm.TVascor.locateId(last));
    ASSERT_TRUE(dm.TVascor.remove());
    EXPECT_EQ(dm.TVascor.rowCount(), 1);
    const qint64 next = addRecord({{kFarm, "3"}});
    EXPECT_GT(next, last);
}

TEST_P(StoreTest, DeleteMakesTheNextRecordCurrent) {
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

TEST_P(StoreTest, FailedPostLeavesNoHalfRow) {
    addRecord({{kFarm, "kept"}});
    const QStringList refuse =
        server() ? QStringList{"CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                               "$$ BEGIN RAISE EXCEPTION 'refused'; END $$",
                               "CREATE TRIGGER refuse AFTER INSERT ON \"VaskorTemp\" FOR EACH ROW EXECUTE FUNCTION refuse()"}
                 : QStringList{"CREATE TRIGGER refuse AFTER INSERT ON VaskorTemp BEGIN SELECT RAISE(ABORT, 'refused'); END"};
    for (const QString& sql : refuse) ASSERT_TRUE(store->exec(sql));
    ASSERT_TRUE(dm.TVascor.insert());
    dm.TVascor.setValue(kFarm, "new");
    dm.TVascor.setPhoto(QStringLiteral("عكس 1"), QByteArray(1000, 'x'));
    EXPECT_FALSE(dm.TVascor.post());
    EXPECT_EQ(dm.TVascor.saveFailure(), SaveFailure::Refused);
    EXPECT_EQ(dm.TVascor.state(), RecordState::Insert);  // the caller decides to cancel
    dm.TVascor.cancel();
    EXPECT_EQ(store->scalar("SELECT COUNT(*) FROM \"VaskorTemp\"").toInt(), 1);
    EXPECT_EQ(dm.TVascor.rowCount(), 1);
}

TEST_P(StoreTest, TooLongTextIsRefusedBeforeWriting) {
    ASSERT_TRUE(dm.TVascor.insert());
    dm.TVascor.setValue(kFarm, QString(schema::kTextColumnSize + 1, QChar(u'ب')));
    EXPECT_FALSE(dm.TVascor.post());
    dm.TVascor.cancel();
    EXPECT_TRUE(dm.TVascor.isEmpty());
    addRecord({{kFarm, QString(schema::kTextColumnSize, QChar(u'ب'))}});
    EXPECT_EQ(dm.TVascor.rowCount(), 1);
}

// Two desks on one store: the first save wins, the second learns of it and may keep its own
// version on purpose; an edit of a record deleted elsewhere writes nothing.
TEST_P(StoreTest, ASecondDeskNeverOverwritesSilently) {
    struct Case {
        const char* name;
        std::function<void(TDM& other, qint64 id)> meanwhile;
        bool typed;  // this desk changed a column
        SaveFailure failure;
        QString farmAfter;  // after this desk's save, or its save on purpose
    };
    const QList<Case> cases = {
        {"changed elsewhere",
         [](TDM& other, qint64 id) {
             ASSERT_TRUE(other.TVascor.locateId(id));
             ASSERT_TRUE(other.TVascor.edit());
             other.TVascor.setValue(kHerd, "other desk");
             ASSERT_TRUE(other.TVascor.post());
         },
         true, SaveFailure::ChangedElsewhere, "this desk"},
        {"a photo changed elsewhere",
         [](TDM& other, qint64 id) {
             ASSERT_TRUE(other.TVascor.locateId(id));
             ASSERT_TRUE(other.TVascor.edit());
             other.TVascor.setPhoto(QStringLiteral("عكس 2"), QByteArray(3000, 'q'));
             ASSERT_TRUE(other.TVascor.post());
         },
         true, SaveFailure::ChangedElsewhere, "this desk"},
        {"deleted elsewhere",
         [](TDM& other, qint64 id) {
             ASSERT_TRUE(other.TVascor.locateId(id));
             ASSERT_TRUE(other.TVascor.remove());
         },
         true, SaveFailure::Deleted, QString()},
        {"changed elsewhere, nothing typed here", 
         [](TDM& other, qint64 id) {
             ASSERT_TRUE(other.TVascor.locateId(id));
             ASSERT_TRUE(other.TVascor.edit());
             other.TVascor.setValue(kFarm, "other desk");
             ASSERT_TRUE(other.TVascor.post());
         },
         false, SaveFailure::None, "other desk"},
    };
    TDM other;
    ASSERT_TRUE(other.Maincon.open(store->address()));
    ASSERT_TRUE(other.TVascor.open());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint64 id = addRecord({{kFarm, "first"}, {kHerd, "1"}});
        ASSERT_TRUE(dm.TVascor.locateId(id));
        ASSERT_TRUE(dm.TVascor.edit());
        if (c.typed) dm.TVascor.setValue(kFarm, "this desk");
        other.TVascor.refresh();
        c.meanwhile(other, id);
        const bool saved = dm.TVascor.post();
        EXPECT_EQ(saved, c.failure == SaveFailure::None);
        EXPECT_EQ(dm.TVascor.saveFailure(), c.failure);
        if (c.failure == SaveFailure::ChangedElsewhere) {
            EXPECT_EQ(dm.TVascor.state(), RecordState::Edit);  // everything typed is still there
            EXPECT_EQ(dm.TVascor.value(kFarm), "this desk");
            ASSERT_TRUE(dm.TVascor.post(SaveMode::Overwrite)) << dm.TVascor.errorText().toStdString();
        } else if (!saved) {
            dm.TVascor.cancel();
        }
        EXPECT_EQ(stored(id, kFarm), c.farmAfter);
        EXPECT_EQ(store->scalar(QStringLiteral("SELECT COUNT(*) FROM \"VaskorTemp\" WHERE \"ID\" = %1").arg(id)).toInt(),
                  c.failure == SaveFailure::Deleted ? 0 : 1);
    }

    // Reading the record again shows the other desk's version and drops what was typed.
    const qint64 id = addRecord({{kFarm, "first"}});
    ASSERT_TRUE(dm.TVascor.locateId(id));
    ASSERT_TRUE(dm.TVascor.edit());
    dm.TVascor.setValue(kHerd, "typed");
    other.TVascor.refresh();
    ASSERT_TRUE(other.TVascor.locateId(id));
    ASSERT_TRUE(other.TVascor.edit());
    other.TVascor.setValue(kFarm, "other desk");
    ASSERT_TRUE(other.TVascor.post());
    EXPECT_FALSE(dm.TVascor.post());
    ASSERT_TRUE(dm.TVascor.reloadEdited());
    EXPECT_EQ(dm.TVascor.value(kFarm), "other desk");
    EXPECT_EQ(dm.TVascor.value(kHerd), QString());
    EXPECT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
}

// Another program deletes a row before the current one: the record shown, edited and saved is
// still the one with the same "ID", however the rows around it moved.
TEST_P(StoreTest, TheCurrentRecordIsHeldByItsId) {
    addRows(9000, 2);
    ASSERT_TRUE(dm.TVascor.open());
    ASSERT_TRUE(dm.TVascor.setCurrentRow(100));
    const qint64 id = dm.TVascor.id();
    ASSERT_EQ(dm.TVascor.value(kRegistration), "100");
    ASSERT_TRUE(store->exec("DELETE FROM \"VaskorTemp\" WHERE \"شماره ثبت\" = '0'"));
    // Scrolling through the whole list reads every page again.
    for (int row = 0; row < dm.TVascor.rowCount(); row += 64) dm.TVascor.listValue(row, 0);
    dm.TVascor.listValue(100, 0);
    EXPECT_EQ(dm.TVascor.id(), id);
    EXPECT_EQ(dm.TVascor.value(kRegistration), "100");
    ASSERT_TRUE(dm.TVascor.edit());
    EXPECT_EQ(dm.TVascor.value(kRegistration), "100");
    dm.TVascor.setValue(kFarm, "edited");
    ASSERT_TRUE(dm.TVascor.post());
    EXPECT_EQ(stored(id, kFarm), "edited");
    EXPECT_EQ(store->scalar("SELECT COUNT(*) FROM \"VaskorTemp\" WHERE \"نام گاوداري\" = 'edited'").toInt(), 1);
    EXPECT_EQ(dm.TVascor.id(), id);
    EXPECT_EQ(dm.TVascor.currentRow(), 99);
    ASSERT_TRUE(dm.TVascor.remove());
    EXPECT_EQ(store->scalar(QStringLiteral("SELECT COUNT(*) FROM \"VaskorTemp\" WHERE \"ID\" = %1").arg(id)).toInt(), 0);
    EXPECT_EQ(dm.TVascor.value(kRegistration), "101");
}

// After a save the list stands on the saved record at its place, whichever end of the "ID"s it
// is nearer, with and without a herd filter.
TEST_P(StoreTest, ASavedRecordStaysCurrentAtItsPlace) {
    addRows(1000, 3);  // herd codes "0", "1", "2" in turn
    ASSERT_TRUE(dm.TVascor.open());
    struct Case {
        const char* name;
        QString herd;  // the filter in force, none when empty
        int row;       // the record edited; -1 for a new one
        int expectedRow;
    };
    const QList<Case> cases = {
        {"edited near the start", {}, 70, 70},
        {"edited past the middle", {}, 900, 900},
        {"new, after all the others", {}, -1, 1000},
        {"edited past the middle of a herd", "1", 300, 300},
        {"new in a herd, after its others", "1", -1, 333},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.herd.isEmpty() ? dm.TVascor.clearFilter() : dm.TVascor.setFilter(kHerd, c.herd) && dm.TVascor.setFiltered(true));
        QString registration = QStringLiteral("new %1").arg(c.expectedRow);
        if (c.row < 0) {
            ASSERT_TRUE(dm.TVascor.insert());
            dm.TVascor.setValue(kRegistration, registration);
            dm.TVascor.setValue(kHerd, c.herd);
        } else {
            ASSERT_TRUE(dm.TVascor.setCurrentRow(c.row));
            registration = dm.TVascor.value(kRegistration);
            ASSERT_TRUE(dm.TVascor.edit());
            dm.TVascor.setValue(kFarm, "edited");
        }
        ASSERT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
        EXPECT_EQ(dm.TVascor.currentRow(), c.expectedRow);
        EXPECT_EQ(dm.TVascor.value(kRegistration), registration);
        EXPECT_EQ(dm.TVascor.listValue(c.expectedRow, 0), registration);
    }
}

// While a record is being inserted or edited the rows under it stay as they are: no filter, no
// reopening, no closing, and the save goes to the record being edited.
TEST_P(StoreTest, FilterOpenAndCloseWaitForTheEditToEnd) {
    const qint64 a = addRecord({{kHerd, "1"}, {kFarm, "a"}});
    const qint64 b = addRecord({{kHerd, "2"}, {kFarm, "b"}});
    for (const bool inserting : {false, true}) {
        SCOPED_TRACE(inserting ? "insert" : "edit");
        ASSERT_TRUE(dm.TVascor.locateId(b));
        ASSERT_TRUE(inserting ? dm.TVascor.insert() : dm.TVascor.edit());
        dm.TVascor.setValue(kFarm, "typed");
        EXPECT_TRUE(dm.TVascor.setFilter(kHerd, "1") == false);
        dm.TVascor.setFiltered(true);
        EXPECT_FALSE(dm.TVascor.open());
        dm.TVascor.close();
        EXPECT_FALSE(dm.TVascor.isFiltered());
        EXPECT_EQ(dm.TVascor.state(), inserting ? RecordState::Insert : RecordState::Edit);
        EXPECT_EQ(dm.TVascor.value(kFarm), "typed");
        ASSERT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
        EXPECT_EQ(stored(a, kFarm), "a");
        EXPECT_EQ(stored(inserting ? dm.TVascor.id() : b, kFarm), "typed");
    }
}

TEST_P(StoreTest, HerdFilterMatchesStoredTextExactly) {
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
        ASSERT_TRUE(dm.TVascor.setFiltered(true));
        EXPECT_EQ(dm.TVascor.rowCount(), c.rows);
        EXPECT_EQ(dm.TVascor.currentRow(), c.rows ? 0 : -1);
        for (int row = 0; row < c.rows; ++row) EXPECT_EQ(dm.TVascor.listValue(row, 3), c.value.toString());
    }
    ASSERT_TRUE(dm.TVascor.setFiltered(false));
    EXPECT_EQ(dm.TVascor.rowCount(), herds.size());
    EXPECT_FALSE(dm.TVascor.setFilter(QStringLiteral("كد  گله"), "12"));
}

TEST_P(StoreTest, PagesFollowIdOrderUnderAFilter) {
    addRows(1000, 3);
    dm.TVascor.refresh();  // rows written by others show after a refresh
    EXPECT_EQ(dm.TVascor.rowCount(), 1000);
    for (int row : {0, 63, 64, 127, 128, 500, 999, 300, 1}) EXPECT_EQ(dm.TVascor.listValue(row, 0), QString::number(row));
    EXPECT_EQ(dm.TVascor.listValue(1000, 0), QString());

    dm.TVascor.setFilter(kHerd, "1");
    dm.TVascor.setFiltered(true);
    EXPECT_EQ(dm.TVascor.rowCount(), 333);
    for (int row : {0, 200, 332, 129}) EXPECT_EQ(dm.TVascor.listValue(row, 0), QString::number(row * 3 + 1));
    ASSERT_TRUE(dm.TVascor.locate(kRegistration, "601"));
    EXPECT_EQ(dm.TVascor.currentRow(), 200);
    EXPECT_FALSE(dm.TVascor.locate(kRegistration, "600"));  // filtered out
    EXPECT_EQ(dm.TVascor.currentRow(), 200);
}

TEST_P(StoreTest, FillCombo) {
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
        {"a result not named Res fails at the first row and keeps the items",
         {"x"}, "Select Distinct [نام گاوداري] From VaskorTemp", false, {"old"}},
        {"a statement failing after its first row keeps the items",
         {"a", "b"},
         "Select Case When [ID] > (Select Min([ID]) From VaskorTemp) Then abs(-9223372036854775807 - 1) "
         "Else [نام گاوداري] End as Res From VaskorTemp",
         false, {"old"}},
        {"a result not named Res with no rows is fine",
         {}, "Select Distinct [نام گاوداري] From VaskorTemp", true, {}},
        {"names in another letter case, a quote in a literal",
         {"o'k", "x"}, "select distinct [نام گاوداري] AS RES from vaskortemp where [نام گاوداري] = 'o''k' and id > 0",
         true, {"o'k"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store->exec("DELETE FROM \"VaskorTemp\"");
        for (const QString& v : c.stored) addRecord({{kFarm, v}});
        QStringList items{"old"};
        EXPECT_EQ(dm.FillCombo(c.statement, items), c.result);
        QStringList sortedItems = items, expected = c.items;
        sortedItems.sort();
        expected.sort();
        EXPECT_EQ(sortedItems, expected);
    }
}

// The lists New and Edit offer, read along the index, against the DISTINCT statement itself,
// after saves, edits and deletes through the program and writes by any other client.
TEST_P(StoreTest, StoredValuesAreWhatTheDistinctStatementGives) {
    struct Case {
        const char* name;
        QStringList saved;                      // one record each, through the program
        QList<std::pair<int, QString>> edited;  // record (by order saved), new value
        QList<int> deleted;
        QString otherClient;  // a statement of another writer
        bool indexDropped;
        QStringList items;  // the expected items, sorted
    };
    const QList<Case> cases = {
        {"blanks, case and trailing blanks tell values apart",
         {"", "   ", "الف", "الف ", " الف", "a", "A", "a", "ب"}, {}, {}, {}, false,
         {" الف", "A", "a", "الف", "الف ", "ب"}},
        {"edits and deletes drop values no record holds any more",
         {"12", "12", "7", "9"}, {{2, "8"}, {0, "13"}}, {3}, {}, false, {"12", "13", "8"}},
        {"another client's rows count, NULL among them",
         {"5"}, {}, {}, "INSERT INTO \"VaskorTemp\" (\"كد گله\") VALUES (NULL), ('4'), ('5 ')", false,
         {"4", "5", "5 "}},
        {"no records, no items", {}, {}, {}, {}, false, {}},
        {"without the index the statement itself gives them",
         {"3", "1", "3", " "}, {}, {0}, {}, true, {"1", "3"}},
    };
    const QString distinct = QStringLiteral("Select Distinct [كد گله] as Res From VaskorTemp ");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store->exec("DELETE FROM \"VaskorTemp\"");
        if (c.indexDropped) {
            ASSERT_TRUE(store->exec("DROP INDEX \"ix_VaskorTemp_5\""));
        }
        // As the change watch tells of a write by another client.
        emit dm.Maincon.changedElsewhere();
        QList<qint64> ids;
        for (const QString& v : c.saved) ids << addRecord({{kHerd, v}});
        for (const auto& [record, value] : c.edited) {
            ASSERT_TRUE(dm.TVascor.locateId(ids[record]) && dm.TVascor.edit());
            dm.TVascor.setValue(kHerd, value);
            ASSERT_TRUE(dm.TVascor.post());
        }
        for (int record : c.deleted) ASSERT_TRUE(dm.TVascor.locateId(ids[record]) && dm.TVascor.remove());
        if (!c.otherClient.isEmpty()) {
            ASSERT_TRUE(store->exec(c.otherClient));
            emit dm.Maincon.changedElsewhere();
        }

        QStringList items{"old"}, statementItems, ordered;
        ASSERT_TRUE(dm.FillStoredValues(kHerd, items));
        ASSERT_TRUE(dm.FillCombo(distinct, statementItems));
        ASSERT_TRUE(dm.FillCombo(distinct + "Order By [كد گله]", ordered));
        // Along the index: the column's own order on both engines, which on the file is the
        // statement's order too (the server may hash). Without it: the statement's own answer.
        if (!c.indexDropped) {
            EXPECT_EQ(items, ordered);
        }
        if (c.indexDropped || !server()) {
            EXPECT_EQ(items, statementItems);
        }
        QStringList sorted = items;
        sorted.sort();
        EXPECT_EQ(sorted, c.items);
        if (c.indexDropped) {
            ASSERT_TRUE(store->exec("CREATE INDEX \"ix_VaskorTemp_5\" ON \"VaskorTemp\" (\"كد گله\")"));
        }
    }
}

// The lists are held between New and New: a step that cannot change them reads nothing (a row
// written behind the desk's back stays unseen), one that may change them reads them again.
TEST_P(StoreTest, StoredValuesAreHeldUntilTheyMayHaveChanged) {
    const qint64 first = addRecord({{kHerd, "12"}});
    QStringList items;
    ASSERT_TRUE(dm.FillStoredValues(kHerd, items));
    ASSERT_EQ(items, QStringList{"12"});
    qint64 moved = 0;
    struct Step {
        const char* what;
        std::function<void()> act;
        QStringList items;  // sorted
    };
    const Step steps[] = {
        {"a row behind the desk's back, not yet told", [&] { store->exec("INSERT INTO \"VaskorTemp\" (\"كد گله\") VALUES ('99')"); }, {"12"}},
        {"a new record of a herd listed already", [&] { addRecord({{kHerd, "12"}}); }, {"12"}},
        {"a new record of a herd not listed", [&] { moved = addRecord({{kHerd, "30"}}); }, {"12", "30", "99"}},
        {"an edit that leaves the herd", [&] {
             ASSERT_TRUE(dm.TVascor.locateId(moved) && dm.TVascor.edit());
             dm.TVascor.setValue(kFarm, QStringLiteral("مزرعه"));
             ASSERT_TRUE(dm.TVascor.post());
             store->exec("INSERT INTO \"VaskorTemp\" (\"كد گله\") VALUES ('98')");
         }, {"12", "30", "99"}},
        {"an edit that moves the herd's only record", [&] {
             ASSERT_TRUE(dm.TVascor.locateId(moved) && dm.TVascor.edit());
             dm.TVascor.setValue(kHerd, QStringLiteral("31"));
             ASSERT_TRUE(dm.TVascor.post());
         }, {"12", "31", "98", "99"}},
        {"a delete", [&] {
             store->exec("DELETE FROM \"VaskorTemp\" WHERE \"كد گله\" IN ('98', '99')");
             ASSERT_TRUE(dm.TVascor.locateId(first) && dm.TVascor.remove());
         }, {"12", "31"}},
        {"the change watch's notice", [&] {
             store->exec("INSERT INTO \"VaskorTemp\" (\"كد گله\") VALUES ('40')");
             emit dm.Maincon.changedElsewhere();
         }, {"12", "31", "40"}},
        {"the store opened again", [&] {
             store->exec("INSERT INTO \"VaskorTemp\" (\"كد گله\") VALUES ('41')");
             ASSERT_TRUE(dm.TVascor.close() && dm.Maincon.open(store->address()) && dm.TVascor.open());
         }, {"12", "31", "40", "41"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        ASSERT_TRUE(dm.FillStoredValues(kHerd, items));
        items.sort();
        EXPECT_EQ(items, step.items);
    }
}

TEST_P(StoreTest, ScratchQueryStepsThroughDistinctHerds) {
    for (const char* herd : {"3", "3", "5"}) addRecord({{kHerd, QString(herd)}});
    dm.QAsk.close();
    dm.QAsk.setSql(QStringLiteral("Select Distinct [كد گله] As R From [VaskorTemp] Order By [كد گله]"));
    ASSERT_TRUE(dm.QAsk.open()) << dm.QAsk.errorText().toStdString();
    QStringList herds;
    while (dm.QAsk.next()) herds << dm.QAsk.value("r");
    EXPECT_EQ(herds, QStringList({"3", "5"}));
    dm.QAsk.setSql("Select nonsense");
    EXPECT_FALSE(dm.QAsk.open());
}

TEST_P(StoreTest, CatalogueKeepsItsOrderAndLookupsIgnoreLetterCase) {
    for (const char* row : {"('Zulu', 'USA123', '11')", "('Alpha', 'CAN77', '22')", "('Mike', 'CAN78', '33')"})
        ASSERT_TRUE(store->exec(QStringLiteral("INSERT INTO \"DosSperm\" (\"Name_Sp\", \"RegNo_SPF\", \"RegNo_Sp\") VALUES ") + row));
    ASSERT_TRUE(dm.TDosSperm.open());
    EXPECT_EQ(dm.TDosSperm.rowCount(), 3);
    EXPECT_EQ(dm.TDosSperm.value("NAME_SP"), "Zulu");  // the order they were written in
    EXPECT_EQ(dm.TDosSperm.valueAt(2, 0), "Mike");
    EXPECT_TRUE(dm.TDosSperm.locatePrefix("RegNo_Spf", "can"));
    EXPECT_EQ(dm.TDosSperm.value("regno_sp"), "22");
    EXPECT_FALSE(dm.TDosSperm.locatePrefix("RegNo_Spf", "XX"));
    EXPECT_EQ(dm.TDosSperm.currentRow(), 1);
    EXPECT_TRUE(dm.TDosSperm.first());
    EXPECT_EQ(dm.TDosSperm.value("Name_SP"), "Zulu");
    EXPECT_EQ(dm.DDosSperm.columnCount(), 31);
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);

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
