// The tables, columns and indexes a store is made and brought up with.
#include "store_fixture.h"

#include <gtest/gtest.h>

using namespace zartav;

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
