// Several desks on one store, each its own process: a save at one desk reaches another's list
// by itself. The second desk is zartav-cli's store worker.
#include "data/tdm.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

using namespace zartav;

namespace {

class DeskProcesses : public test::StoreEngineTest {};

}  // namespace

TEST_P(DeskProcesses, ASaveAtAnotherDeskReachesThisOneWithinASecond) {
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
    ASSERT_TRUE(dm.TVascor.open());
    int refreshed = 0;
    QObject::connect(&dm.TVascor, &RecordTable::refreshed, [&] { ++refreshed; });

    QProcess worker;
    worker.start(QStringLiteral(ZARTAV_CLI), {QStringLiteral("store-worker"), QStringLiteral("save"), store->address(),
                                              QStringLiteral("1"), QStringLiteral("other")});
    ASSERT_TRUE(worker.waitForFinished(30000));
    ASSERT_TRUE(worker.readAllStandardOutput().startsWith("ok other 0 ")) << worker.readAllStandardError().constData();
    QElapsedTimer clock;
    clock.start();
    while (dm.TVascor.rowCount() == 0 && clock.elapsed() < 5000) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    // The bound is a second; the rest is room for a loaded test machine.
    EXPECT_LT(clock.elapsed(), 1500);
    ASSERT_EQ(dm.TVascor.rowCount(), 1);
    EXPECT_EQ(refreshed, 1);
    EXPECT_TRUE(dm.TVascor.value(QStringLiteral("كد گله")).startsWith(QStringLiteral("other ")));
    // The desk's own saves are not news to it.
    ASSERT_TRUE(dm.TVascor.insert());
    ASSERT_TRUE(dm.TVascor.post());
    for (int i = 0; i < 100; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    EXPECT_EQ(refreshed, 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, DeskProcesses, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
