// The server driver against the test server: what each piece of work costs in exchanges, values
// in and out, a failure inside a batch, bounded and broken-off waits, notifications, streaming;
// and, without a server, how it reads a statement's text and its connect options.
#include "data/engine/pg_driver.h"
#include "data/engine/pg_params.h"
#include "data/engine/pg_statement_text.h"
#include "data/engine/server_link.h"

#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <functional>
#include <thread>

using namespace zartav;

namespace {

std::atomic<int> connections{0};

class PgDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariable("ZARTAV_PG_HOST").isEmpty()) {
            if (!test::pgRequired()) GTEST_SKIP() << "no PostgreSQL test server";
            FAIL() << "ZARTAV_PG_HOST is not set";
        }
        db = connect();
        ASSERT_TRUE(db.isOpen()) << db.lastError().text().toStdString();
    }
    void TearDown() override {
        db = QSqlDatabase();
        for (const QString& name : names) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }

    // A connection through our driver; `host` and `port` replace the test server's.
    QSqlDatabase connect(const QString& options = {}, const QString& host = {}, int port = 0) {
        const QString name = QStringLiteral("pgdriver_%1").arg(++connections);
        names << name;
        QSqlDatabase c = QSqlDatabase::addDatabase(pg::driverName(), name);
        c.setHostName(host.isEmpty() ? qEnvironmentVariable("ZARTAV_PG_HOST") : host);
        c.setPort(port ? port : qEnvironmentVariableIntValue("ZARTAV_PG_PORT"));
        c.setUserName(qEnvironmentVariable("ZARTAV_PG_USER"));
        c.setDatabaseName(qEnvironmentVariable("ZARTAV_PG_DB"));
        c.setConnectOptions(options);
        c.open();
        return c;
    }

    QVariant scalar(const QString& sql, const QVariantList& values = {}) {
        QSqlQuery q(db);
        q.prepare(sql);
        for (const QVariant& v : values) q.addBindValue(v);
        EXPECT_TRUE(q.exec() && q.next()) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        return q.value(0);
    }

    QSqlDatabase db;
    QStringList names;
};

TEST(PgStatementText, PlaceholdersAreNumberedOutsideQuotesAndComments) {
    const struct {
        const char* sql;
        const char* sent;
    } cases[] = {
        {"SELECT ?, ?", "SELECT $1, $2"},
        {"SELECT '?', ?", "SELECT '?', $1"},
        {"SELECT 'it''s ?', ?", "SELECT 'it''s ?', $1"},
        {"SELECT \"b?\", ?", "SELECT \"b?\", $1"},
        {"SELECT E'\\'?', ?", "SELECT E'\\'?', $1"},
        {"SELECT e'\\\\', ?", "SELECT e'\\\\', $1"},
        {"SELECT x'?', 'a\\', ?", "SELECT x'?', 'a\\', $1"},
        {"SELECT $tag$ ? $tag$, $$?$$, ?", "SELECT $tag$ ? $tag$, $$?$$, $1"},
        {"SELECT ? -- ?\n, ?", "SELECT $1 -- ?\n, $2"},
        {"/* ? /* ? */ ? */ ?", "/* ? /* ? */ ? */ $1"},
        {"SELECT a$?", "SELECT a$$1"},
        {"SELECT 'نام گاو ؟?', ?", "SELECT 'نام گاو ؟?', $1"},
        {"SELECT '?", "SELECT '?"},
        {"SELECT $x$ ?", "SELECT $x$ ?"},
    };
    for (const auto& c : cases) EXPECT_EQ(pg::numbered(QString::fromUtf8(c.sql)), QByteArray(c.sent)) << c.sql;
}

TEST(PgStatementText, StatementsAreCountedAndAnOpenerIsKnown) {
    const struct {
        const char* sql;
        int statements;
        bool opens;
    } cases[] = {
        {"", 0, false},
        {"  ;  ; ", 0, false},
        {"-- a note\n", 0, false},
        {"/* x; y */;", 0, false},
        {"SELECT 1", 1, false},
        {"SELECT 1; -- the end", 1, false},
        {"SELECT ';', \";\", $$;$$", 1, false},
        {"SELECT 1; SELECT 2;", 2, false},
        {"BEGIN", 1, true},
        {"  begin;", 1, true},
        {"START   TRANSACTION ISOLATION LEVEL SERIALIZABLE", 1, true},
        {"BEGINNING", 1, false},
        {"SELECT 1; BEGIN", 2, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pg::statementCount(QString::fromUtf8(c.sql)), c.statements) << c.sql;
        EXPECT_EQ(pg::opensTransaction(QString::fromUtf8(c.sql)), c.opens) << c.sql;
    }
}

