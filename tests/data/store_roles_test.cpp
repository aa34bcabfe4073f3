// Who may do what, held by the server itself: each role's rights tried through the program's own
// functions and as plain SQL on that role's own connection, four eyes, the owner, a store whose
// roles are not in force, and a clerk's session trying to stand in for what the guards read.
#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/history/record_history.h"
#include "data/schema/store_roles.h"
#include "data/tdm.h"
#include "data/transfer/store_copy.h"

#include "cli_run.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <functional>

using namespace zartav;

namespace {

const QString kProvince = QStringLiteral("كد استان");
const QString kName = QStringLiteral("نام گوساله");
const QString kOwner = QStringLiteral("zartav_rt_owner");
const QString kClerk = QStringLiteral("zartav_rt_clerk");
const QString kRegistrar = QStringLiteral("zartav_rt_registrar");
const QString kRegistrar2 = QStringLiteral("zartav_rt_registrar2");
const QString kAdmin = QStringLiteral("zartav_rt_admin");

QString once(const QString& sql) {
    return QStringLiteral("DO $$ BEGIN %1; EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $$").arg(sql);
}

// The cluster's roles, made once whatever other test programs do at the same time.
void ensureRoles() {
    QStringList all{once("CREATE ROLE zartav_rt_owner LOGIN CREATEROLE")};
    for (const char* group : {"zartav_clerk", "zartav_registrar", "zartav_admin"}) all << once(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(group));
    all << once("CREATE ROLE zartav_as_owner NOLOGIN NOINHERIT");
    for (const QString& login : {kClerk, kRegistrar, kRegistrar2, kAdmin}) all << once(QStringLiteral("CREATE ROLE %1 LOGIN").arg(login));
    for (const char* grant : {"zartav_clerk TO zartav_registrar", "zartav_registrar TO zartav_admin", "zartav_rt_owner TO zartav_as_owner",
                              "zartav_as_owner TO zartav_admin", "zartav_clerk TO zartav_rt_clerk", "zartav_registrar TO zartav_rt_registrar",
                              "zartav_registrar TO zartav_rt_registrar2", "zartav_admin TO zartav_rt_admin"})
        all << once(QStringLiteral("GRANT %1").arg(grant));
    const QString error = test::serverAdminExec(all);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
}

// The records each try starts from.
struct Records {
    qint64 plain = 0, certified = 0, deleted = 0, other = 0;
};

struct Outcome {
    bool ok = false;
    QString error;
    QString code;  // the server's SQLSTATE of a refusal
};

// Statements on `db` in one transaction; the first refusal rolls it back.
Outcome runSql(QSqlDatabase db, const QStringList& statements) {
    QSqlQuery q(db);
    q.exec(QStringLiteral("BEGIN"));
    for (const QString& sql : statements) {
        if (!q.exec(sql)) {
            Outcome refused{false, q.lastError().text(), q.lastError().nativeErrorCode()};
            q.exec(QStringLiteral("ROLLBACK"));
            return refused;
        }
    }
    return {q.exec(QStringLiteral("COMMIT")), q.lastError().text(), {}};
}

Outcome saved(RecordTable& t) { return {t.post(), t.errorText(), {}}; }

Outcome edited(TDM& dm, qint64 id, const QString& column, const QString& value, const QString& reason = {}) {
    if (!dm.TVascor.open() || !dm.TVascor.locateId(id) || !dm.TVascor.edit()) return {false, dm.TVascor.errorText(), {}};
    dm.TVascor.setValue(column, value);
    if (!reason.isEmpty()) dm.TVascor.setChangeReason(reason);
    Outcome o = saved(dm.TVascor);
    if (!o.ok) dm.TVascor.cancel();
    return o;
}

Outcome issued(TDM& dm, qint64 record, const QString& key) {
    QSqlDatabase db = dm.Maincon.database();
    certificates::IssueRequest r{record, QCryptographicHash::hash("page", QCryptographicHash::Sha256), QStringLiteral("page"),
                                 QStringLiteral("desk user"), QStringLiteral("desk"), key};
    QString error;
    return {certificates::issue(db, {r}, &error).has_value(), error, {}};
}

QString issueSql(qint64 record, const char* key) {
    return QStringLiteral("INSERT INTO \"CertificateIssues\" (\"record\", \"hash\", \"content\", \"issued\", \"issuedBy\", \"desk\", "
                          "\"keyFingerprint\") VALUES (%1, '00', 'page', '2026-01-01 00:00:00', 'u', 'd', '%2')")
        .arg(record)
        .arg(QLatin1String(key));
}

// A store with one record to copy onto the server.
struct FileSource {
    QTemporaryDir dir;
    Connection c;
    bool make() {
        TDM dm;
        if (!dm.Maincon.open(dir.filePath("Data.db")) || !dm.TVascor.open() || !dm.TVascor.insert()) return false;
        dm.TVascor.setValue(kProvince, QStringLiteral("11"));
        return dm.TVascor.post();
    }
};

struct Action {
    const char* name;
    std::function<Outcome(TDM&, const Records&)> program;
    std::function<QStringList(const Records&)> sql;
    bool clerk, registrar, admin;
};

QList<Action> actions() {
    return {
        {"save new",
         [](TDM& dm, const Records&) {
             dm.TVascor.open();
             dm.TVascor.insert();
             dm.TVascor.setValue(kProvince, QStringLiteral("11"));
             Outcome o = saved(dm.TVascor);
             if (!o.ok) dm.TVascor.cancel();
             return o;
         },
         [](const Records&) { return QStringList{"INSERT INTO \"VaskorTemp\" (\"كد استان\") VALUES ('12')"}; }, true, true, true},
        {"edit uncertified", [](TDM& dm, const Records& r) { return edited(dm, r.plain, kName, QStringLiteral("نو")); },
         [](const Records& r) { return QStringList{QStringLiteral("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'نو' WHERE \"ID\" = %1").arg(r.plain)}; },
         true, true, true},
        {"edit certified", [](TDM& dm, const Records& r) { return edited(dm, r.certified, kName, QStringLiteral("نو"), QStringLiteral("غلط املايي")); },
         [](const Records& r) {
             return QStringList{"SET LOCAL zartav.reason = 'غلط املايي'",
                                QStringLiteral("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'نو' WHERE \"ID\" = %1").arg(r.certified)};
         },
         false, true, true},
        {"delete",
         [](TDM& dm, const Records& r) {
             dm.TVascor.open();
             if (!dm.TVascor.locateId(r.certified)) return Outcome{false, QStringLiteral("not found"), {}};
             return Outcome{dm.TVascor.remove(), dm.TVascor.errorText(), {}};
         },
         [](const Records& r) { return QStringList{QStringLiteral("DELETE FROM \"VaskorTemp\" WHERE \"ID\" = %1").arg(r.certified)}; }, false, true,
         true},
        {"restore",
         [](TDM& dm, const Records& r) {
             QSqlDatabase db = dm.Maincon.database();
             QString error;
             return Outcome{history::restoreRecord(db, r.deleted, &error), error, {}};
         },
         [](const Records& r) { return QStringList{QStringLiteral("INSERT INTO \"VaskorTemp\" (\"ID\", \"كد استان\") VALUES (%1, '11')").arg(r.deleted)}; },
         false, true, true},
        {"issue", [](TDM& dm, const Records& r) { return issued(dm, r.plain, {}); },
         [](const Records& r) { return QStringList{issueSql(r.plain, "")}; }, false, true, true},
        {"sign", [](TDM& dm, const Records& r) { return issued(dm, r.plain, QStringLiteral("ab12")); },
         [](const Records& r) { return QStringList{issueSql(r.plain, "ab12")}; }, false, true, true},
        // approve: the correction requests' own row goes here.
        {"change office texts",
         [](TDM& dm, const Records&) {
             QSqlDatabase db = dm.Maincon.database();
             QString error;
             return Outcome{certificates::writeOfficeTexts(db, {{QLatin1String(certificates::kMinistryLine), QStringLiteral("وزارت")}}, &error),
                            error, {}};
         },
         [](const Records&) { return QStringList{"INSERT INTO \"CertificateOffice\" (\"name\", \"value\") VALUES ('union', 'اتحاديه')"}; }, false,
         false, true},
        {"add a key",
         [](TDM& dm, const Records&) {
             QSqlDatabase db = dm.Maincon.database();
             QString error;
             return Outcome{certificates::addPublicKey(db, QByteArray(32, 'k'), QStringLiteral("6b6b"), &error), error, {}};
         },
         [](const Records&) { return QStringList{"INSERT INTO \"CertificateKeys\" VALUES ('6c6c', 'key', '2026-01-01')"}; }, false, false, true},
        {"copy onto the server",
         [](TDM& dm, const Records&) {
             FileSource source;
             if (!source.make() || !source.c.open(source.dir.filePath("Data.db"), StoreAccess::ReadOnly)) return Outcome{false, "no source", {}};
             const StoreCopyReport report = copyStore(source.c, dm.Maincon, true);
             return Outcome{report.ok, report.error, {}};
         },
         [](const Records&) {
             return QStringList{"SET LOCAL ROLE zartav_rt_owner", "ALTER TABLE \"VaskorTemp\" DISABLE TRIGGER zartav_history",
                                "ALTER TABLE \"VaskorTemp\" ENABLE TRIGGER zartav_history"};
         },
         false, false, true},
        {"write another province's row", [](TDM& dm, const Records& r) { return edited(dm, r.other, kName, QStringLiteral("نو")); },
         [](const Records& r) { return QStringList{QStringLiteral("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'نو' WHERE \"ID\" = %1").arg(r.other)}; },
         false, false, false},
    };
}

class RolesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
        ensureRoles();
        ASSERT_TRUE(store->exec(QStringLiteral("ALTER SCHEMA %1 OWNER TO %2").arg(store->schemaName(), kOwner)));
        ASSERT_TRUE(owner.Maincon.open(store->addressFor(kOwner))) << owner.Maincon.technicalError().toStdString();
        QSqlDatabase db = owner.Maincon.database();
        const offices::Setup grants = offices::grantRoles(db);
        ASSERT_TRUE(grants.ok) << grants.error.toStdString();
    }

    void addOffices(bool fourEyes = false) {
        QSqlDatabase db = owner.Maincon.database();
        for (const offices::Setup& s :
             {offices::addOffice(db, "TEH", QStringLiteral("تهران"), {"11", "12"}, fourEyes), offices::addOffice(db, "ISF", QStringLiteral("اصفهان"), {"21"}),
              offices::addUser(db, kClerk, access::Role::Clerk, "TEH"), offices::addUser(db, kRegistrar, access::Role::Registrar, "TEH"),
              offices::addUser(db, kRegistrar2, access::Role::Registrar, "TEH"), offices::addUser(db, kAdmin, access::Role::Administrator, "TEH")})
            ASSERT_TRUE(s.ok) << s.error.toStdString();
    }

    // A record written behind the desks' backs (a superuser, held to nothing); its "ID".
    qint64 record(const QString& province) {
        return store->scalar(QStringLiteral("INSERT INTO \"VaskorTemp\" (\"كد استان\", \"نام گوساله\") VALUES ('%1', 'گوساله') RETURNING \"ID\"")
                                 .arg(province))
            .toLongLong();
    }

    Records records() {
        Records r{record("11"), record("11"), record("11"), record("21")};
        EXPECT_TRUE(store->exec(issueSql(r.certified, "")));
        EXPECT_TRUE(store->exec(QStringLiteral("DELETE FROM \"VaskorTemp\" WHERE \"ID\" = %1").arg(r.deleted)));
        return r;
    }

    std::unique_ptr<test::TestStore> store;
    TDM owner;
};

}  // namespace

