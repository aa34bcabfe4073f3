// Correction requests on the server: a clerk asks, a registrar approves or refuses, the clerk's
// desk hears of it; what only a registrar decides cannot be done or forged from a clerk's session.
#include "data/corrections/correction_requests.h"
#include "data/history/record_history.h"
#include "data/tdm.h"

#include "office_logins.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QSqlError>
#include <QSqlQuery>

using namespace zartav;

namespace {

const QString kClerk = QStringLiteral("zartav_requests_clerk");
const QString kRegistrar = QStringLiteral("zartav_requests_registrar");
const QString kCalf = QStringLiteral("نام گوساله");

class CorrectionRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
        {
            TDM owner;
            ASSERT_TRUE(owner.Maincon.open(store->address())) << owner.Maincon.technicalError().toStdString();
        }
        ASSERT_TRUE(test::makeOfficeLogins(*store, kClerk, kRegistrar));
        ASSERT_TRUE(store->insertRecords({"ID", "شماره ثبت", "نام گوساله", "كد گله"}, {"1, '500', 'آهو', '12'"}));
        ASSERT_TRUE(clerk.Maincon.open(store->addressFor(kClerk))) << clerk.Maincon.technicalError().toStdString();
        ASSERT_TRUE(registrar.Maincon.open(store->addressFor(kRegistrar))) << registrar.Maincon.technicalError().toStdString();
    }

    QString calf() const { return store->scalar("SELECT \"نام گوساله\" FROM \"VaskorTemp\" WHERE \"ID\" = 1").toString(); }

    // The clerk asks for the calf's name to change; the request's number.
    qint64 ask(const QString& reason = QStringLiteral("نام در دفتر گله اشتباه بود")) {
        QString error;
        const std::optional<qint64> number =
            corrections::ask(clerk.Maincon.database(), 1, {{kCalf, QStringLiteral("آهو"), QStringLiteral("آهوي سفيد")}}, reason, &error);
        EXPECT_TRUE(number) << error.toStdString();
        return number.value_or(0);
    }

    // Runs `sql` on `db`: the server's words when it is refused, empty when it ran.
    static QString refusal(const QSqlDatabase& db, const QString& sql) {
        QSqlQuery q(db);
        return q.exec(sql) ? QString() : corrections::serverWords(q.lastError().databaseText());
    }

    std::unique_ptr<test::TestStore> store;
    TDM clerk, registrar;
};

