// The store under faults: a process killed in the middle of saving, a write lock held by another
// process, two processes saving at once, a full disk. The saves run in a real separate process
// (zartav-cli store-worker) so a kill is a real kill.
#include "cli/store_worker_rows.h"
#include "data/tdm.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <csignal>

using namespace zartav;

namespace {

struct Ack {
    QString tag;
    int n = 0;
    qint64 id = 0;
};

// Acknowledgement lines "ok TAG N ID" of a worker's output.
QList<Ack> parseAcks(const QByteArray& output, int* failures = nullptr) {
    QList<Ack> acks;
    int failed = 0;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 4 && parts[0] == "ok")
            acks.append({QString::fromUtf8(parts[1]), parts[2].toInt(), parts[3].toLongLong()});
        else if (parts.value(0) == "fail")
            ++failed;
    }
    if (failures) *failures = failed;
    return acks;
}

// Checks what really reached the store, on a connection of its own.
class Reader {
public:
    explicit Reader(const test::TestStore& store) : store_(store) {}
    QVariant scalar(const QString& sql) const { return store_.scalar(sql); }

    // Every acknowledged save is there with every column and photo byte as saved.
    void expectWhole(const QList<Ack>& acks, int photoBytes) const {
        QStringList columns;
        for (const char* name : schema::kRecordColumns) columns << QStringLiteral("\"%1\"").arg(QString::fromUtf8(name));
        QSqlQuery q(store_.side());
        ASSERT_TRUE(q.prepare(QStringLiteral("SELECT %1 FROM \"VaskorTemp\" WHERE \"ID\" = ?").arg(columns.join(", "))));
        for (const Ack& ack : acks) {
            q.addBindValue(ack.id);
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
            ASSERT_TRUE(q.next()) << "acknowledged save " << ack.n << " (ID " << ack.id << ") is missing";
            for (int c = 0; c < schema::kListedColumnCount; ++c)
                ASSERT_EQ(q.value(c).toString(), storeworker::rowText(ack.tag, ack.n, c))
                    << "save " << ack.n << " column " << c;
            for (int slot = 0; slot < 3; ++slot) {
                const QByteArray stored = q.value(schema::kFirstPhotoColumnIndex + slot).toByteArray();
                if (photoBytes > 0)
                    ASSERT_TRUE(stored == storeworker::rowPhoto(ack.tag, ack.n, slot, photoBytes))
                        << "save " << ack.n << " photo " << slot << " differs (" << stored.size() << " bytes)";
                else
                    ASSERT_TRUE(stored.isEmpty());
            }
            q.finish();
        }
    }

private:
    const test::TestStore& store_;
};

QString cli() { return QStringLiteral(ZARTAV_CLI); }

QProcess* startWorker(QObject* parent, const QStringList& args) {
    auto* p = new QProcess(parent);
    p->setProcessChannelMode(QProcess::SeparateChannels);
    p->start(cli(), QStringList{QStringLiteral("store-worker")} + args);
    return p;
}

// Creates both tables through the store.
void createStore(const QString& path) {
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(path)) << dm.Maincon.technicalError().toStdString();
}

struct CrashCase {
    const char* name;
    int photoBytes;   // per photo, three photos a record
    int saves;        // asked of the worker per round
    int killAfter[3]; // acknowledgements seen before the kill, per round
};

class CrashTest : public ::testing::TestWithParam<std::tuple<test::Engine, CrashCase>> {};

}  // namespace