TEST(PgConnectOptions, WhatIsWrittenIsReadBackAsItWas) {
    const char* values[] = {"plain", "two words", "it's", "back\\slash\\", "'", "", "a=b", "دامداري نمونه"};
    QStringList written;
    for (const char* v : values) written << pg::connectOption(QStringLiteral("k"), QString::fromUtf8(v));
    const pg::Options read = pg::connectOptions(written.join(QLatin1Char(';')));
    ASSERT_EQ(read.size(), std::size(values));
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].first, "k");
        EXPECT_EQ(read[i].second, QByteArray(values[i])) << values[i];
    }
    const pg::Options bare = pg::connectOptions(QStringLiteral(" a=1; b = 2\tc=x;"));
    EXPECT_EQ(bare, (pg::Options{{"a", "1"}, {"b", "2"}, {"c", "x"}}));
}

TEST_F(PgDriverTest, EachPieceOfWorkCostsItsExchanges) {
    EXPECT_EQ(pg::roundTrips(db), 1u) << "connecting";
    ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("CREATE TEMP TABLE t (n int)")));
    const struct {
        const char* what;
        std::function<void()> work;
        quint64 trips;
    } cases[] = {
        {"a prepared SELECT with values", [&] { EXPECT_EQ(scalar(QStringLiteral("SELECT CAST(? AS int) + ?"), {2, 3}).toInt(), 5); }, 1},
        {"three statements in a batch", [&] {
             QSqlQuery a(db), b(db), c(db);
             {
                 pg::Batch batch(db);
                 a.exec(QStringLiteral("SELECT 1"));
                 b.prepare(QStringLiteral("INSERT INTO t VALUES (?)"));
                 b.addBindValue(7);
                 b.exec();
                 c.exec(QStringLiteral("SELECT count(*) FROM t"));
             }
             EXPECT_TRUE(c.next());
             EXPECT_EQ(c.value(0).toInt(), 1);
             EXPECT_EQ(b.numRowsAffected(), 1);
         }, 1},
        {"BEGIN, an INSERT, COMMIT", [&] {
             ASSERT_TRUE(db.transaction());
             QSqlQuery q(db);
             q.prepare(QStringLiteral("INSERT INTO t VALUES (?)"));
             q.addBindValue(8);
             EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
             EXPECT_TRUE(db.commit()) << db.lastError().text().toStdString();
         }, 2},
        {"an empty transaction", [&] { EXPECT_TRUE(db.transaction() && db.commit()); }, 0},
        {"a read-only transaction opened by text", [&] {
             QSqlQuery q(db);
             EXPECT_TRUE(q.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")));
             EXPECT_TRUE(q.exec(QStringLiteral("SELECT current_setting('transaction_isolation')")) && q.next());
             EXPECT_EQ(q.value(0).toString(), QStringLiteral("repeatable read"));
             EXPECT_TRUE(q.exec(QStringLiteral("COMMIT")));
         }, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const quint64 before = pg::roundTrips(db);
        c.work();
        EXPECT_EQ(pg::roundTrips(db) - before, c.trips);
    }
}

TEST_F(PgDriverTest, ValuesComeBackAsTheyWent) {
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b) everyByte += char(b);
    const struct {
        const char* type;
        QVariant value;
        QMetaType::Type comesAs;
    } cases[] = {
        {"text", QString::fromUtf8("it's a \\ \"quote\" كد گله ۱۲۰۷"), QMetaType::QString},
        {"text", QVariant(QMetaType(QMetaType::QString)), QMetaType::QString},
        {"text", QString(), QMetaType::QString},
        {"bytea", QVariant(QMetaType(QMetaType::QByteArray)), QMetaType::QByteArray},
        {"bytea", everyByte, QMetaType::QByteArray},
        {"int", INT_MAX, QMetaType::Int},
        {"int", INT_MIN, QMetaType::Int},
        {"bigint", qlonglong(LLONG_MAX), QMetaType::LongLong},
        {"bigint", qlonglong(LLONG_MIN), QMetaType::LongLong},
        {"boolean", true, QMetaType::Bool},
        {"boolean", false, QMetaType::Bool},
        {"float8", 1.0 / 3, QMetaType::Double},
        {"float8", -1e300, QMetaType::Double},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.value.toString().toStdString());
        const QVariant back = scalar(QStringLiteral("SELECT CAST(? AS %1)").arg(QLatin1String(c.type)), {c.value});
        EXPECT_EQ(back.typeId(), c.comesAs);
        const bool null = c.value.isNull() || (c.value.typeId() == QMetaType::QString && c.value.toString().isNull());
        EXPECT_EQ(back.isNull(), null);
        if (!null) {
            EXPECT_EQ(back, c.value);
        }
    }
}

