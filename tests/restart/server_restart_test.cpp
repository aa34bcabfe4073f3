// The server restarted in the middle of a session (its administrator's pg_ctl restart): the desk
// reads and saves on as before. Run alone: every other test's connection goes with the restart.
#include "data/tdm.h"
#include "print/certificate_source.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSqlQuery>
#include <QThread>

using namespace zartav;

namespace {

testing::AssertionResult restartServer() {
    QProcess pgctl;
    pgctl.start(QStringLiteral("sh"), {QStringLiteral("-c"), qEnvironmentVariable("ZARTAV_PG_RESTART")});
    if (!pgctl.waitForFinished(60000) || pgctl.exitCode() != 0)
        return testing::AssertionFailure() << pgctl.readAllStandardError().constData();
    return testing::AssertionSuccess();
}

}  // namespace

TEST(ServerRestart, TheNextSaveAfterARestartWorks) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
    ASSERT_FALSE(qEnvironmentVariable("ZARTAV_PG_RESTART").isEmpty()) << "the test server names no restart command";
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(store->address()));
    ASSERT_TRUE(dm.TVascor.open());
    auto save = [&](const char* herd) {
        if (!dm.TVascor.insert()) return false;
        dm.TVascor.setValue(QStringLiteral("كد گله"), QString::fromUtf8(herd));
        return dm.TVascor.post();
    };
    ASSERT_TRUE(save("before"));
    store->closeSide();

    ASSERT_TRUE(restartServer());
    for (int i = 0; i < 20; ++i) {  // what the event loop would do meanwhile
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }

    EXPECT_TRUE(save("after")) << dm.TVascor.errorText().toStdString();
    EXPECT_EQ(dm.TVascor.rowCount(), 2);
    EXPECT_EQ(dm.TVascor.value(QStringLiteral("كد گله")), QStringLiteral("after"));
    EXPECT_EQ(store->scalar("SELECT COUNT(*) FROM \"VaskorTemp\"").toInt(), 2);
    dm.TVascor.refresh();
    EXPECT_EQ(dm.TVascor.rowCount(), 2);
}

// A print job's worker taken up while the program's own link is known to be down still links to
// the store on its own.
TEST(ServerRestart, AWorkerFollowsTheStoreWhileTheProgramsOwnLinkIsDown) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
    ASSERT_FALSE(qEnvironmentVariable("ZARTAV_PG_RESTART").isEmpty()) << "the test server names no restart command";
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(store->address()));
    ASSERT_TRUE(store->insertRecords({"شماره ثبت"}, {"'R-1'"}));
    store->closeSide();
    ASSERT_TRUE(restartServer());
    EXPECT_FALSE(QSqlQuery(dm.Maincon.database()).exec(QStringLiteral("SELECT 1")));
    ASSERT_TRUE(dm.Maincon.isLost());

    StoreWorker worker(dm.Maincon, StoreWorker::Mode::Threaded);
    worker.follow();
    QString error;
    const std::optional<QList<qint64>> ids = print::storedRecordIds(worker, std::nullopt, &error);
    ASSERT_TRUE(ids) << error.toStdString();
    EXPECT_EQ(ids->size(), 1);
}
