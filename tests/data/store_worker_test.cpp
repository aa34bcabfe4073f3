// The window's reads through a store worker of its own thread, on both engines: what each action
// costs in exchanges with the store (round trips on the server), and answers that come after a
// newer question never shown.
#include "data/engine/pg_driver.h"
#include "data/pedigree/record_checks.h"
#include "data/tdm.h"

#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>
#include <semaphore>

using namespace zartav;

namespace {

const QString kHerd = QStringLiteral("كد گله");
const QString kFarm = QStringLiteral("نام گاوداري");

class WorkerTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        {
            Connection owner;  // makes the tables
            ASSERT_TRUE(owner.open(store->address())) << owner.technicalError().toStdString();
        }
        // 300 records in three herds, written before the desk opens the store.
        ASSERT_TRUE(store->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 299) "
                                               "INSERT INTO \"VaskorTemp\" (\"ID\", \"شماره ثبت\", \"كد گله\", \"نام گاوداري\") "
                                               "SELECT i + 1, CAST(i AS TEXT), CAST(i % 3 AS TEXT), 'گاوداري' FROM n")));
        if (GetParam() == test::Engine::PostgreSQL) {
            ASSERT_TRUE(store->exec("SELECT setval(pg_get_serial_sequence('\"VaskorTemp\"', 'ID'), 300)"));
        }
    }

    // As the window opens a store: the connection, the list, the catalogue, the form's lists.
    void startDesk() {
        ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
        ASSERT_TRUE(dm.TVascor.open());
        ASSERT_TRUE(dm.TDosSperm.open());
        dm.storedValues().keepAtHand(formLists());
        dm.storedValues().prefetch(formLists());
        settle();
    }

    static QList<int> formLists() {
        QList<int> columns;
        for (const char* name : {"كد استان", "نام استان", "نام شهرستان", "نام گاوداري", "كد گله", "نام گوساله"})
            columns << RecordTable::columnIndex(QString::fromUtf8(name));
        return columns;
    }

    // Until every answer asked for has come back.
    void settle() {
        QElapsedTimer clock;
        clock.start();
        int quiet = 0;
        while (quiet < 3 && clock.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            quiet = dm.worker().isIdle() ? quiet + 1 : 0;
            QThread::msleep(2);
        }
        ASSERT_TRUE(dm.worker().isIdle());
    }

    quint64 exchanges() { return dm.worker().exchanges() + pg::roundTrips(dm.Maincon.database()); }

    // What `action` costs, its answers all in.
    quint64 cost(const std::function<void()>& action) {
        const quint64 before = exchanges();
        action();
        settle();
        return exchanges() - before;
    }

    TDM dm{StoreWorker::Mode::Threaded};
};

TEST_P(WorkerTest, EachActionKeepsToItsBudgetOfExchanges) {
    const quint64 startUp = cost([&] { startDesk(); });
    EXPECT_LE(startUp, 8u);
    RecordTable& table = dm.TVascor;
    ASSERT_EQ(table.rowCount(), 300);
    ASSERT_TRUE(table.setFilter(kHerd, "1"));
    const struct {
        const char* action;
        std::function<void()> run;
        quint64 budget;
    } actions[] = {
        {"a page not read yet", [&] { EXPECT_FALSE(table.isRowRead(250)); }, 1},
        {"a herd tab", [&] { table.setFiltered(true); }, 1},
        {"a key in the find box", [&] { table.setFind("1"); }, 1},
        {"the next key", [&] { table.setFind("12"); }, 1},
        {"the find cleared", [&] { table.setFind(QString()); }, 1},
        {"all herds again", [&] { table.setFiltered(false); }, 1},
        {"New opening", [&] {
             ASSERT_TRUE(table.insert());
             EXPECT_TRUE(dm.storedValues().fetch(formLists()));
             table.cancel();
         }, 0},
        {"Edit opening", [&] {
             ASSERT_TRUE(table.first() && table.edit());
             table.cancel();
         }, 1},
        {"saving a new record: its checks, the save and the list after it", [&] {
             ASSERT_TRUE(table.insert());
             table.setValue(kHerd, "1");
             table.setValue(kFarm, QStringLiteral("گاوداري"));
             std::optional<checks::Facts> facts;
             dm.worker().call([&](StoreLink& link) {
                 facts = checks::factsOf(link, 0, [&](const char* column) { return table.value(QString::fromUtf8(column)); });
             });
             EXPECT_TRUE(facts);
             EXPECT_TRUE(table.post()) << table.errorText().toStdString();
         }, 3},
    };
    for (const auto& a : actions) {
        SCOPED_TRACE(a.action);
        EXPECT_LE(cost(a.run), a.budget);
    }
    EXPECT_EQ(table.rowCount(), 301);
    EXPECT_EQ(table.value(kHerd), "1");
}

TEST_P(WorkerTest, AnAnswerOvertakenByANewerQuestionIsNeverShown) {
    startDesk();
    RecordTable& table = dm.TVascor;
    QStringList shown;
    int refused = 0;
    const QObject watching;  // gone before what it writes to
    QObject::connect(&table, &RecordTable::rowsReset, &watching, [&] { shown << table.findText(); });
    QObject::connect(&table, &RecordTable::viewRefused, &watching, [&] { ++refused; });
    // The worker held up while the keys come, as a slow link holds the answers back.
    std::binary_semaphore release(0);
    dm.worker().post([&release](StoreLink&) { release.acquire(); });
    for (const char* typed : {"1", "12", "1", "2", "29"}) table.setFind(QString::fromLatin1(typed));
    release.release();
    settle();
    EXPECT_EQ(shown, QStringList{"29"});
    EXPECT_EQ(refused, 0);
    // "29", "290" .. "299": the list shows what the last key asked for.
    EXPECT_EQ(table.rowCount(), 11);
    for (int row = 0; row < table.rowCount(); ++row) EXPECT_TRUE(table.listValue(row, 0).startsWith("29"));
}

INSTANTIATE_TEST_SUITE_P(Engines, WorkerTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);

}  // namespace