TEST_F(PgDriverTest, PlaceholdersInLiteralsNamesAndCommentsAreLeftAlone) {
    QSqlQuery q(db);
    // Qt's own reading of ":name" knows no E'' literal: the named one comes first.
    ASSERT_TRUE(q.prepare(QStringLiteral("SELECT '?' AS a, :b AS \"b?\", $tag$ ? $tag$ AS c, :e AS e, E'\\'?' AS d "
                                         "/* ? */ -- ?\n")));
    q.bindValue(QStringLiteral(":b"), QStringLiteral("x"));
    q.bindValue(QStringLiteral(":e"), QStringLiteral("y"));
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.record().fieldName(1), QStringLiteral("b?"));
    const QStringList expected{QStringLiteral("?"), QStringLiteral("x"), QStringLiteral(" ? "), QStringLiteral("y"), QStringLiteral("'?")};
    for (int i = 0; i < expected.size(); ++i) EXPECT_EQ(q.value(i).toString(), expected[i]) << i;
}

TEST_F(PgDriverTest, AFailureInABatchSkipsTheRestAndLeavesTheEarlierAnswers) {
    QSqlQuery before(db), failing(db), after(db);
    const quint64 trips = pg::roundTrips(db);
    {
        pg::Batch batch(db);
        EXPECT_TRUE(before.exec(QStringLiteral("SELECT 1")));
        EXPECT_TRUE(failing.exec(QStringLiteral("SELECT 1/0")));
        EXPECT_TRUE(after.exec(QStringLiteral("SELECT 3")));
        ASSERT_TRUE(before.next()) << "its answer is needed: the batch goes out";
        EXPECT_EQ(before.value(0).toInt(), 1);
    }
    EXPECT_EQ(pg::roundTrips(db) - trips, 1u);
    EXPECT_FALSE(failing.next());
    EXPECT_EQ(failing.lastError().nativeErrorCode(), QStringLiteral("22012"));
    EXPECT_FALSE(after.next());
    EXPECT_TRUE(after.lastError().text().contains(QStringLiteral("skipped"))) << after.lastError().text().toStdString();
    EXPECT_EQ(scalar(QStringLiteral("SELECT ?"), {4}).toInt(), 4) << "the connection goes on";
}

// A wait for an answer that never comes ends at the answer timeout, with the link dropped.
TEST_F(PgDriverTest, SilenceEndsAtTheAnswerTimeout) {
    const int kTimeout = 500;
    // Connecting to a listener that takes the connection and never answers.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    QElapsedTimer clock;
    clock.start();
    const QSqlDatabase silent = connect(QStringLiteral("sslmode=disable;zartav_answer_timeout_ms=%1").arg(kTimeout),
                                        QStringLiteral("127.0.0.1"), ntohs(address.sin_port));
    EXPECT_FALSE(silent.isOpen());
    EXPECT_LT(clock.elapsed(), kTimeout + 500);
    EXPECT_TRUE(silent.lastError().text().contains(QStringLiteral("timeout expired"))) << silent.lastError().text().toStdString();
    ::close(listener);

    // A statement on a connection whose server process is paused.
    const pid_t backend = scalar(QStringLiteral("SELECT pg_backend_pid()")).toInt();
    if (::kill(backend, SIGSTOP) != 0) GTEST_SKIP() << "no right to pause the server's process";
    struct Resume {
        pid_t pid;
        ~Resume() { ::kill(pid, SIGCONT); }
    } resume{backend};
    pg::setAnswerTimeout(db, kTimeout);
    clock.restart();
    QSqlQuery q(db);
    EXPECT_FALSE(q.exec(QStringLiteral("SELECT 1")));
    EXPECT_LT(clock.elapsed(), kTimeout + 500);
    EXPECT_EQ(q.lastError().type(), QSqlError::ConnectionError);
    EXPECT_TRUE(q.lastError().text().contains(QStringLiteral("timeout expired"))) << q.lastError().text().toStdString();
    EXPECT_TRUE(server::isLost(db));
}