TEST_F(CorrectionRequestTest, TheClerkAsksAndTheRegistrarApprovesOrRefuses) {
    const struct {
        bool approve;
        QString answer, calfAfter, told;
    } cases[] = {
        {true, {}, QStringLiteral("آهوي سفيد"), QStringLiteral("درخواست اصلاح %1 (ركورد 500) تاييد شد")},
        {false, QStringLiteral("مدرك تولد نرسيده است"), QStringLiteral("آهو"),
         QStringLiteral("درخواست اصلاح %1 (ركورد 500) رد شد: مدرك تولد نرسيده است")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.approve ? "approved" : "refused");
        ASSERT_TRUE(store->exec("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'آهو' WHERE \"ID\" = 1"));
        const qint64 number = ask();
        EXPECT_EQ(calf(), QStringLiteral("آهو"));
        // The registrar sees it with its record and each column before and after; the server named who asked.
        const std::optional<QList<corrections::Request>> open = corrections::openRequests(registrar.Maincon.database());
        ASSERT_TRUE(open && open->size() == 1);
        const corrections::Request& r = open->first();
        EXPECT_EQ(r.number, number);
        EXPECT_EQ(QStringList({r.registration, r.calfName, r.requester, r.reason}),
                  QStringList({"500", "آهو", kClerk, "نام در دفتر گله اشتباه بود"}));
        ASSERT_EQ(r.changes.size(), 1);
        EXPECT_EQ(QStringList({r.changes[0].column, r.changes[0].before.toString(), r.changes[0].after.toString()}),
                  QStringList({kCalf, "آهو", "آهوي سفيد"}));
        EXPECT_TRUE(r.at.isValid());

        QString error;
        ASSERT_TRUE(corrections::decide(registrar.Maincon.database(), number, c.approve, c.answer, &error)) << error.toStdString();
        EXPECT_EQ(calf(), c.calfAfter);
        if (c.approve) {
            // The registrar's edit, with the clerk's reason and who asked.
            const std::optional<QList<history::Entry>> entries = history::recordHistory(registrar.Maincon.database(), 1);
            ASSERT_TRUE(entries && !entries->isEmpty());
            EXPECT_EQ(entries->first().role, kRegistrar);
            EXPECT_EQ(entries->first().reason, QStringLiteral("نام در دفتر گله اشتباه بود (درخواست %1 از %2)").arg(number).arg(kClerk));
        }
        EXPECT_TRUE(corrections::openRequests(registrar.Maincon.database())->isEmpty());
        // The clerk's desk is told once.
        const std::optional<QList<corrections::Request>> told = corrections::takeDecided(clerk.Maincon.database(), &error);
        ASSERT_TRUE(told && told->size() == 1) << error.toStdString();
        EXPECT_EQ(corrections::decisionText(told->first()), c.told.arg(number));
        EXPECT_TRUE(corrections::takeDecided(clerk.Maincon.database())->isEmpty());
        EXPECT_TRUE(corrections::takeDecided(registrar.Maincon.database())->isEmpty());
    }
    EXPECT_TRUE(history::verifyChain(registrar.Maincon.database()).ok);
}

// Every way a clerk's session could decide, rewrite or forge a request is refused or overwritten.
TEST_F(CorrectionRequestTest, AClerkCannotDecideRewriteOrForgeARequest) {
    const qint64 number = ask();
    const QString onlyRegistrar = QStringLiteral("فقط ثبت كننده مجاز است");
    const QSqlDatabase db = clerk.Maincon.database();
    QString error;
    EXPECT_FALSE(corrections::decide(db, number, true, {}, &error));
    EXPECT_EQ(error, onlyRegistrar);
    const struct {
        const char* name;
        QString sql;
    } refused[] = {
        {"the decide function called", QStringLiteral("SELECT zartav_decide_request(%1, true, NULL)").arg(number)},
        {"the state written", QStringLiteral("UPDATE \"CorrectionRequests\" SET \"State\" = 'approved'")},
        {"an open request marked seen", QStringLiteral("UPDATE \"CorrectionRequests\" SET \"Seen\" = true")},
        {"a request removed", QStringLiteral("DELETE FROM \"CorrectionRequests\"")},
        {"the guard dropped", QStringLiteral("ALTER TABLE \"CorrectionRequests\" DISABLE TRIGGER zartav_request_made")},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        EXPECT_FALSE(refusal(db, r.sql).isEmpty());
    }
    EXPECT_EQ(refusal(db, refused[0].sql), onlyRegistrar);
    // A reason of the clerk's own that names a request is not written as if one had been approved.
    ASSERT_TRUE(refusal(db, QStringLiteral("SET zartav.reason = 'x (درخواست %1 از %2)'").arg(number).arg(kClerk)).isEmpty());
    EXPECT_FALSE(refusal(db, "UPDATE \"VaskorTemp\" SET \"كد گله\" = '13'").isEmpty());
    EXPECT_EQ(store->scalar("SELECT \"كد گله\" FROM \"VaskorTemp\"").toString(), QStringLiteral("12"));
    ASSERT_TRUE(refusal(db, "RESET zartav.reason").isEmpty());
    EXPECT_TRUE(refusal(db, "UPDATE \"VaskorTemp\" SET \"كد گله\" = '13'").isEmpty());

    // A request written whole by hand is still the clerk's, open and undecided, asked now.
    ASSERT_TRUE(refusal(db, QStringLiteral("INSERT INTO \"CorrectionRequests\" (\"RecordID\", \"Changes\", \"Reason\", \"Requester\", "
                                           "\"At\", \"State\", \"Decider\", \"DecidedAt\", \"Answer\", \"Seen\") VALUES (1, "
                                           "'{\"نام گوساله\": [\"آهو\", \"ببر\"]}', 'دوم', '%1', '2000-01-01', 'approved', '%1', "
                                           "'2000-01-01', 'بله', true)")
                                .arg(kRegistrar))
                    .isEmpty());
    EXPECT_EQ(store->scalar("SELECT string_agg(concat_ws('|', \"Requester\", \"State\", \"Decider\", \"Answer\", \"Seen\", "
                            "\"At\" > '2026'), ',' ORDER BY \"Request\") FROM \"CorrectionRequests\"")
                  .toString(),
              QStringLiteral("%1|open|f|t,%1|open|f|t").arg(kClerk));
    // Changes that name no column a request may change are refused.
    for (const char* changes : {"{\"ID\": [\"1\", \"2\"]}", "{\"عكس 1\": [null, \"x\"]}", "{}", "[1]", "{\"نام گوساله\": \"x\"}"}) {
        SCOPED_TRACE(changes);
        EXPECT_FALSE(refusal(db, QStringLiteral("INSERT INTO \"CorrectionRequests\" (\"RecordID\", \"Changes\", \"Reason\") "
                                                "VALUES (1, '%1', 'x')").arg(QString::fromUtf8(changes)))
                         .isEmpty());
    }
    EXPECT_EQ(calf(), QStringLiteral("آهو"));
}

