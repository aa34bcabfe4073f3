// The store's own history of every change, on both engines: every writer leaves its entry, a
// correction of a printed record needs its reason, a deleted record comes back whole, the chain
// shows tampering, a desk cannot rewrite it, and older stores and copies keep to it.
#include "cli/store_worker_rows.h"
#include "cli_run.h"
#include "data/legacy/legacy_import.h"
#include "data/legacy/legacy_rows.h"
#include "data/certificates/certificate_register.h"
#include "data/history/history_text.h"
#include "data/transfer/record_import.h"
#include "data/schema/record_schema.h"
#include "data/transfer/store_copy.h"
#include "data/tdm.h"
#include "sql_test_database.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace zartav;

namespace {

const QString kRegistration = QStringLiteral("شماره ثبت");
const QString kCalfName = QStringLiteral("نام گوساله");
const QString kHerd = QStringLiteral("كد گله");
const QString kPrinted = QStringLiteral("تاريخ چاپ");
const QString kPhoto1 = QStringLiteral("عكس 1");

class HistoryTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
        ASSERT_TRUE(dm.TVascor.open());
    }
    bool server() const { return GetParam() == test::Engine::PostgreSQL; }
    QSqlDatabase db() const { return dm.Maincon.database(); }

    qint64 save(const QList<std::pair<QString, QString>>& values, const QString& reason = {}, bool editing = false) {
        EXPECT_TRUE(editing ? dm.TVascor.edit() : dm.TVascor.insert()) << dm.TVascor.errorText().toStdString();
        for (const auto& [column, value] : values) dm.TVascor.setValue(column, value);
        dm.TVascor.setChangeReason(reason);
        EXPECT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
        return dm.TVascor.id();
    }
    history::Entry newest(qint64 id) const {
        QString error;
        const std::optional<QList<history::Entry>> all = history::recordHistory(db(), id, &error);
        EXPECT_TRUE(all && !all->isEmpty()) << error.toStdString();
        return all && !all->isEmpty() ? all->first() : history::Entry{};
    }
    qint64 lastId() const { return store->scalar(QStringLiteral("SELECT MAX(\"ID\") FROM \"VaskorTemp\"")).toLongLong(); }
    // Every column of a record as the side connection reads it, photos as bytes.
    QVariantList row(qint64 id) const {
        QSqlQuery q(store->side());
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM \"VaskorTemp\" WHERE \"ID\" = %1").arg(id)));
        QVariantList values;
        if (q.next())
            for (int i = 0; i < int(schema::kRecordColumns.size()); ++i)
                values << q.value(QString::fromUtf8(schema::kRecordColumns[i]));
        return values;
    }

    TDM dm;
};

std::optional<QString> changeOf(const history::Entry& e, const QString& column, bool after = true) {
    for (const history::Change& c : e.changes)
        if (c.column == column) return (after ? c.after : c.before).toString();
    return std::nullopt;
}

}  // namespace

