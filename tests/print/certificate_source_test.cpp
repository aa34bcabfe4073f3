// Where a batch of certificates reads its records: a record deleted meanwhile and a store that
// cannot be read any more are told apart, so neither is reported as the other.
#include "data/tdm.h"
#include "print/certificate_source.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

namespace zartav::print {
namespace {

TEST(StoredCertificates, AServerLostMidwayIsNotADeletedRecord) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, true);
    Connection link;
    ASSERT_TRUE(link.open(store->address())) << link.technicalError().toStdString();
    ASSERT_TRUE(store->insertRecords({"ID", "شماره ثبت"}, {"1, 'IR1'", "2, 'IR2'"}));
    store->closeSide();
    StoredCertificates source(link, {1, 717, 2});
    ASSERT_TRUE(source.record(0));
    EXPECT_FALSE(source.record(1));
    EXPECT_TRUE(source.recordMissing());
    EXPECT_EQ(source.failedId(), 717);

    // The server stops serving this database and ends its sessions, as a stopped server would.
    const QString database = store->databaseName();
    ASSERT_EQ(test::serverAdminExec({QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS false").arg(database),
                                     QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                    "WHERE datname = '%1'").arg(database)}),
              QString());
    EXPECT_FALSE(source.record(2));
    EXPECT_FALSE(source.recordMissing());
    EXPECT_EQ(source.failedId(), 2);
    EXPECT_TRUE(link.isLost());
    EXPECT_FALSE(source.errorText().isEmpty());
    EXPECT_EQ(test::serverAdminExec({QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS true").arg(database)}), QString());
}

}  // namespace
}  // namespace zartav::print
