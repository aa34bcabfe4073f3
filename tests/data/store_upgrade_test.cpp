// A store of any earlier shape opens to the program's version with the objects of a fresh store,
// on both engines; a store of a later program is refused and left as it was; an upgrade that
// fails midway leaves the store at its old version.
#include "data/link/connection.h"
#include "data/schema/store_upgrade.h"
#include "data/schema/store_versions.h"
#include "sql_test_database.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace zartav;

namespace {

QString withoutIsolates(QString text) { return text.remove(QChar(0x2068)).remove(QChar(0x2069)); }

class UpgradeTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        Connection made;
        ASSERT_TRUE(made.open(store->address())) << made.technicalError().toStdString();
        fresh = listing();
    }
    bool server() const { return GetParam() == test::Engine::PostgreSQL; }

    // Every object of the store with its columns, and the version it records.
    QString listing() const {
        const QString objects =
            server() ? store->scalar(
                           "SELECT string_agg(replace(x, current_schema(), '@'), E'\\n' ORDER BY x) FROM ("
                           " SELECT c.relkind::text || ' ' || c.relname || ' ' || COALESCE((SELECT string_agg(a.attname || ' ' || "
                           "  format_type(a.atttypid, a.atttypmod) || ' ' || a.attnotnull::text, ',' ORDER BY a.attname) FROM pg_attribute a "
                           "  WHERE a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped), '') AS x FROM pg_class c "
                           "  WHERE c.relnamespace = to_regnamespace(current_schema())"
                           " UNION ALL SELECT 'trigger ' || t.tgname || ' ' || c.relname FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                           "  WHERE c.relnamespace = to_regnamespace(current_schema()) AND NOT t.tgisinternal"
                           " UNION ALL SELECT 'function ' || proname || ' ' || COALESCE(array_to_string(proconfig, ','), '') FROM pg_proc "
                           "  WHERE pronamespace = to_regnamespace(current_schema())) AS s")
                           .toString()
                     : store->scalar("SELECT group_concat(x, char(10)) FROM (SELECT m.type || ' ' || m.name || ' ' || m.tbl_name || ' ' || "
                                     "COALESCE((SELECT group_concat(p.name || ' ' || p.type || ' ' || p.\"notnull\", ',') "
                                     "FROM pragma_table_info(m.name) AS p), '') AS x FROM sqlite_master AS m ORDER BY 1)")
                           .toString();
        const QVariant version = store->scalar("SELECT max(\"version\") FROM \"StoreVersion\"");
        return objects + QStringLiteral("\nversion ") + (version.isValid() ? version.toString() : QStringLiteral("none"));
    }

    // Runs `statements` (those of the store's engine) behind the program's back and lets go of the file.
    void alter(const QStringList& file, const QStringList& onServer) const {
        for (const QString& sql : server() ? onServer : file) ASSERT_TRUE(store->exec(sql)) << sql.toStdString();
        store->closeSide();
    }

    // The old program's two tables: every other object of the fresh store dropped.
    QStringList twoTablesOnly() const {
        const QString others =
            server() ? store->scalar("SELECT string_agg(s, ';' ORDER BY o) FROM ("
                                     " SELECT 0 AS o, format('DROP POLICY %I ON \"VaskorTemp\"', polname) AS s FROM pg_policy "
                                     "  WHERE polrelid = '\"VaskorTemp\"'::regclass"
                                     " UNION ALL SELECT 0, 'ALTER TABLE \"VaskorTemp\" DISABLE ROW LEVEL SECURITY'"
                                     " UNION ALL SELECT 0, 'ALTER TABLE \"VaskorTemp\" NO FORCE ROW LEVEL SECURITY'"
                                     " UNION ALL SELECT 1, format('DROP FUNCTION %s CASCADE', oid::regprocedure) FROM pg_proc "
                                     "  WHERE pronamespace = to_regnamespace(current_schema())"
                                     " UNION ALL SELECT 2, format('DROP TABLE IF EXISTS %I CASCADE', relname) FROM pg_class WHERE relkind = 'r' "
                                     "  AND relnamespace = to_regnamespace(current_schema()) AND relname NOT IN ('VaskorTemp', 'DosSperm')"
                                     " UNION ALL SELECT 3, format('DROP INDEX %s', indexrelid::regclass) FROM pg_index "
                                     "  WHERE indrelid IN ('\"VaskorTemp\"'::regclass, '\"DosSperm\"'::regclass) AND NOT indisprimary"
                                     " UNION ALL SELECT 4, 'ALTER TABLE \"DosSperm\" DROP COLUMN \"RowOrder\"') AS d")
                           .toString()
                     : store->scalar("SELECT group_concat(s, ';') FROM (SELECT 'DROP ' || type || ' \"' || name || '\"' AS s "
                                     "FROM sqlite_master WHERE name NOT IN ('VaskorTemp', 'DosSperm', 'sqlite_sequence') "
                                     "AND name NOT LIKE 'sqlite_autoindex%' ORDER BY type = 'table')")
                           .toString();
        return others.split(QLatin1Char(';'));
    }

    QString fresh;
};

}  // namespace