TEST_P(HistoryTest, EveryWriterLeavesItsEntry) {
    const QString desk = history::thisDesk();
    struct Case {
        const char* writer;
        std::function<qint64()> write;  // answers the record written
        const char* action;
        QString column, before, after;
        QString desk;  // empty: a writer that does not say who it is
        QString reason;
    };
    qint64 kept = 0;
    const QString csv = store->folder() + QStringLiteral("/rows.csv");
    const QList<Case> cases = {
        {"the window's New", [&] { return kept = save({{kRegistration, "100"}, {kHerd, "1207"}}); }, "insert",
         kRegistration, {}, "100", desk, {}},
        {"the window's Edit with a reason",
         [&] { return save({{kCalfName, "الف"}}, QStringLiteral("غلط تايپي"), true); }, "update", kCalfName, {}, "الف",
         desk, QStringLiteral("غلط تايپي")},
        {"import-records",
         [&] {
             QFile f(csv);
             EXPECT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QStringLiteral("%1,%2\n200,ب\n").arg(kRegistration, kCalfName).toUtf8());
             f.close();
             const test::CliRun r = test::runCli({QStringLiteral("import-records"), QStringLiteral("--db"), store->address(), csv});
             EXPECT_EQ(r.status, 0) << r.err.toStdString();
             return lastId();
         },
         "insert", kCalfName, {}, "ب", desk, {}},
        {"the legacy import",
         [&] {
             legacy::MemoryRowSource rows({kRegistration}, {legacy::Row{{kRegistration, QStringLiteral("300")}}});
             QSqlDatabase target = db();
             EXPECT_TRUE(legacy::importRows(target, &rows, nullptr).ok);
             return lastId();
         },
         "insert", kRegistration, {}, "300", desk, {}},
        {"plain SQL from another client",
         [&] {
             EXPECT_TRUE(store->exec(QStringLiteral("UPDATE \"VaskorTemp\" SET \"%1\" = 'ج' WHERE \"ID\" = %2").arg(kCalfName).arg(kept)));
             return kept;
         },
         "update", kCalfName, "الف", "ج", {}, {}},
        {"the window's Delete",
         [&] {
             EXPECT_TRUE(dm.TVascor.locateId(kept));
             EXPECT_TRUE(dm.TVascor.remove());
             return kept;
         },
         "delete", kHerd, "1207", {}, desk, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.writer);
        const qint64 id = c.write();
        const history::Entry e = newest(id);
        EXPECT_EQ(e.action, QString::fromLatin1(c.action));
        EXPECT_EQ(e.recordId, id);
        EXPECT_EQ(changeOf(e, c.column, false).value_or("<none>"), c.before);
        EXPECT_EQ(changeOf(e, c.column).value_or("<none>"), c.after);
        EXPECT_EQ(e.desk, c.desk);
        EXPECT_EQ(e.reason, c.reason);
        // The server names the role that wrote; the file has none.
        EXPECT_EQ(e.role.isEmpty(), !server());
        EXPECT_LT(qAbs(e.at.secsTo(QDateTime::currentDateTimeUtc())), 120);
    }
    // The plain sqlite3 shell knows none of the program's functions, and is covered too.
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (!server() && !shell.isEmpty()) {
        dm.Maincon.close();
        store->closeSide();
        QProcess p;
        p.start(shell, {store->address(), QStringLiteral("INSERT INTO VaskorTemp ([شماره ثبت]) VALUES ('از پوسته');")});
        ASSERT_TRUE(p.waitForFinished());
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        ASSERT_TRUE(dm.Maincon.open(store->address()));
        EXPECT_EQ(changeOf(newest(lastId()), kRegistration).value_or("<none>"), QStringLiteral("از پوسته"));
    }
    const history::ChainCheck check = history::verifyChain(db());
    EXPECT_TRUE(check.ok) << check.problem.toStdString();
    EXPECT_EQ(check.unsealed, 0);  // the program sealed what the others wrote when it opened
}

