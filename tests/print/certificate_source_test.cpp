// Where a batch of certificates reads its records: several a statement, through a store worker,
// and a record deleted meanwhile and a store that cannot be read any more are told apart, so
// neither is reported as the other.
#include "data/link/store_worker.h"
#include "data/tdm.h"
#include "print/certificate_pdf.h"
#include "print/certificate_source.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QBuffer>

namespace zartav::print {
namespace {

// The server stops serving the store's database and ends its sessions, as a stopped server would.
void stopServing(const test::TestStore& store) {
    const QString database = store.databaseName();
    ASSERT_EQ(test::serverAdminExec({QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS false").arg(database),
                                     QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                    "WHERE datname = '%1'").arg(database)}),
              QString());
}

void serveAgain(const test::TestStore& store) {
    EXPECT_EQ(test::serverAdminExec({QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS true").arg(store.databaseName())}),
              QString());
}

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

    stopServing(*store);
    EXPECT_FALSE(source.record(2));
    EXPECT_FALSE(source.recordMissing());
    EXPECT_EQ(source.failedId(), 2);
    EXPECT_TRUE(link.isLost());
    EXPECT_FALSE(source.errorText().isEmpty());
    serveAgain(*store);
}

class BatchReads : public testing::TestWithParam<test::Engine> {};

// A batch as the window prints it: through a worker on a thread of its own, the records read
// several a statement while the pages are drawn.
TEST_P(BatchReads, ReadSeveralRecordsAStatementAndStopAtAMissingRecordOrALostStore) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, GetParam(), true);
    constexpr int kRecords = 40;
    QStringList rows;
    QList<qint64> ids;
    for (int id = 1; id <= kRecords; ++id) {
        rows << QStringLiteral("%1, 'IR%1'").arg(id);
        ids << id;
    }
    Connection link;
    ASSERT_TRUE(link.open(store->address())) << link.technicalError().toStdString();
    ASSERT_TRUE(store->insertRecords({"ID", "شماره ثبت"}, rows));

    struct Case {
        const char* what;
        bool serverOnly;
        std::function<void()> midway;  // done once the first page is drawn
        qint64 failedId;               // 0: the batch is done; -1: any page after the first
        bool missing;
    };
    const Case cases[] = {
        {"nothing happens", false, {}, 0, false},
        {"a record is deleted", false, [&] { ASSERT_TRUE(store->exec(QStringLiteral("DELETE FROM \"VaskorTemp\" WHERE \"ID\" = 30"))); },
         30, true},
        {"the server stops", true, [&] { stopServing(*store); }, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.serverOnly && GetParam() != test::Engine::PostgreSQL) continue;
        auto worker = std::make_unique<StoreWorker>(link, StoreWorker::Mode::Threaded);
        StoreWorker& reads = *worker;
        reads.follow();
        reads.call([](StoreLink&) {});  // linked: what follows is the batch's alone
        const quint64 before = reads.exchanges();
        StoredCertificates source(std::move(worker), ids);
        PageRun run;
        run.progress = [&](int done, int) {
            if (done == 1 && c.midway) c.midway();
            return true;
        };
        QBuffer pdf;
        ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
        const PrintOutcome outcome = writeCertificatesPdf(pdf, builtinCertificateLayout(), source, run);
        if (c.failedId == 0) {
            EXPECT_EQ(outcome, PrintOutcome::Done);
            // Records without photos: 16 a statement once the first read has shown their size.
            EXPECT_LE(reads.exchanges() - before, 4u);
            continue;
        }
        EXPECT_EQ(outcome, PrintOutcome::Failed);
        EXPECT_EQ(source.recordMissing(), c.missing);
        if (c.failedId > 0) EXPECT_EQ(source.failedId(), c.failedId);
        else EXPECT_GT(source.failedId(), 1);
        EXPECT_FALSE(source.errorText().isEmpty());
    }
    if (GetParam() == test::Engine::PostgreSQL) serveAgain(*store);
}

INSTANTIATE_TEST_SUITE_P(Engines, BatchReads, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);

}  // namespace
}  // namespace zartav::print
