#pragma once

// A throw-away database for the SQL toolkit and settings tests, on either engine: SQLite files in
// a temporary folder (with an attached database Dbo), or a fresh database on the PostgreSQL
// server that scripts/pg-cluster.sh starts (ZARTAV_PG_HOST and friends). Both carry the table
// Dbo.Info and a sysobjects view listing tables ('U') and views ('V').

#include <QSqlDatabase>
#include <QStringList>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>

namespace zartav::test {

enum class Engine { SQLite, PostgreSQL };

std::string engineName(const testing::TestParamInfo<Engine>& info);
inline void PrintTo(Engine engine, std::ostream* out) { *out << (engine == Engine::SQLite ? "SQLite" : "PostgreSQL"); }

// The description column's default, to tell "left unset" from "set to empty".
inline const QString kDefaultDescription = QStringLiteral("no description");

class TestDatabase {
public:
    // Empty when the engine is not available here; `why` then says what is missing.
    static std::unique_ptr<TestDatabase> create(Engine engine, QString& why);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    QSqlDatabase connection() const;
    Engine engine() const { return engine_; }
    // Runs a set-up statement; false (with the driver's text) when it failed.
    testing::AssertionResult exec(const QString& statement) const;
    // First column of the first row, or an invalid value.
    QVariant scalar(const QString& statement) const;

private:
    TestDatabase(Engine engine, QString connectionName);

    Engine engine_;
    QString connectionName_;
    QString pgDatabase_;  // PostgreSQL: the database made for this test
    QTemporaryDir folder_;
};

// PostgreSQL tests fail instead of skipping when the server was promised (ZARTAV_REQUIRE_PG=1,
// as `make test` sets).
bool pgRequired();

// A fresh, empty record store for one test: a Data.db path in a temporary folder, or on the
// test server a schema of its own in the test database (quick to make and drop; the address
// names it in its search path), or, when asked, a database of its own. Beside the program's own connection, a side connection checks
// what really reached the store or changes it behind the program's back; statements written
// with "double-quoted" names run on both engines.
class TestStore {
public:
    static std::unique_ptr<TestStore> create(Engine engine, QString& why, bool ownDatabase = false);
    ~TestStore();
    TestStore(const TestStore&) = delete;
    TestStore& operator=(const TestStore&) = delete;

    Engine engine() const { return engine_; }
    // What Connection::open takes: the file's path or the server URL.
    QString address() const { return address_; }
    // The same server store for another role, with more URL parameters.
    QString addressFor(const QString& user, const QString& query = {}) const;
    // The server database's name (empty for the file) and the store's schema in it.
    QString databaseName() const { return pgDatabase_; }
    QString schemaName() const { return pgSchema_; }
    QString folder() const { return folder_.path(); }

    testing::AssertionResult exec(const QString& statement) const;
    QVariant scalar(const QString& statement) const;
    // Rows of the record table, each given as the SQL values of `columns`.
    testing::AssertionResult insertRecords(const QStringList& columns, const QStringList& rows) const;
    QSqlDatabase side() const;
    // Closes the side connection (a file store being replaced or damaged).
    void closeSide() const;

private:
    TestStore(Engine engine, QString name);

    Engine engine_;
    QString sideName_;
    QString address_;
    QString pgDatabase_;
    QString pgSchema_;
    bool ownDatabase_ = false;
    QTemporaryDir folder_;
};

// Makes `target` (a std::unique_ptr<TestStore>) a fresh store of `engine`, or ends the test:
// skipped when the server is not here, failed when it was promised or the file cannot be made.
#define ZARTAV_REQUIRE_STORE(target, engine, ownDatabase)                                       \
    do {                                                                                       \
        QString why_;                                                                          \
        target = ::zartav::test::TestStore::create(engine, why_, ownDatabase);                 \
        if (!target) {                                                                         \
            if (engine == ::zartav::test::Engine::PostgreSQL && !::zartav::test::pgRequired()) \
                GTEST_SKIP() << "PostgreSQL tests skipped: " << why_.toStdString();            \
            FAIL() << "the test store could not be prepared: " << why_.toStdString();          \
        }                                                                                      \
    } while (false)

// Runs statements on the test server's own database (CREATE ROLE, ALTER DATABASE...); empty
// answer when they all ran, else the first failure.
QString serverAdminExec(const QStringList& statements);

// The URL of a database on the test server, for `user` (the trusted superuser by default).
QString serverAddress(const QString& database, const QString& user = {}, const QString& query = {});

// Base of the tests that run on both engines: a fresh database per test, or a clear failure
// when the server was promised (ZARTAV_REQUIRE_PG=1, as `make test` sets) but is not there.
class EngineTest : public testing::TestWithParam<Engine> {
protected:
    void SetUp() override;

    // Released after the derived test's members, so no connection handle outlives it.
    std::unique_ptr<TestDatabase> db;
};

// Base of the record store tests that run on both engines: a fresh store per test.
class StoreEngineTest : public testing::TestWithParam<Engine> {
protected:
    void SetUp() override;

    std::unique_ptr<TestStore> store;
};

}  // namespace zartav::test