// A record whose certificate the register holds is corrected with its reason; the print date
// New fills in asks for none.
TEST_P(HistoryTest, ACorrectionOfAnIssuedRecordNeedsItsReason) {
    struct Case {
        const char* name;
        bool issued;
        QString reason;
        bool saves;
    };
    const QList<Case> cases = {
        {"a print date but no issue, no reason", false, {}, true},
        {"issued, no reason", true, {}, false},
        {"issued, blanks for a reason", true, QStringLiteral("   "), false},
        {"issued, a reason", true, QStringLiteral("شماره بدن اشتباه بود"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint64 id = save({{kPrinted, QStringLiteral("1405/09/18")}});
        if (c.issued) {
            QSqlDatabase side = db();
            ASSERT_TRUE(certificates::issue(side, {{id, QByteArray(32, 'c'), QStringLiteral("R"), QStringLiteral("owner"),
                                                    QStringLiteral("desk"), QString()}}));
        }
        ASSERT_TRUE(dm.TVascor.edit());
        dm.TVascor.setValue(kCalfName, QStringLiteral("تازه"));
        dm.TVascor.setChangeReason(c.reason);
        EXPECT_EQ(dm.TVascor.post(), c.saves);
        if (!c.saves) {
            EXPECT_EQ(dm.TVascor.errorText(), QStringLiteral("گواهي اين ركورد چاپ شده است؛ براي اصلاح آن «علت اصلاح» را بنويسيد."));
            dm.TVascor.cancel();
            EXPECT_EQ(newest(dm.TVascor.id()).action, QStringLiteral("insert"));
        } else {
            EXPECT_EQ(newest(dm.TVascor.id()).reason, c.reason);
        }
    }
}

TEST_P(HistoryTest, ADeletedRecordComesBackEqualColumnByColumnWithItsPhotos) {
    QStringList columns, values;
    for (int i = 0; i < schema::kListedColumnCount; ++i) {
        columns << QString::fromUtf8(schema::kRecordColumns[i]);
        // An empty value stays apart from an absent one; quotes, backslashes and line breaks stay.
        values << (i == 5 ? QStringLiteral("''") : i == 6 ? QStringLiteral("NULL")
                                                          : QStringLiteral("'%1'").arg(storeworker::rowText("h\"'\\\t\n", 1, i).replace("'", "''")));
    }
    ASSERT_TRUE(store->insertRecords(columns, {values.join(", ")}));
    const qint64 id = lastId();
    QSqlQuery photo(store->side());
    ASSERT_TRUE(photo.prepare(QStringLiteral("UPDATE \"VaskorTemp\" SET \"عكس 1\" = ?, \"عكس 3\" = ? WHERE \"ID\" = ?")));
    const QByteArray first = storeworker::rowPhoto("h", 1, 0, 5000), third = storeworker::rowPhoto("h", 1, 2, 7000);
    photo.addBindValue(first);
    photo.addBindValue(third);
    photo.addBindValue(id);
    ASSERT_TRUE(photo.exec()) << photo.lastError().text().toStdString();
    // A photo replaced is kept in the history.
    photo.addBindValue(storeworker::rowPhoto("h", 2, 0, 4000));
    photo.addBindValue(third);
    photo.addBindValue(id);
    ASSERT_TRUE(photo.exec());
    const QVariantList before = row(id);
    EXPECT_EQ(store->scalar(QStringLiteral("SELECT \"Photo1\" FROM \"VaskorHistory\" ORDER BY \"Entry\" DESC LIMIT 1")).toByteArray(), first);
    EXPECT_TRUE(store->scalar(QStringLiteral("SELECT \"Photo3\" FROM \"VaskorHistory\" ORDER BY \"Entry\" DESC LIMIT 1")).isNull());

    dm.TVascor.refresh();
    ASSERT_TRUE(dm.TVascor.locateId(id));
    ASSERT_TRUE(dm.TVascor.remove());
    QString error;
    const std::optional<QList<history::Entry>> deleted = history::deletedRecords(db(), &error);
    ASSERT_TRUE(deleted) << error.toStdString();
    ASSERT_EQ(deleted->size(), 1);
    EXPECT_EQ(deleted->first().recordId, id);
    EXPECT_EQ(deleted->first().desk, history::thisDesk());

    QSqlDatabase connection = db();
    struct Case {
        const char* name;
        qint64 id;
        bool restores;
        QString says;
    };
    const QList<Case> cases = {
        {"the deleted record", id, true, {}},
        {"again, now that it is back", id, false, QStringLiteral("ركورد %1 هم اكنون هست و حذف نشده است.").arg(id)},
        {"a number never deleted", id + 50, false, QStringLiteral("از ركورد %1 حذفي در تاريخچه نيست.").arg(id + 50)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(history::restoreRecord(connection, c.id, &error), c.restores);
        if (!c.restores) {
            EXPECT_EQ(error, c.says);
        }
    }
    EXPECT_EQ(row(id), before);
    EXPECT_EQ(newest(id).action, QStringLiteral("restore"));
    EXPECT_TRUE(history::deletedRecords(db())->isEmpty());
    EXPECT_TRUE(history::verifyChain(db()).ok);
}

TEST_P(HistoryTest, TheChainNamesTheFirstChangedRemovedOrInsertedEntry) {
    for (int i = 0; i < 4; ++i) save({{kRegistration, QString::number(i)}});
    ASSERT_TRUE(history::verifyChain(db()).ok);
    struct Case {
        const char* name;
        QString tamper;
        qint64 bad;
    };
    const QList<Case> cases = {
        {"a value changed", "UPDATE \"VaskorHistory\" SET \"Changes\" = replace(\"Changes\", '1', '7') WHERE \"Entry\" = 2", 2},
        {"a writer renamed", "UPDATE \"VaskorHistory\" SET \"Desk\" = 'someone@else' WHERE \"Entry\" = 3", 3},
        {"an entry removed", "DELETE FROM \"VaskorHistory\" WHERE \"Entry\" = 2", 2},
        {"an entry put in its place",
         "UPDATE \"VaskorHistory\" SET \"Hash\" = (SELECT \"Hash\" FROM \"VaskorHistory\" WHERE \"Entry\" = 1) WHERE \"Entry\" = 2", 2},
        {"an entry added at the end",
         "INSERT INTO \"VaskorHistory\" SELECT 5, \"RecordID\", \"Action\", \"At\", \"Desk\", \"Role\", \"Reason\", "
         "\"Changes\", NULL, NULL, NULL, \"Hash\" FROM \"VaskorHistory\" WHERE \"Entry\" = 4",
         5},
    };
    QSqlDatabase side = store->side();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(side.transaction());
        ASSERT_TRUE(QSqlQuery(side).exec(c.tamper)) << side.lastError().text().toStdString();
        const history::ChainCheck check = history::verifyChain(side);
        EXPECT_FALSE(check.ok);
        EXPECT_EQ(check.badEntry, c.bad) << check.problem.toStdString();
        ASSERT_TRUE(side.rollback());
    }
    // The command line says the same, with exit status 1.
    ASSERT_TRUE(store->exec(cases.first().tamper));
    const test::CliRun r = test::runCli({QStringLiteral("history"), QStringLiteral("--db"), store->address(), QStringLiteral("--verify")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("entry 2 does not match"))) << r.err.toStdString();
}

// An import writes its rows' entries in one statement on the file: one sealed entry for each row,
// with the values as given, nothing for the rows already there, and the triggers back afterwards,
// also after an import refused halfway.
TEST_P(HistoryTest, AnImportLeavesOneSealedEntryPerRow) {
    save({{kRegistration, "1"}});
    const QString csv = store->folder() + QStringLiteral("/rows.csv");
    auto import = [&](const QByteArray& rows) {
        QFile f(csv);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("%1,%2,تاريخ تولد\n").arg(kRegistration, kCalfName).toUtf8() + rows);
        f.close();
        return importRecordsCsvFile(dm.Maincon, csv);
    };
    const qint64 before = lastId();
    ASSERT_TRUE(import("11,\"نقل \"\"قول\"\" \\ پايان\",1404/01/02\n12,ساده,\n13,,1404/02/03\n").ok);
    const QList<std::pair<qint64, QString>> expected = {
        {before + 1, QStringLiteral("نقل \"قول\" \\ پايان")}, {before + 2, QStringLiteral("ساده")}, {before + 3, QStringLiteral("<none>")}};
    for (const auto& [id, name] : expected) {
        SCOPED_TRACE(id);
        const std::optional<QList<history::Entry>> all = history::recordHistory(db(), id);
        ASSERT_TRUE(all && all->size() == 1);
        EXPECT_EQ(all->first().action, QStringLiteral("insert"));
        EXPECT_EQ(all->first().desk, history::thisDesk());
        EXPECT_EQ(changeOf(all->first(), kCalfName).value_or("<none>"), name);
        EXPECT_EQ(changeOf(all->first(), kRegistration).value_or("<none>"), QString::number(id - before + 10));
    }
    EXPECT_EQ(store->scalar("SELECT COUNT(*) FROM \"VaskorHistory\"").toInt(), 4);
    // Refused at its third row: nothing of it is kept, and the triggers still write.
    EXPECT_FALSE(import("21,الف,\n22,ب,\n23,ج,1404/13/01\n").ok);
    ASSERT_TRUE(store->exec(QStringLiteral("UPDATE \"VaskorTemp\" SET \"%1\" = 'د' WHERE \"ID\" = %2").arg(kCalfName).arg(before + 2)));
    EXPECT_EQ(changeOf(newest(before + 2), kCalfName).value_or("<none>"), QStringLiteral("د"));
    EXPECT_EQ(store->scalar("SELECT COUNT(*) FROM \"VaskorHistory\"").toInt(), 5);
    QSqlDatabase d = db();
    ASSERT_TRUE(d.transaction() && history::seal(d) && d.commit());
    const history::ChainCheck check = history::verifyChain(db());
    EXPECT_TRUE(check.ok && check.entries == 5) << check.problem.toStdString();
}

// A store of an earlier version gets the history on its first writable open, and no entry for
// the records it already holds; a copy carries the history whole, to either engine.
TEST_P(HistoryTest, OlderStoresGetTheHistoryAndCopiesKeepIt) {
    save({{kRegistration, "1"}});
    save({{kRegistration, "2"}});
    dm.Maincon.close();
    const QStringList older = server() ? QStringList{"DROP TRIGGER zartav_history ON \"VaskorTemp\"", "DROP FUNCTION zartav_history()",
                                                      "DROP TABLE \"VaskorHistory\""}
                                       : QStringList{"DROP TRIGGER VaskorHistory_insert", "DROP TRIGGER VaskorHistory_update",
                                                     "DROP TRIGGER VaskorHistory_delete", "DROP TABLE VaskorHistory",
                                                     "DROP TABLE VaskorHistoryDesk", "DROP TABLE VaskorHistoryHead"};
    for (const QString& sql : older) ASSERT_TRUE(store->exec(sql));
    ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
    EXPECT_EQ(store->scalar("SELECT COUNT(*) FROM \"VaskorHistory\"").toInt(), 0);
    ASSERT_TRUE(dm.TVascor.open());
    const qint64 id = save({{kRegistration, "3"}});
    EXPECT_EQ(store->scalar("SELECT COUNT(*) FROM \"VaskorHistory\"").toInt(), 1);
    EXPECT_EQ(newest(id).entry, 1);

    // Out to a file of the other engine's side and back: the same entries, the chain whole.
    auto entries = [](const QSqlDatabase& from) {
        QSqlQuery q(from);
        EXPECT_TRUE(q.exec("SELECT \"Entry\", \"RecordID\", \"Action\", \"At\", \"Desk\", \"Changes\", \"Hash\" FROM \"VaskorHistory\" ORDER BY 1"));
        QStringList all;
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < 7; ++i) fields << q.value(i).toString();
            all << fields.join('|');
        }
        return all;
    };
    const QStringList original = entries(db());
    const QString copy = store->folder() + QStringLiteral("/copy.db");
    {
        Connection target;
        ASSERT_TRUE(target.open(copy));
        const StoreCopyReport report = copyStore(dm.Maincon, target, false);
        ASSERT_TRUE(report.ok) << report.error.toStdString();
        EXPECT_EQ(report.historyEntries, 1);
        EXPECT_EQ(entries(target.database()), original);
        EXPECT_TRUE(history::verifyChain(target.database()).ok);
        // The copy's own triggers are back: its next change is an entry, chained to the copied ones.
        ASSERT_TRUE(QSqlQuery(target.database()).exec("DELETE FROM VaskorTemp WHERE ID = 1"));
        QSqlDatabase t = target.database();
        ASSERT_TRUE(t.transaction());
        ASSERT_TRUE(history::seal(t));
        ASSERT_TRUE(t.commit());
        const history::ChainCheck check = history::verifyChain(target.database());
        EXPECT_TRUE(check.ok && check.entries == 2) << check.problem.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, HistoryTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);

