// The server restarted in the middle of a session (its administrator's pg_ctl restart): the desk
// reads and saves on as before. Run alone: every other test's connection goes with the restart.
#include "data/tdm.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

using namespace zartav;

TEST(ServerRestart, TheNextSaveAfterARestartWorks) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
    const QString restart = qEnvironmentVariable("ZARTAV_PG_RESTART");
    ASSERT_FALSE(restart.isEmpty()) << "the test server names no restart command";
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

    QProcess pgctl;
    pgctl.start(QStringLiteral("sh"), {QStringLiteral("-c"), restart});
    ASSERT_TRUE(pgctl.waitForFinished(60000));
    ASSERT_EQ(pgctl.exitCode(), 0) << pgctl.readAllStandardError().constData();
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