TEST_P(CrashTest, EveryAcknowledgedSaveSurvivesAKill) {
    const auto [engine, c] = GetParam();
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, engine, false);
    const QString path = store->address();
    const bool file = engine == test::Engine::SQLite;
    createStore(path);

    QObject owner;
    QList<Ack> all;
    for (int round = 0; round < 3; ++round) {
        const QString tag = QStringLiteral("r%1").arg(round);
        QProcess* worker = startWorker(&owner, {QStringLiteral("save"), path, QString::number(c.saves), tag,
                                                QString::number(c.photoBytes)});
        ASSERT_TRUE(worker->waitForStarted(10000));
        QByteArray output;
        QElapsedTimer clock;
        clock.start();
        while (parseAcks(output).size() < c.killAfter[round] && clock.elapsed() < 120000) {
            if (!worker->waitForReadyRead(5000) && worker->state() != QProcess::Running) break;
            output += worker->readAllStandardOutput();
        }
        ASSERT_EQ(worker->state(), QProcess::Running) << "the worker ended before the kill";
        ::kill(static_cast<pid_t>(worker->processId()), SIGKILL);
        ASSERT_TRUE(worker->waitForFinished(10000));
        output += worker->readAllStandardOutput();
        EXPECT_EQ(worker->exitStatus(), QProcess::CrashExit);

        const QList<Ack> acks = parseAcks(output);
        ASSERT_GE(acks.size(), c.killAfter[round]);
        ASSERT_LT(acks.size(), c.saves) << "the kill came after the last save";
        all += acks;

        Reader reader(*store);
        if (file) {
            EXPECT_EQ(reader.scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
            EXPECT_EQ(reader.scalar("PRAGMA journal_mode").toString(), QStringLiteral("wal"));
        }
        // At most the one save in flight at the kill may have committed without its line; none
        // is there in part.
        const qint64 rows = reader.scalar("SELECT COUNT(*) FROM \"VaskorTemp\"").toLongLong();
        EXPECT_GE(rows, all.size());
        EXPECT_LE(rows, all.size() + round + 1);
        EXPECT_EQ(reader.scalar(QStringLiteral("SELECT COUNT(*) FROM \"VaskorTemp\" WHERE \"نوع باروري\" IS NULL")).toLongLong(), 0);
        reader.expectWhole(all, c.photoBytes);
        store->closeSide();
    }

    // The program itself opens the store afterwards and lists the records.
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(path)) << dm.Maincon.technicalError().toStdString();
    ASSERT_TRUE(dm.TVascor.open());
    EXPECT_GE(dm.TVascor.rowCount(), all.size());
}

// The server's saves cost a few round trips each: fewer of them make the same point.
INSTANTIATE_TEST_SUITE_P(Store, CrashTest,
                         ::testing::Values(std::tuple(test::Engine::SQLite, CrashCase{"FileTextOnly", 0, 600, {37, 150, 301}}),
                                           std::tuple(test::Engine::SQLite, CrashCase{"FileWithPhotos", 100 * 1024, 300, {5, 40, 111}}),
                                           std::tuple(test::Engine::PostgreSQL, CrashCase{"ServerTextOnly", 0, 300, {17, 60, 121}}),
                                           std::tuple(test::Engine::PostgreSQL, CrashCase{"ServerWithPhotos", 100 * 1024, 150, {5, 20, 51}})),
                         [](const auto& info) { return std::string(std::get<1>(info.param).name); });

TEST(StoreFaults, AWriteLockHeldElsewhereFailsTheSaveAndKeepsTheData) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Data.db");
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(path));
    ASSERT_TRUE(dm.TVascor.open());
    ASSERT_TRUE(dm.TVascor.insert());
    dm.TVascor.setValue(QStringLiteral("كد گله"), QStringLiteral("12"));
    ASSERT_TRUE(dm.TVascor.post());

    QObject owner;
    QProcess* holder = startWorker(&owner, {QStringLiteral("hold"), path, QStringLiteral("8")});
    ASSERT_TRUE(holder->waitForReadyRead(10000));
    ASSERT_TRUE(holder->readAllStandardOutput().startsWith("locked"));

    ASSERT_TRUE(dm.TVascor.insert());
    dm.TVascor.setValue(QStringLiteral("كد گله"), QStringLiteral("13"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(dm.TVascor.post());
    // The store waits a little for a short write elsewhere before giving up, then says why.
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_LT(clock.elapsed(), 7000);
    EXPECT_TRUE(dm.TVascor.errorText().contains(QStringLiteral("locked"), Qt::CaseInsensitive))
        << dm.TVascor.errorText().toStdString();
    dm.TVascor.cancel();
    // The earlier record is still there and readable while the lock is held.
    ASSERT_EQ(dm.TVascor.rowCount(), 1);
    EXPECT_EQ(dm.TVascor.value(QStringLiteral("كد گله")), QStringLiteral("12"));

    // Once the other process lets go, saving works again on the same connection.
    ASSERT_TRUE(holder->waitForFinished(15000));
    ASSERT_TRUE(dm.TVascor.insert());
    dm.TVascor.setValue(QStringLiteral("كد گله"), QStringLiteral("14"));
    EXPECT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
    EXPECT_EQ(dm.TVascor.rowCount(), 2);
}

class TwoWriters : public ::testing::TestWithParam<test::Engine> {};

TEST_P(TwoWriters, TwoProcessesSavingAtOnceLoseNothing) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, GetParam(), false);
    const QString path = store->address();
    createStore(path);
    constexpr int kSaves = 150;
    QObject owner;
    QProcess* a = startWorker(&owner, {QStringLiteral("save"), path, QString::number(kSaves), QStringLiteral("A"),
                                       QStringLiteral("2000")});
    QProcess* b = startWorker(&owner, {QStringLiteral("save"), path, QString::number(kSaves), QStringLiteral("B"),
                                       QStringLiteral("2000")});
    ASSERT_TRUE(a->waitForFinished(180000));
    ASSERT_TRUE(b->waitForFinished(180000));
    int failedA = 0, failedB = 0;
    const QList<Ack> acksA = parseAcks(a->readAllStandardOutput(), &failedA);
    const QList<Ack> acksB = parseAcks(b->readAllStandardOutput(), &failedB);
    // Every save is either acknowledged or reported as failed; none vanishes silently.
    EXPECT_EQ(acksA.size() + failedA, kSaves);
    EXPECT_EQ(acksB.size() + failedB, kSaves);
    EXPECT_EQ(a->exitCode(), failedA == 0 ? 0 : 1);
    EXPECT_EQ(b->exitCode(), failedB == 0 ? 0 : 1);

    Reader reader(*store);
    if (GetParam() == test::Engine::SQLite) {
        EXPECT_EQ(reader.scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    }
    EXPECT_EQ(reader.scalar("SELECT COUNT(*) FROM \"VaskorTemp\"").toLongLong(), acksA.size() + acksB.size());
    reader.expectWhole(acksA, 2000);
    reader.expectWhole(acksB, 2000);
}