// An approval applies only what the request saw: a record changed since is refused and stays as
// it is, the request open. A setting of the registrar's session names nothing in the entry.
TEST_F(CorrectionRequestTest, AStaleRequestIsRefusedAndTheRegistrarsSettingIsIgnored) {
    const qint64 stale = ask();
    ASSERT_TRUE(store->exec("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'غزال' WHERE \"ID\" = 1"));
    QString error;
    EXPECT_FALSE(corrections::decide(registrar.Maincon.database(), stale, true, {}, &error));
    EXPECT_EQ(error, QStringLiteral("ركورد 1 از زمان درخواست اصلاح %1 تغيير كرده است؛ درخواست اجرا نشد.").arg(stale));
    EXPECT_EQ(calf(), QStringLiteral("غزال"));
    EXPECT_EQ(corrections::openRequests(registrar.Maincon.database())->size(), 1);
    EXPECT_FALSE(corrections::decide(registrar.Maincon.database(), stale, false, QStringLiteral("  "), &error));
    EXPECT_EQ(error, QStringLiteral("براي رد درخواست اصلاح، علت آن را بنويسيد."));

    ASSERT_TRUE(store->exec("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'آهو' WHERE \"ID\" = 1"));
    const QSqlDatabase db = registrar.Maincon.database();
    ASSERT_TRUE(refusal(db, "SET zartav.reason = 'forged'").isEmpty());
    ASSERT_TRUE(corrections::decide(db, stale, true, {}, &error)) << error.toStdString();
    EXPECT_EQ(history::recordHistory(db, 1)->first().reason,
              QStringLiteral("نام در دفتر گله اشتباه بود (درخواست %1 از %2)").arg(stale).arg(kClerk));
    EXPECT_FALSE(corrections::decide(db, stale, false, QStringLiteral("دوباره"), &error));
    EXPECT_EQ(error, QStringLiteral("درخواست اصلاح %1 پيش از اين بررسي شده است.").arg(stale));
    // Once applied, the request names no later entry of its record.
    ASSERT_TRUE(refusal(db, "UPDATE \"VaskorTemp\" SET \"كد گله\" = '14'").isEmpty());
    EXPECT_EQ(history::recordHistory(db, 1)->first().reason, QStringLiteral("forged"));
}

}  // namespace
