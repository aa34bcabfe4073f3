// The held lists of distinct stored values the entry boxes offer.
#include "store_fixture.h"

#include <gtest/gtest.h>

#include <functional>

using namespace zartav;

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
