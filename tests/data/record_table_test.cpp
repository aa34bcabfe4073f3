// The record table: its edit, its current record, its filter and its pages, desks side by side.
#include "store_fixture.h"

#include <gtest/gtest.h>

#include <functional>

using namespace zartav;

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
