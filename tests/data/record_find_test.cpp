#include "data/records/record_find.h"
#include "data/tdm.h"

#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QSqlError>
#include <QSqlQuery>

using namespace zartav;

namespace {

class FindTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
        // ID, herd, registration number, body, metal tag, plastic tag, calf name.
        const QStringList rows = {
            "1, '10', '98001', '1234', '556677', '4455', 'نازي'",
            "2, '10', '۹۸۰۰۲', '٣٢١', NULL, NULL, 'كوكب'",
            "3, '20', '12398', '7777', NULL, NULL, 'یاس'",
            "4, '20', '5', '98', NULL, NULL, 'پري'",
            "5, '20', NULL, NULL, '*1?', '[7]', 'کیمیا'",
        };
        ASSERT_TRUE(store->insertRecords({"ID", "كد گله", "شماره ثبت", "بدن", "گوش ف", "گوش پ", "نام گوساله"}, rows));
    }

    // The IDs the condition of `plan` finds for `text`, in "ID" order.
    QList<qint64> found(find::Plan plan, const QString& text) {
        const SqlDialect& d = dm.Maincon.dialect();
        QSqlQuery query(dm.Maincon.database());
        query.prepare(QStringLiteral("SELECT \"ID\" FROM \"VaskorTemp\" WHERE %1 ORDER BY \"ID\"").arg(find::condition(d, plan)));
        find::bind(query, d, plan, find::fold(text));
        EXPECT_TRUE(query.exec()) << query.lastError().text().toStdString();
        QList<qint64> ids;
        while (query.next()) ids << query.value(0).toLongLong();
        return ids;
    }

    TDM dm;
};

}  // namespace

TEST_P(FindTest, EachColumnFromItsBeginningWithDigitsAndLettersFolded) {
    ASSERT_TRUE(store->insertRecords({"ID", "شماره ثبت", "بدن"}, {"9, '1.2(3)', '\\^$|+{'"}));
    struct Case {
        const char* text;
        QList<qint64> ids;
    };
    const Case cases[] = {
        {"98", {1, 2, 4}},    // registration in ASCII and Persian digits, body; not 12398
        {"۹۸", {1, 2, 4}},    // typed in Persian digits
        {"٩٨٠", {1, 2}},      // typed in Arabic-Indic digits
        {"321", {2}},         // a body number stored in Arabic-Indic digits
        {"5566", {1}},        // metal ear tag
        {"445", {1}},         // plastic ear tag
        {"239", {}},          // inside a number is not its beginning
        {"نا", {1}},          // calf name
        {"کو", {2}},          // Persian kaf typed, Arabic kaf stored
        {"ياس", {3}},         // Arabic yeh typed, Persian yeh stored
        {"كيم", {5}},         // both stored in Persian
        {"*1", {5}},          // pattern characters are plain text
        {"*2", {}},
        {"?", {}},
        {"[7", {5}},
        {".", {}},            // nor are the signs of a regular expression
        {"1.2(", {9}},
        {"\\^$|+{", {9}},
        {"7", {3}},
    };
    for (const Case& c : cases) {
        for (const find::Plan plan : {find::Plan::Indexed, find::Plan::Scan})
            EXPECT_EQ(found(plan, QString::fromUtf8(c.text)), c.ids)
                << c.text << (plan == find::Plan::Indexed ? " indexed" : " scan");
    }
}

TEST_P(FindTest, ListNarrowsWithinTheHerdAndKeepsTheFindWhenTheFilterGoes) {
    RecordTable& table = dm.TVascor;
    ASSERT_TRUE(table.open());
    auto shown = [&] {
        QList<qint64> ids;
        for (int row = 0; row < table.rowCount(); ++row) ids << table.idAt(row);
        return ids;
    };
    ASSERT_TRUE(table.setFind(QStringLiteral("98")));
    EXPECT_EQ(shown(), (QList<qint64>{1, 2, 4}));
    ASSERT_TRUE(table.setFilter(QStringLiteral("كد گله"), QStringLiteral("20")));
    ASSERT_TRUE(table.setFiltered(true));
    EXPECT_EQ(shown(), (QList<qint64>{4}));
    ASSERT_TRUE(table.clearFilter());  // as Print ends
    EXPECT_EQ(shown(), (QList<qint64>{1, 2, 4}));
    ASSERT_TRUE(table.setFind(QString()));
    EXPECT_EQ(shown(), (QList<qint64>{1, 2, 3, 4, 5}));
    // Found by two of its numbers, counted once.
    ASSERT_TRUE(store->exec(QStringLiteral("INSERT INTO \"VaskorTemp\" (\"ID\", \"شماره ثبت\", \"بدن\") VALUES (6, '4321', '43')")));
    ASSERT_TRUE(table.setFind(QStringLiteral("43")));
    EXPECT_EQ(shown(), (QList<qint64>{6}));
}