TEST_F(RolesTest, EachRoleMayDoWhatItsRoleMayAndNothingMore) {
    addOffices();
    TDM clerk, registrar, admin;
    const std::pair<TDM*, QString> desks[] = {{&clerk, kClerk}, {&registrar, kRegistrar}, {&admin, kAdmin}};
    for (const auto& [dm, login] : desks) ASSERT_TRUE(dm->Maincon.open(store->addressFor(login))) << dm->Maincon.technicalError().toStdString();
    for (const Action& action : actions()) {
        const bool allowed[] = {action.clerk, action.registrar, action.admin};
        for (int d = 0; d < 3; ++d) {
            for (const bool throughSql : {false, true}) {
                SCOPED_TRACE(QStringLiteral("%1, %2, %3").arg(desks[d].second, QLatin1String(action.name), throughSql ? "SQL" : "program").toStdString());
                const Records r = records();
                const Outcome o = throughSql ? runSql(desks[d].first->Maincon.database(), action.sql(r)) : action.program(*desks[d].first, r);
                EXPECT_EQ(o.ok, allowed[d]) << o.error.toStdString();
                // A refusal is the server's, for want of a right.
                if (throughSql && !o.ok) {
                    EXPECT_EQ(o.code, QStringLiteral("42501")) << o.error.toStdString();
                }
            }
        }
    }
    // The refusal of a row of another province names it and the user's office; the others say
    // which role may.
    const Records r = records();
    EXPECT_TRUE(edited(clerk, r.other, kName, QStringLiteral("نو")).error.contains(QStringLiteral("كد استان 21 در حوزه دفتر TEH (تهران) نيست")));
    // The clerk's window sends such a change as a request; written past it, the server refuses it.
    EXPECT_TRUE(runSql(clerk.Maincon.database(),
                       {QStringLiteral("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'نو' WHERE \"ID\" = %1").arg(r.certified)})
                    .error.contains(QStringLiteral("اصلاح ركورد گواهي شده: فقط ثبت كننده مجاز است")));
    EXPECT_TRUE(edited(registrar, r.certified, kName, QStringLiteral("نو")).error.contains(QStringLiteral("«علت اصلاح» را بنويسيد")));
    // The policies read the office once per statement, never a function per row.
    QSqlQuery plan(clerk.Maincon.database());
    ASSERT_TRUE(plan.exec("EXPLAIN UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'نو'"));
    QString steps;
    while (plan.next()) steps += plan.value(0).toString() + QLatin1Char('\n');
    EXPECT_TRUE(steps.contains(QStringLiteral("InitPlan")) && !steps.contains(QStringLiteral("SubPlan"))) << steps.toStdString();
    // A clerk deletes a record not certified yet.
    EXPECT_TRUE(runSql(clerk.Maincon.database(), {QStringLiteral("DELETE FROM \"VaskorTemp\" WHERE \"ID\" = %1").arg(r.plain)}).ok);
}