namespace {

// The store made by its owner, and the desks' role given the rights the README gives it.
void makeDeskRole(const test::TestStore& store, const QString& role) {
    ASSERT_TRUE(test::serverAdminExec({QStringLiteral("DO $$ BEGIN CREATE ROLE %1 LOGIN; EXCEPTION WHEN duplicate_object OR "
                                                      "unique_violation THEN NULL; END $$")
                                           .arg(role)})
                    .isEmpty());
    {
        TDM owner;
        ASSERT_TRUE(owner.Maincon.open(store.address()));
    }
    for (const QString& grant : {QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(store.schemaName(), role),
                                 QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON \"VaskorTemp\", \"DosSperm\" TO %1").arg(role),
                                 QStringLiteral("GRANT SELECT ON \"VaskorHistory\" TO %1").arg(role)})
        ASSERT_TRUE(store.exec(grant));
}

}  // namespace

// The office's desks log in with a role that may change the records but not their history: the
// triggers write it as the tables' owner.
TEST(ServerHistoryTest, TheDeskRoleCannotRewriteHistory) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
    const QString role = QStringLiteral("zartav_history_desk");
    makeDeskRole(*store, role);

    TDM desk;
    ASSERT_TRUE(desk.Maincon.open(store->addressFor(role))) << desk.Maincon.technicalError().toStdString();
    ASSERT_FALSE(desk.Maincon.isReadOnly());
    ASSERT_TRUE(desk.TVascor.open());
    ASSERT_TRUE(desk.TVascor.insert());
    desk.TVascor.setValue(kRegistration, QStringLiteral("500"));
    ASSERT_TRUE(desk.TVascor.post()) << desk.TVascor.errorText().toStdString();
    ASSERT_TRUE(desk.TVascor.remove());
    EXPECT_EQ(store->scalar("SELECT COUNT(*) FROM \"VaskorHistory\"").toInt(), 2);
    EXPECT_EQ(store->scalar("SELECT string_agg(\"Role\", ',') FROM \"VaskorHistory\"").toString(), role + ',' + role);

    const QStringList refused = {
        "UPDATE \"VaskorHistory\" SET \"Changes\" = '{}'",
        "DELETE FROM \"VaskorHistory\"",
        "INSERT INTO \"VaskorHistory\" (\"Entry\", \"RecordID\", \"Action\", \"At\", \"Changes\") VALUES (9, 1, 'insert', 'now', '{}')",
        "TRUNCATE \"VaskorHistory\"",
        "TRUNCATE \"VaskorTemp\"",
        "ALTER TABLE \"VaskorTemp\" DISABLE TRIGGER zartav_history",
        "DROP TRIGGER zartav_history ON \"VaskorTemp\"",
    };
    for (const QString& sql : refused) {
        SCOPED_TRACE(sql.toStdString());
        QSqlQuery q(desk.Maincon.database());
        EXPECT_FALSE(q.exec(sql));
    }
    EXPECT_EQ(store->scalar("SELECT COUNT(*) FROM \"VaskorHistory\"").toInt(), 2);
    EXPECT_TRUE(history::verifyChain(desk.Maincon.database()).ok);
}