TEST_F(PgDriverTest, AnInterrupterBreaksOffAWaitFromAnotherThread) {
    const struct {
        const char* what;
        std::function<void(const pg::Interrupter&)> act;
        QSqlError::ErrorType error;
        bool linkStays;
    } cases[] = {
        {"cancel", [](const pg::Interrupter& i) { i.cancel().wait(); }, QSqlError::StatementError, true},
        {"abandon", [](const pg::Interrupter& i) { i.abandon(); }, QSqlError::ConnectionError, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const pg::Interrupter interrupter = pg::Interrupter::of(db);
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            c.act(interrupter);
        });
        QElapsedTimer clock;
        clock.start();
        QSqlQuery q(db);
        EXPECT_FALSE(q.exec(QStringLiteral("SELECT pg_sleep(30)")));
        other.join();
        EXPECT_LT(clock.elapsed(), 1300);
        EXPECT_EQ(q.lastError().type(), c.error) << q.lastError().text().toStdString();
        EXPECT_EQ(server::isLost(db), !c.linkStays);
        if (c.linkStays) {
            EXPECT_EQ(scalar(QStringLiteral("SELECT 5")).toInt(), 5);
        }
    }
}

TEST_F(PgDriverTest, NotificationsArriveWithTheirSourceAndPayload) {
    QSqlDatabase other = connect();
    ASSERT_TRUE(db.driver()->subscribeToNotification(QStringLiteral("zt_chan")));
    QList<std::pair<QSqlDriver::NotificationSource, QString>> heard;
    QObject::connect(db.driver(), &QSqlDriver::notification,
                     [&](const QString&, QSqlDriver::NotificationSource source, const QVariant& payload) {
                         heard.append({source, payload.toString()});
                     });
    ASSERT_TRUE(QSqlQuery(other).exec(QStringLiteral("NOTIFY zt_chan, 'from another desk'")));
    // Arrives while this connection waits for an answer of its own.
    ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("SELECT pg_sleep(0.2)")));
    ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("NOTIFY zt_chan, 'from here'")));
    QElapsedTimer clock;
    clock.start();
    while (heard.size() < 2 && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const QList<std::pair<QSqlDriver::NotificationSource, QString>> expected{
        {QSqlDriver::OtherSource, QStringLiteral("from another desk")}, {QSqlDriver::SelfSource, QStringLiteral("from here")}};
    EXPECT_EQ(heard, expected);
}

TEST_F(PgDriverTest, AForwardOnlyQueryStreamsAndYieldsToTheNextStatement) {
    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    ASSERT_TRUE(rows.exec(QStringLiteral("SELECT n, repeat('x', 100) FROM generate_series(1, 200000) AS n")));
    const quint64 trips = pg::roundTrips(db);
    for (int n = 1; n <= 1000; ++n) {
        ASSERT_TRUE(rows.next());
        ASSERT_EQ(rows.value(0).toInt(), n);
    }
    EXPECT_EQ(rows.size(), -1) << "rows that have not all arrived are not counted";
    EXPECT_EQ(pg::roundTrips(db), trips);
    EXPECT_EQ(scalar(QStringLiteral("SELECT ?"), {42}).toInt(), 42);
    EXPECT_FALSE(rows.next()) << "the rest was dropped for the statement after it";
    EXPECT_TRUE(rows.lastError().isValid());
}

}  // namespace
