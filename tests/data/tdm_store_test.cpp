// The data module's FillCombo and scratch query.
#include "store_fixture.h"

#include <gtest/gtest.h>

using namespace zartav;

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

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
