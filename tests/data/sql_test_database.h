#pragma once

// A throw-away database for the SQL toolkit and settings tests, on either engine: SQLite files in
// a temporary folder (with an attached database Dbo), or a fresh database on the PostgreSQL
// server that scripts/pg-cluster.sh starts (ZARTAV_PG_HOST and friends). Both carry the table
// Dbo.Info and a sysobjects view listing tables ('U') and views ('V').

#include <QSqlDatabase>
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

// Base of the tests that run on both engines: a fresh database per test, or a clear failure
// when the server was promised (ZARTAV_REQUIRE_PG=1, as `make test` sets) but is not there.
class EngineTest : public testing::TestWithParam<Engine> {
protected:
    void SetUp() override;

    // Released after the derived test's members, so no connection handle outlives it.
    std::unique_ptr<TestDatabase> db;
};

}  // namespace zartav::test