TEST_F(RolesTest, FourEyesKeepTheLastToChangeARecordFromIssuingIt) {
    addOffices(true);
    TDM registrar, second;
    ASSERT_TRUE(registrar.Maincon.open(store->addressFor(kRegistrar)));
    ASSERT_TRUE(second.Maincon.open(store->addressFor(kRegistrar2)));
    const Records r = records();
    ASSERT_TRUE(edited(registrar, r.plain, kName, QStringLiteral("نو")).ok);
    for (const bool throughSql : {false, true}) {
        const Outcome o = throughSql ? runSql(registrar.Maincon.database(), {issueSql(r.plain, "")}) : issued(registrar, r.plain, {});
        EXPECT_FALSE(o.ok);
        EXPECT_TRUE(o.error.contains(QStringLiteral("آخرين تغيير اين ركورد را zartav_rt_registrar داده است"))) << o.error.toStdString();
    }
    EXPECT_TRUE(issued(second, r.plain, {}).ok);
}

// The owner copies and upgrades whole stores: no province holds it. A store whose offices are
// not set up yet works as it always has, for every desk its grants let write.
TEST_F(RolesTest, TheOwnerAndAStoreWithoutOfficesAreHeldToNoProvince) {
    TDM clerk;
    ASSERT_TRUE(clerk.Maincon.open(store->addressFor(kClerk)));
    for (const bool inForce : {false, true}) {
        SCOPED_TRACE(inForce ? "offices set up: the owner" : "no offices: a clerk");
        if (inForce) addOffices();
        const Records r = records();
        const Outcome o = runSql((inForce ? owner : clerk).Maincon.database(),
                                 {"INSERT INTO \"VaskorTemp\" (\"كد استان\") VALUES ('99')",
                                  QStringLiteral("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'نو' WHERE \"ID\" IN (%1, %2)").arg(r.certified).arg(r.other),
                                  QStringLiteral("DELETE FROM \"VaskorTemp\" WHERE \"ID\" = %1").arg(r.certified),
                                  QStringLiteral("INSERT INTO \"VaskorTemp\" (\"ID\", \"كد استان\") VALUES (%1, '11')").arg(r.deleted)});
        EXPECT_TRUE(o.ok) << o.error.toStdString();
    }
}