TEST_P(UpgradeTest, EveryEarlierShapeOpensToTheCurrentVersionWithTheObjectsOfAFreshStore) {
    struct Case {
        const char* name;
        QStringList file, onServer;
    };
    const QList<Case> cases = {
        {"the old program's two tables", twoTablesOnly(), twoTablesOnly()},
        {"before the history",
         {"DROP TRIGGER VaskorHistory_insert", "DROP TRIGGER VaskorHistory_update", "DROP TRIGGER VaskorHistory_delete",
          "DROP TABLE VaskorHistory", "DROP TABLE VaskorHistoryDesk", "DROP TABLE VaskorHistoryHead", "DROP TABLE StoreVersion"},
         {"DROP FUNCTION zartav_history() CASCADE", "DROP TABLE \"VaskorHistory\"", "DROP TABLE \"VaskorHistoryHead\"",
          "DROP TABLE \"StoreVersion\""}},
        {"before the register's seals, with an issue",
         {"ALTER TABLE CertificateIssues DROP COLUMN seal", "DROP TABLE StoreVersion",
          "INSERT INTO CertificateIssues (record, hash, content, issued, issuedBy, desk, keyFingerprint) "
          "VALUES (1, 'ab', 'c', '2026-12-10', 'u', 'd', 'k')"},
         {"DROP FUNCTION zartav_issue_seal() CASCADE", "ALTER TABLE \"CertificateIssues\" DROP COLUMN seal",
          "DROP TABLE \"StoreVersion\"",
          "INSERT INTO \"CertificateIssues\" (record, hash, content, issued, \"issuedBy\", desk, \"keyFingerprint\") "
          "VALUES (1, 'ab', 'c', '2026-12-10', 'u', 'd', 'k')"}},
        {"all of today's objects, no version recorded", {"DROP TABLE StoreVersion"}, {"DROP TABLE \"StoreVersion\""}},
        {"at its version, an index and the chain's head dropped since",
         {"DROP INDEX ix_VaskorTemp_find_3", "DROP TABLE VaskorHistoryHead"},
         {"DROP INDEX \"ix_VaskorTemp_find_3\"", "DROP TABLE \"VaskorHistoryHead\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        alter(c.file, c.onServer);
        ASSERT_NE(listing(), fresh);
        for (int open = 0; open < 2; ++open) {
            Connection link;
            ASSERT_TRUE(link.open(store->address())) << link.technicalError().toStdString();
            EXPECT_FALSE(link.isReadOnly());
        }
        EXPECT_EQ(listing(), fresh);
        EXPECT_EQ(store->scalar("SELECT count(*) FROM \"CertificateIssues\" WHERE seal IS NULL").toInt(), 0);
        store->closeSide();
    }
}

TEST_P(UpgradeTest, AStoreOfALaterProgramIsRefusedAndLeftAsItWas) {
    alter({"UPDATE StoreVersion SET version = 11"}, {"UPDATE \"StoreVersion\" SET version = 11"});
    const QString refusal = QStringLiteral("اين اطلاعات را نسخه تازه تري از اين برنامه ساخته است (ساختار نسخه 11؛ "
                                           "اين برنامه تا نسخه 10 را مي شناسد). براي كار با آن برنامه را به روز كنيد؛ "
                                           "چيزي در آن نوشته نشد.");
    const auto bytes = [&] {
        QFile f(store->address());
        return server() || !f.open(QIODevice::ReadOnly) ? QByteArray() : f.readAll();
    };
    const QString listed = listing();
    store->closeSide();
    const QByteArray before = bytes();
    const QStringList files = QDir(store->folder()).entryList(QDir::Files | QDir::Hidden);
    for (const StoreAccess access : {StoreAccess::ReadWrite, StoreAccess::ReadOnly}) {
        Connection link;
        EXPECT_FALSE(link.open(store->address(), access));
        const QString said = withoutIsolates(link.errorText());
        EXPECT_TRUE(said.startsWith(server() ? QStringLiteral("اتصال به سرور اطلاعات زير برقرار نشد:\n")
                                             : QStringLiteral("فايل اطلاعات زير باز نشد:\n") + store->address() + QLatin1Char('\n')))
            << said.toStdString();
        EXPECT_TRUE(said.endsWith(QLatin1Char('\n') + refusal)) << said.toStdString();
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(QDir(store->folder()).entryList(QDir::Files | QDir::Hidden), files);
    }
    EXPECT_EQ(listing(), listed);
}

TEST_P(UpgradeTest, AStepFailingMidwayLeavesTheStoreAtItsOldVersion) {
    alter({"DROP TRIGGER VaskorHistory_insert", "DROP TRIGGER VaskorHistory_update", "DROP TRIGGER VaskorHistory_delete",
           "DROP TABLE VaskorHistory", "DROP TABLE VaskorHistoryDesk", "DROP TABLE VaskorHistoryHead", "DROP TABLE StoreVersion"},
          {"DROP FUNCTION zartav_history() CASCADE", "DROP TABLE \"VaskorHistory\"", "DROP TABLE \"VaskorHistoryHead\"",
           "DROP TABLE \"StoreVersion\""});
    const QString older = listing();
    store->closeSide();
    // The history's step runs before the one that fails, in the same transaction.
    schema::failStepForTesting(schema::kBroughtUp);
    {
        Connection link;
        EXPECT_TRUE(link.open(store->address())) << link.technicalError().toStdString();
    }
    schema::failStepForTesting(0);
    EXPECT_EQ(listing(), older);
    store->closeSide();
    Connection link;
    ASSERT_TRUE(link.open(store->address())) << link.technicalError().toStdString();
    EXPECT_EQ(listing(), fresh);
}

// Only the tables' owner brings a server store up: a desk of another role opens it as it stands.
TEST(ServerUpgradeTest, OnlyTheTablesOwnerBringsTheStoreUp) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
    const QString role = QStringLiteral("zartav_upgrade_desk");
    ASSERT_TRUE(test::serverAdminExec({QStringLiteral("DO $$ BEGIN CREATE ROLE %1 LOGIN; EXCEPTION WHEN duplicate_object OR "
                                                      "unique_violation THEN NULL; END $$")
                                           .arg(role)})
                    .isEmpty());
    {
        Connection owner;
        ASSERT_TRUE(owner.open(store->address())) << owner.technicalError().toStdString();
    }
    for (const QString& sql : {QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(store->schemaName(), role),
                               QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON \"VaskorTemp\", \"DosSperm\" TO %1").arg(role),
                               QStringLiteral("DROP TABLE \"StoreVersion\""), QStringLiteral("DROP INDEX \"ix_VaskorTemp_find_3\"")})
        ASSERT_TRUE(store->exec(sql));
    const QString version = QStringLiteral("SELECT COALESCE((SELECT 'version ' || max(\"version\") FROM \"StoreVersion\"), 'none')");
    {
        Connection desk;
        ASSERT_TRUE(desk.open(store->addressFor(role))) << desk.technicalError().toStdString();
        EXPECT_FALSE(desk.isReadOnly());
    }
    EXPECT_FALSE(store->scalar("SELECT to_regclass('\"StoreVersion\"') IS NOT NULL").toBool());
    EXPECT_FALSE(store->scalar("SELECT to_regclass('\"ix_VaskorTemp_find_3\"') IS NOT NULL").toBool());
    Connection owner;
    ASSERT_TRUE(owner.open(store->address())) << owner.technicalError().toStdString();
    EXPECT_EQ(store->scalar(version).toString(), QStringLiteral("version 10"));
    EXPECT_TRUE(store->scalar("SELECT to_regclass('\"ix_VaskorTemp_find_3\"') IS NOT NULL").toBool());
}

INSTANTIATE_TEST_SUITE_P(Engines, UpgradeTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL), test::engineName);