// Nothing of a desk's own session stands in for what the history's trigger reads, calls or
// records: not a temporary table, function or operator of the same name, nor a setting that
// names another action. Who wrote is the role the server authenticated; the desk's name for
// itself is shown as its own word.
TEST(ServerHistoryTest, NothingOfTheDesksSessionTakesTheHistorysPlace) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
    const QString role = QStringLiteral("zartav_history_desk");
    makeDeskRole(*store, role);
    // A server whose trigger function searched its maker's path gets the pinned one when its
    // owner opens it.
    ASSERT_TRUE(store->exec("ALTER FUNCTION zartav_history() SET search_path FROM CURRENT"));
    {
        Connection owner;
        ASSERT_TRUE(owner.open(store->address()));
    }
    EXPECT_EQ(store->scalar("SELECT array_to_string(proconfig, ',') FROM pg_proc WHERE proname = 'zartav_history' "
                            "AND pronamespace = to_regnamespace(current_schema())")
                  .toString(),
              QStringLiteral("search_path=pg_catalog, %1, pg_temp").arg(store->schemaName()));
    const struct {
        const char* name;
        QStringList session;
    } cases[] = {
        {"a temporary table of the history's name", {"CREATE TEMP TABLE \"VaskorHistory\" (LIKE \"VaskorHistory\")"}},
        {"temporary functions of the names the trigger calls",
         {"CREATE FUNCTION pg_temp.sha256(bytea) RETURNS bytea LANGUAGE sql AS $$ SELECT '\\x00'::bytea $$",
          "CREATE FUNCTION pg_temp.encode(bytea, text) RETURNS text LANGUAGE sql AS $$ SELECT 'forged' $$",
          "CREATE FUNCTION pg_temp.now() RETURNS timestamptz LANGUAGE sql AS $$ SELECT '2000-01-01'::timestamptz $$",
          "CREATE FUNCTION pg_temp.current_setting(text, boolean) RETURNS text LANGUAGE sql AS $$ SELECT 'forged' $$",
          "SET search_path = pg_temp, " + store->schemaName()}},
        {"an operator of the same name",
         {"CREATE FUNCTION pg_temp.glue(text, text) RETURNS text LANGUAGE sql AS $$ SELECT 'forged' $$",
          "CREATE OPERATOR pg_temp.|| (LEFTARG = text, RIGHTARG = text, FUNCTION = pg_temp.glue)"}},
        {"settings that name another action and desk", {"SET zartav.action = 'restore'", "SET zartav.desk = 'desk-9'"}},
    };
    qint64 id = 1000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ++id;
        Connection desk;
        ASSERT_TRUE(desk.open(store->addressFor(role))) << desk.technicalError().toStdString();
        for (const QString& sql : c.session) {
            QSqlQuery q(desk.database());
            ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        }
        // Written, changed, deleted, and its number given to a record that is not the deleted one.
        const QString table = store->schemaName() + QStringLiteral(".\"VaskorTemp\"");
        for (const QString& sql : {QStringLiteral("INSERT INTO %1 (\"ID\", \"كد گله\") VALUES (%2, 'a')"),
                                   QStringLiteral("UPDATE %1 SET \"كد گله\" = 'b' WHERE \"ID\" = %2"),
                                   QStringLiteral("DELETE FROM %1 WHERE \"ID\" = %2"),
                                   QStringLiteral("INSERT INTO %1 (\"ID\", \"كد گله\") VALUES (%2, 'c')")}) {
            QSqlQuery q(desk.database());
            ASSERT_TRUE(q.exec(sql.arg(table).arg(id))) << q.lastError().text().toStdString();
        }
        EXPECT_EQ(store->scalar(QStringLiteral("SELECT string_agg(\"Action\" || ' ' || \"Role\", ',' ORDER BY \"Entry\") "
                                               "FROM \"VaskorHistory\" WHERE \"RecordID\" = %1")
                                    .arg(id))
                      .toString(),
                  QStringLiteral("insert %1,update %1,delete %1,insert %1").arg(role));
        const history::ChainCheck check = history::verifyChain(store->side());
        EXPECT_TRUE(check.ok) << check.problem.toStdString();
    }
    const test::CliRun shown = test::runCli({QStringLiteral("history"), QStringLiteral("--db"), store->address(), QStringLiteral("--id"),
                                             QString::number(id)});
    EXPECT_EQ(shown.status, 0) << shown.err.toStdString();
    EXPECT_TRUE(shown.out.contains(role + QStringLiteral("، رايانه (اعلام شده): desk-9"))) << shown.out.toStdString();
}

