#include "sql_test_database.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <atomic>

namespace zartav::test {
namespace {

std::atomic<int> counter{0};

QString uniqueName(const char* prefix) {
    return QStringLiteral("%1_%2_%3").arg(QLatin1String(prefix)).arg(QCoreApplication::applicationPid()).arg(++counter);
}

QSqlDatabase pgConnection(const QString& name, const QString& database) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(qEnvironmentVariable("ZARTAV_PG_HOST"));
    db.setPort(qEnvironmentVariableIntValue("ZARTAV_PG_PORT"));
    db.setUserName(qEnvironmentVariable("ZARTAV_PG_USER"));
    db.setDatabaseName(database);
    return db;
}

}  // namespace

bool pgRequired() { return qgetenv("ZARTAV_REQUIRE_PG") == "1"; }

// Runs statements on a short-lived connection to the server's test database.
QString serverAdminExec(const QStringList& statements) {
    const QString name = uniqueName("pg_admin");
    QString error;
    {
        QSqlDatabase admin = pgConnection(name, qEnvironmentVariable("ZARTAV_PG_DB"));
        if (!admin.open()) {
            error = admin.lastError().text();
        } else {
            QSqlQuery query(admin);
            query.exec(QStringLiteral("SET client_min_messages = warning"));
            for (const QString& statement : statements)
                if (!query.exec(statement)) {
                    error = statement + QStringLiteral(": ") + query.lastError().text();
                    break;
                }
        }
        admin.close();
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

namespace {

// Why the server cannot serve a test here, or nothing.
QString serverMissing() {
    if (qEnvironmentVariable("ZARTAV_PG_HOST").isEmpty())
        return QStringLiteral("ZARTAV_PG_HOST is not set: no PostgreSQL test server (scripts/pg-cluster.sh starts one)");
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("the Qt PostgreSQL driver QPSQL is not installed");
    return {};
}

const QString kInfoColumns = QStringLiteral(
    "(GroupSec VARCHAR(50), KeyName VARCHAR(50), KeyValue VARCHAR(255), "
    "Discription VARCHAR(255) DEFAULT 'no description')");

}  // namespace

std::string engineName(const testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

TestDatabase::TestDatabase(Engine engine, QString connectionName)
    : engine_(engine), connectionName_(std::move(connectionName)) {}

std::unique_ptr<TestDatabase> TestDatabase::create(Engine engine, QString& why) {
    std::unique_ptr<TestDatabase> result(new TestDatabase(engine, uniqueName("zt")));
    if (engine == Engine::SQLite) {
        if (!result->folder_.isValid()) {
            why = QStringLiteral("no temporary folder");
            return nullptr;
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), result->connectionName_);
        db.setDatabaseName(result->folder_.filePath(QStringLiteral("main.db")));
        if (!db.open()) {
            why = db.lastError().text();
            return nullptr;
        }
        QSqlQuery attach(db);
        attach.prepare(QStringLiteral("ATTACH DATABASE ? AS Dbo"));
        attach.addBindValue(result->folder_.filePath(QStringLiteral("dbo.db")));
        if (!attach.exec()) {
            why = attach.lastError().text();
            return nullptr;
        }
        for (const QString& statement :
             {QStringLiteral("CREATE TABLE Dbo.Info ") + kInfoColumns,
              QStringLiteral("CREATE VIEW sysobjects AS SELECT name, CASE type WHEN 'view' THEN 'V' ELSE 'U' END "
                             "AS xtype FROM sqlite_master WHERE type IN ('table', 'view')")}) {
            if (const auto ok = result->exec(statement); !ok) {
                why = QString::fromStdString(ok.message());
                return nullptr;
            }
        }
        return result;
    }

    if (why = serverMissing(); !why.isEmpty()) return nullptr;
    // A database of its own per test: tests run in parallel and share table names.
    const QString database = result->connectionName_.toLower();
    if (const QString error = serverAdminExec({QStringLiteral("CREATE DATABASE ") + database}); !error.isEmpty()) {
        why = QStringLiteral("cannot create a database on the PostgreSQL test server: ") + error;
        return nullptr;
    }
    result->pgDatabase_ = database;
    QSqlDatabase db = pgConnection(result->connectionName_, database);
    if (!db.open()) {
        why = db.lastError().text();
        return nullptr;
    }
    for (const QString& statement :
         {QStringLiteral("CREATE SCHEMA dbo"), QStringLiteral("CREATE TABLE dbo.info ") + kInfoColumns,
          QStringLiteral("CREATE VIEW sysobjects AS SELECT c.relname::text AS name, "
                         "CASE c.relkind WHEN 'v' THEN 'V' ELSE 'U' END AS xtype "
                         "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                         "WHERE c.relkind IN ('r', 'p', 'v') "
                         "AND n.nspname NOT IN ('pg_catalog', 'information_schema')")}) {
        if (const auto ok = result->exec(statement); !ok) {
            why = QString::fromStdString(ok.message());
            return nullptr;
        }
    }
    return result;
}

TestDatabase::~TestDatabase() {
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        if (db.isValid()) db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
    if (!pgDatabase_.isEmpty()) serverAdminExec({QStringLiteral("DROP DATABASE IF EXISTS ") + pgDatabase_ + QStringLiteral(" WITH (FORCE)")});
}

QSqlDatabase TestDatabase::connection() const { return QSqlDatabase::database(connectionName_, false); }

namespace {

testing::AssertionResult execOn(const QSqlDatabase& db, const QString& statement) {
    QSqlQuery query(db);
    if (query.exec(statement)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << statement.toStdString() << ": " << query.lastError().text().toStdString();
}

QVariant scalarOn(const QSqlDatabase& db, const QString& statement) {
    QSqlQuery query(db);
    if (!query.exec(statement) || !query.next()) return {};
    return query.value(0);
}

}  // namespace

testing::AssertionResult TestDatabase::exec(const QString& statement) const { return execOn(connection(), statement); }

QVariant TestDatabase::scalar(const QString& statement) const { return scalarOn(connection(), statement); }

void EngineTest::SetUp() {
    QString why;
    db = TestDatabase::create(GetParam(), why);
    if (db) return;
    if (GetParam() == Engine::PostgreSQL && !pgRequired())
        GTEST_SKIP() << "PostgreSQL tests skipped: " << why.toStdString();
    FAIL() << "the test database could not be prepared: " << why.toStdString();
}

}  // namespace zartav::test

namespace zartav::test {

QString serverAddress(const QString& database, const QString& user, const QString& query) {
    return QStringLiteral("postgresql://%1@%2:%3/%4%5")
        .arg(user.isEmpty() ? qEnvironmentVariable("ZARTAV_PG_USER") : user, qEnvironmentVariable("ZARTAV_PG_HOST"),
             qEnvironmentVariable("ZARTAV_PG_PORT"), database, query.isEmpty() ? QString() : QLatin1Char('?') + query);
}

TestStore::TestStore(Engine engine, QString name) : engine_(engine), sideName_(std::move(name)) {}

std::unique_ptr<TestStore> TestStore::create(Engine engine, QString& why, bool ownDatabase) {
    std::unique_ptr<TestStore> store(new TestStore(engine, uniqueName("store_side")));
    if (engine == Engine::SQLite) {
        if (!store->folder_.isValid()) {
            why = QStringLiteral("no temporary folder");
            return nullptr;
        }
        store->address_ = store->folder_.filePath(QStringLiteral("Data.db"));
        return store;
    }
    if (why = serverMissing(); !why.isEmpty()) return nullptr;
    const QString name = uniqueName("zs").toLower();
    store->ownDatabase_ = ownDatabase;
    store->pgDatabase_ = ownDatabase ? name : qEnvironmentVariable("ZARTAV_PG_DB");
    store->pgSchema_ = ownDatabase ? QStringLiteral("public") : name;
    if (const QString error = serverAdminExec({(ownDatabase ? QStringLiteral("CREATE DATABASE ") : QStringLiteral("CREATE SCHEMA ")) + name});
        !error.isEmpty()) {
        why = QStringLiteral("cannot make a store on the PostgreSQL test server: ") + error;
        store->pgDatabase_.clear();
        return nullptr;
    }
    store->address_ = store->addressFor({});
    return store;
}

QString TestStore::addressFor(const QString& user, const QString& query) const {
    QStringList parameters;
    if (!ownDatabase_) parameters << QStringLiteral("options=-csearch_path=") + pgSchema_;
    if (!query.isEmpty()) parameters << query;
    return serverAddress(pgDatabase_, user, parameters.join(QLatin1Char('&')));
}

TestStore::~TestStore() {
    closeSide();
    if (pgDatabase_.isEmpty()) return;
    serverAdminExec({ownDatabase_ ? QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(pgDatabase_)
                                  : QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(pgSchema_)});
}

QSqlDatabase TestStore::side() const {
    if (QSqlDatabase::contains(sideName_)) return QSqlDatabase::database(sideName_);
    QSqlDatabase db = engine_ == Engine::SQLite ? QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), sideName_)
                                                : pgConnection(sideName_, pgDatabase_);
    if (engine_ == Engine::SQLite) db.setDatabaseName(address_);
    if (db.open() && engine_ == Engine::PostgreSQL) QSqlQuery(db).exec(QStringLiteral("SET search_path = ") + pgSchema_);
    return db;
}

void TestStore::closeSide() const {
    if (!QSqlDatabase::contains(sideName_)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(sideName_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(sideName_);
}

testing::AssertionResult TestStore::exec(const QString& statement) const { return execOn(side(), statement); }

QVariant TestStore::scalar(const QString& statement) const { return scalarOn(side(), statement); }

testing::AssertionResult TestStore::insertRecords(const QStringList& columns, const QStringList& rows) const {
    QStringList quoted;
    for (const QString& column : columns) quoted << QLatin1Char('"') + column + QLatin1Char('"');
    for (const QString& row : rows)
        if (auto ok = exec(QStringLiteral("INSERT INTO \"VaskorTemp\" (%1) VALUES (%2)").arg(quoted.join(", "), row)); !ok)
            return ok;
    return testing::AssertionSuccess();
}

void StoreEngineTest::SetUp() { ZARTAV_REQUIRE_STORE(store, GetParam(), false); }

}  // namespace zartav::test