// Nothing of a clerk's own session takes a guard's place: not a reason set by hand, another
// role, nor a temporary table named as the office tables (pg_temp comes last in the guards' path).
TEST_F(RolesTest, AClerksSessionCannotStandInForWhatTheGuardsRead) {
    addOffices();
    TDM clerk;
    ASSERT_TRUE(clerk.Maincon.open(store->addressFor(kClerk)));
    const Records r = records();
    const QString editCertified = QStringLiteral("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'نو' WHERE \"ID\" = %1").arg(r.certified);
    const QString editOther = QStringLiteral("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'نو' WHERE \"ID\" = %1").arg(r.other);
    const QList<QStringList> tricks = {
        {"SET zartav.reason = 'علت'", editCertified},
        {"SET ROLE zartav_registrar", editCertified},
        {"SET ROLE zartav_rt_owner", editOther},
        {"SET SESSION AUTHORIZATION zartav_rt_registrar", editCertified},
        {"CREATE TEMP TABLE \"OfficeUsers\" (\"UserName\" TEXT, \"Office\" TEXT)", "INSERT INTO \"OfficeUsers\" VALUES ('zartav_rt_clerk', 'ISF')",
         editOther},
        {"CREATE TEMP TABLE \"Offices\" (\"Code\" TEXT)", editOther},
        {"CREATE TEMP TABLE \"Offices\" (\"Code\" TEXT)", editCertified},
        {"SET search_path = pg_temp, public", "CREATE TEMP TABLE \"CertificateIssues\" (\"record\" BIGINT, \"supersededBy\" BIGINT)",
         QStringLiteral("UPDATE %1.\"VaskorTemp\" SET \"نام گوساله\" = 'نو' WHERE \"ID\" = %2").arg(store->schemaName()).arg(r.certified)},
    };
    for (const QStringList& trick : tricks) {
        SCOPED_TRACE(trick.join(QStringLiteral("; ")).toStdString());
        const Outcome o = runSql(clerk.Maincon.database(), trick);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.code, QStringLiteral("42501")) << o.error.toStdString();
    }
    EXPECT_EQ(store->scalar(QStringLiteral("SELECT count(*) FROM \"VaskorTemp\" WHERE \"نام گوساله\" = 'نو'")).toInt(), 0);
}