// What a plain shell can do to a file's history behind the program's back: cut entries off its
// end, write or rewrite one without a seal, or edit a record, which the triggers record.
TEST_P(HistoryTest, AShellCannotPruneTheFilesChainNorHaveAnEntryOfItsOwnSealed) {
    if (server()) GTEST_SKIP() << "the server seals every entry itself";
    for (int i = 0; i < 3; ++i) save({{kRegistration, QString::number(i)}});
    const qint64 first = lastId() - 2;
    dm.Maincon.close();
    struct Case {
        const char* name;
        QString edit;
        int status;
        QString says;
    };
    const QList<Case> cases = {
        {"the last entries deleted", "DELETE FROM VaskorHistory WHERE Entry >= 2", 1,
         "the history's head counts 3 sealed entries, but 1 are there: entries 2 to 3 are missing"},
        {"every entry deleted", "DELETE FROM VaskorHistory", 1,
         "the history's head counts 3 sealed entries, but 0 are there: entries 1 to 3 are missing"},
        {"an entry written by hand",
         QStringLiteral("INSERT INTO VaskorHistory (RecordID, Action, At, Changes) VALUES (%1, 'update', "
                        "'2026-01-01 00:00:00.000', '{\"شماره ثبت\":[\"0\",\"99\"]}')")
             .arg(first),
         1, "entry 4 is not sealed and the store's triggers cannot have written it: its new value of \"شماره ثبت\""},
        {"an entry rewritten, its seal taken off",
         "UPDATE VaskorHistory SET Hash = NULL, Changes = '{\"شماره ثبت\":[null,\"9\"]}' WHERE Entry = 3", 1,
         "the history's head counts 3 sealed entries, but 2 are there"},
        {"a record edited", QStringLiteral("UPDATE VaskorTemp SET [شماره ثبت] = '77' WHERE ID = %1").arg(first), 0,
         "4 history entries checked, the chain is whole"},
        {"a store from before the head", "DROP TABLE VaskorHistoryHead", 0, "3 history entries checked, the chain is whole"},
    };
    const QString edited = store->folder() + QStringLiteral("/edited.db");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* suffix : {"", "-wal"}) {
            QFile::remove(edited + suffix);
            if (QFileInfo::exists(store->address() + suffix)) {
                ASSERT_TRUE(QFile::copy(store->address() + suffix, edited + suffix));
            }
        }
        {
            QSqlDatabase shell = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("shell"));
            shell.setDatabaseName(edited);
            ASSERT_TRUE(shell.open());
            QSqlQuery edit(shell);
            ASSERT_TRUE(edit.exec(c.edit)) << edit.lastError().text().toStdString();
            shell.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("shell"));
        // The program opens it for writing, which seals what it finds unsealed.
        {
            Connection program;
            ASSERT_TRUE(program.open(edited)) << program.errorText().toStdString();
        }
        const test::CliRun r = test::runCli({QStringLiteral("history"), QStringLiteral("--db"), edited, QStringLiteral("--verify")});
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE((r.out + r.err).contains(c.says)) << (r.out + r.err).toStdString();
    }
}