INSTANTIATE_TEST_SUITE_P(Engines, TwoWriters, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);

TEST(StoreFaults, AFullDiskFailsTheSaveAndKeepsEarlierRecords) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::SQLite, false);
    const QString path = store->address();
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(path));
    ASSERT_TRUE(dm.TVascor.open());
    for (int n = 0; n < 3; ++n) {
        ASSERT_TRUE(dm.TVascor.insert());
        dm.TVascor.setValue(QStringLiteral("شماره ثبت"), QString::number(n));
        dm.TVascor.setPhoto(QStringLiteral("عكس 1"), storeworker::rowPhoto("d", n, 0, 20000));
        ASSERT_TRUE(dm.TVascor.post());
    }
    // The file may not grow past its present size plus a few pages: a disk with no room left.
    QSqlQuery pragma(dm.Maincon.database());
    ASSERT_TRUE(pragma.exec("PRAGMA page_count") && pragma.next());
    const qint64 pages = pragma.value(0).toLongLong();
    ASSERT_TRUE(pragma.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages + 2)));
    pragma.finish();

    ASSERT_TRUE(dm.TVascor.insert());
    dm.TVascor.setValue(QStringLiteral("شماره ثبت"), QStringLiteral("big"));
    dm.TVascor.setPhoto(QStringLiteral("عكس 1"), storeworker::rowPhoto("d", 9, 0, 300 * 1024));
    EXPECT_FALSE(dm.TVascor.post());
    EXPECT_TRUE(dm.TVascor.errorText().contains(QStringLiteral("full"), Qt::CaseInsensitive))
        << dm.TVascor.errorText().toStdString();
    dm.TVascor.cancel();
    EXPECT_EQ(dm.TVascor.rowCount(), 3);

    {
        Reader reader(*store);
        EXPECT_EQ(reader.scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        EXPECT_EQ(reader.scalar("SELECT COUNT(*) FROM VaskorTemp").toLongLong(), 3);
        EXPECT_EQ(reader.scalar("SELECT COUNT(*) FROM VaskorTemp WHERE [عكس 1] IS NOT NULL").toLongLong(), 3);
        store->closeSide();
    }
    // Room again: the program goes on saving on the same connection.
    ASSERT_TRUE(pragma.exec("PRAGMA max_page_count = 1073741823"));
    pragma.finish();
    ASSERT_TRUE(dm.TVascor.insert());
    dm.TVascor.setValue(QStringLiteral("شماره ثبت"), QStringLiteral("after"));
    EXPECT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
    EXPECT_EQ(dm.TVascor.rowCount(), 4);
}