TEST_P(FindTest, ManyFoundAreCountedAsTheListReachesTheirEnd) {
    const int scanFrom = find::scanFrom(dm.Maincon.dialect());
    const int kMany = scanFrom + 100;
    ASSERT_TRUE(store->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                           "INSERT INTO \"VaskorTemp\" (\"ID\", \"نام گوساله\") "
                                           "SELECT 100 + i, 'ستاره ' || CAST(i AS TEXT) FROM n")
                                .arg(kMany)));
    RecordTable& table = dm.TVascor;
    ASSERT_TRUE(table.open());
    ASSERT_TRUE(table.setFind(QStringLiteral("ستا")));
    EXPECT_EQ(table.rowCount(), scanFrom);
    EXPECT_TRUE(table.hasMoreRows());
    EXPECT_EQ(table.idAt(scanFrom - 1), 100 + scanFrom);
    table.readMoreRows();
    EXPECT_EQ(table.rowCount(), kMany);
    EXPECT_FALSE(table.hasMoreRows());
    EXPECT_EQ(table.idAt(kMany - 1), 100 + kMany);
    EXPECT_EQ(table.shownCount(), kMany);
}

TEST_P(FindTest, RecordsFoundByTwoColumnsArePagedOnceInIdOrder) {
    // More than two screens of records, each found by its registration and its body number.
    ASSERT_TRUE(store->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 150) "
                                           "INSERT INTO \"VaskorTemp\" (\"ID\", \"شماره ثبت\", \"بدن\") "
                                           "SELECT 1000 - i, '66' || CAST(i AS TEXT), '۶۶' FROM n")));
    RecordTable& table = dm.TVascor;
    ASSERT_TRUE(table.open());
    ASSERT_TRUE(table.setFind(QStringLiteral("66")));
    ASSERT_EQ(table.rowCount(), 150);
    for (const int row : {0, 63, 64, 127, 128, 149}) EXPECT_EQ(table.idAt(row), 850 + row) << row;
}

TEST_P(FindTest, EachFoldedColumnIsFoundThroughItsIndex) {
    const SqlDialect& d = dm.Maincon.dialect();
    QSqlQuery query(dm.Maincon.database());
    // A table this small is read whole unless the server is told otherwise.
    if (d.isServer()) {
        ASSERT_TRUE(query.exec(QStringLiteral("SET enable_seqscan = off")));
    }
    // The server explains no statement with placeholders: the bounds are written in.
    const QString condition = find::condition(d, find::Plan::Indexed)
                                  .replace(QStringLiteral(":find_from"), QStringLiteral("'98'"))
                                  .replace(QStringLiteral(":find_to"), QStringLiteral("'99'"));
    ASSERT_TRUE(query.exec((d.isServer() ? QStringLiteral("EXPLAIN (COSTS OFF) ") : QStringLiteral("EXPLAIN QUERY PLAN ")) +
                           QStringLiteral("SELECT \"ID\" FROM \"VaskorTemp\" WHERE ") + condition))
        << query.lastError().text().toStdString();
    QString plan;
    while (query.next()) plan += query.value(d.isServer() ? 0 : 3).toString() + QLatin1Char('\n');
    for (int i = 1; i <= 5; ++i) EXPECT_TRUE(plan.contains(QStringLiteral("ix_VaskorTemp_find_%1").arg(i))) << plan.toStdString();
    EXPECT_FALSE(plan.contains(QStringLiteral("Seq Scan")) || plan.contains(QStringLiteral("SCAN VaskorTemp")))
        << plan.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, FindTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);

// Herd codes are text: the ones that are numbers (in any digits) go by their value, ahead of
// the rest, which go as text; each code once.
TEST(FoldedValuesTest, CodesThatAreNumbersGoByTheirValue) {
    const struct {
        const char* name;
        QStringList stored;
        QStringList shown;
    } cases[] = {
        {"numbers by value", {"76107", "7777", "120", "13"}, {"13", "120", "7777", "76107"}},
        {"Persian digits fold and sort alike", {"۷۶۱۰۷", "7777", "٨"}, {"8", "7777", "76107"}},
        {"leading zeros: one value, two codes", {"7", "007", "10"}, {"007", "7", "10"}},
        {"codes that are not numbers after them, as text", {"گله ي", "12a", "9", "B-2"}, {"9", "12a", "B-2", "گله ي"}},
        {"longer than any integer", {"123456789012345678901", "99"}, {"99", "123456789012345678901"}},
    };
    for (const auto& c : cases) EXPECT_EQ(find::foldedValues(c.stored), c.shown) << c.name;
}