// The commands an office sets its roles up with, and what they print: never a password.
TEST_F(RolesTest, TheCommandsSayWhatTheyRan) {
    const QString user = QStringLiteral("zartav_rt_new_%1").arg(QCoreApplication::applicationPid());
    const test::CliRun roles = test::runCli({"roles", "--store", store->addressFor(kOwner)});
    EXPECT_EQ(roles.status, 0) << roles.err.toStdString();
    EXPECT_TRUE(roles.out.contains(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON \"VaskorTemp\" TO \"zartav_clerk\"\n")));
    EXPECT_TRUE(roles.out.contains(QStringLiteral("GRANT INSERT, UPDATE ON \"CertificateIssues\" TO \"zartav_registrar\"\n")));
    EXPECT_FALSE(roles.out.contains(QStringLiteral("VaskorHistoryHead\" TO")));
    const test::CliRun office = test::runCli({"office", "add", "TEH", "--name", QStringLiteral("تهران"), "--provinces", "11,12", "--db",
                                              store->addressFor(kOwner)});
    EXPECT_EQ(office.out, QStringLiteral("office TEH (تهران) writes the provinces 11, 12; four eyes on\n")) << office.err.toStdString();
    const struct {
        QStringList args;
        int status;
        QString said;
    } cases[] = {
        {{"user", "add", user, "--role", "clerk", "--office", "TEH", "--store", store->addressFor(kAdmin)}, 0,
         QStringLiteral("CREATE ROLE \"%1\" LOGIN\n").arg(user)},
        {{"user", "add", user, "--role", "registrar", "--office", "TEH", "--store", store->addressFor(kOwner)}, 0,
         QStringLiteral("REVOKE \"zartav_clerk\" FROM \"%1\"\nGRANT \"zartav_registrar\" TO \"%1\"\n").arg(user)},
        {{"user", "add", user, "--role", "clerk", "--office", "XYZ", "--store", store->addressFor(kOwner)}, 1, {}},
        {{"roles", "--store", store->addressFor(kClerk)}, 1, {}},
        {{"office", "add", "QOM", "--name", "q", "--provinces", "31", "--store", store->addressFor(kClerk)}, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const test::CliRun run = test::runCli(c.args);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(c.said)) << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("PASSWORD"), Qt::CaseInsensitive));
    }
    EXPECT_EQ(store->scalar(QStringLiteral("SELECT \"Office\" FROM \"OfficeUsers\" WHERE \"UserName\" = '%1'").arg(user)).toString(), "TEH");
    test::serverAdminExec({QStringLiteral("DROP ROLE IF EXISTS %1").arg(user)});
}

// On a file the desk's user is its one administrator: every action is allowed.
TEST(FileRolesTest, EveryActionIsAllowedOnAFile) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::SQLite, false);
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(store->address()));
    for (const Action& action : actions()) {
        if (std::string(action.name) == "write another province's row" || std::string(action.name) == "copy onto the server") continue;
        SCOPED_TRACE(action.name);
        Records r;
        for (qint64* id : {&r.plain, &r.certified, &r.deleted, &r.other}) {
            ASSERT_TRUE(store->exec("INSERT INTO VaskorTemp (\"كد استان\") VALUES ('21')"));
            *id = store->scalar("SELECT max(ID) FROM VaskorTemp").toLongLong();
        }
        ASSERT_TRUE(store->exec(QStringLiteral("DELETE FROM VaskorTemp WHERE ID = %1").arg(r.deleted)));
        const Outcome o = action.program(dm, r);
        EXPECT_TRUE(o.ok) << o.error.toStdString();
    }
}
