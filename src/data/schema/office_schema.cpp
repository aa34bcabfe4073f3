#include "data/schema/office_schema.h"

#include "data/access/store_rights.h"
#include "data/schema/definer_function.h"
#include "data/schema/history_schema.h"
#include "data/schema/record_schema.h"
#include "data/schema/register_schema.h"

#include <utility>

namespace zartav::offices {
namespace {

using access::Role;
const QString kSchemaMark = QLatin1String(schema::kSchemaMark);

// ---- what the guards say, in the user's words: the window shows them as they stand ---------
// (%s are filled in by the server's format().)

// The province, the office's code and its name.
QString provinceText() { return QStringLiteral("كد استان %s در حوزه دفتر %s (%s) نيست"); }
QString emptyProvinceText() { return QStringLiteral("خالي"); }
// The login.
QString noOfficeText() { return QStringLiteral("كاربر %s در هيچ دفتري نيست؛ نوشتن در سرور اطلاعات براي او مجاز نيست"); }
QString onlyText(const QString& what, Role role) { return what + QStringLiteral(": ") + access::onlyRoleText(role); }
QString editCertifiedText() { return onlyText(QStringLiteral("اصلاح ركورد گواهي شده"), Role::Registrar); }
QString deleteCertifiedText() { return onlyText(QStringLiteral("حذف ركورد گواهي شده"), Role::Registrar); }
QString restoreText() { return onlyText(QStringLiteral("بازگرداني ركورد حذف شده"), Role::Registrar); }
QString issueText() { return onlyText(QStringLiteral("صدور گواهي"), Role::Registrar); }
QString reasonText() { return QStringLiteral("براي اين ركورد گواهي صادر شده است؛ براي اصلاح آن «علت اصلاح» را بنويسيد."); }
// The user who last changed the record.
QString fourEyesText() {
    return QStringLiteral("آخرين تغيير اين ركورد را %s داده است؛ گواهي آن را ثبت كننده ديگري صادر كند");
}

// ---- the server's text ----------------------------------------------------------------------

QString literal(const QString& text) { return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\''); }

QString table(const char* name) { return kSchemaMark + QStringLiteral(".\"") + QString::fromUtf8(name) + QLatin1Char('"'); }

QString refuse(const QString& text, const QString& arguments = {}) {
    return QStringLiteral("RAISE EXCEPTION USING ERRCODE = 'insufficient_privilege', MESSAGE = pg_catalog.format(%1%2);\n")
        .arg(literal(text), arguments.isEmpty() ? QString() : QStringLiteral(", ") + arguments);
}

const QString kProvince = QStringLiteral("\"كد استان\"");

// The login's office, in one statement: none while roles are not in force (no office at all),
// none for the owner, who upgrades and copies whole stores, nor for a superuser, whom nothing
// holds. A login without an office writes nothing.
QString prelude() {
    return QStringLiteral(
               "DECLARE office text; office_name text; provinces text[]; four_eyes boolean; registrar boolean;\n"
               "  province text; certified boolean := false; last_by text;\n"
               "BEGIN\n"
               "  IF NOT EXISTS (SELECT FROM %1)\n"
               "     OR session_user OPERATOR(pg_catalog.=) (SELECT pg_catalog.pg_get_userbyid(c.relowner)\n"
               "        FROM pg_catalog.pg_class c WHERE c.oid OPERATOR(pg_catalog.=) TG_RELID)\n"
               "     OR (SELECT r.rolsuper FROM pg_catalog.pg_roles r WHERE r.rolname OPERATOR(pg_catalog.=) session_user) THEN\n"
               "    IF TG_OP OPERATOR(pg_catalog.=) 'DELETE' THEN RETURN OLD; END IF;\n"
               "    RETURN NEW;\n"
               "  END IF;\n"
               "  SELECT o.\"Code\", o.\"Name\", o.\"Provinces\", o.\"FourEyes\" INTO office, office_name, provinces, four_eyes\n"
               "    FROM %2 u JOIN %1 o ON o.\"Code\" OPERATOR(pg_catalog.=) u.\"Office\"\n"
               "    WHERE u.\"UserName\" OPERATOR(pg_catalog.=) session_user::text;\n"
               "  IF NOT FOUND THEN %3  END IF;\n"
               "  registrar := COALESCE(pg_catalog.pg_has_role(session_user, pg_catalog.to_regrole('%4')::pg_catalog.oid, 'MEMBER'), false);\n")
        .arg(table(kOfficeTable), table(kOfficeUserTable), refuse(noOfficeText(), QStringLiteral("session_user")),
             QLatin1String(access::kRegistrarRole));
}

// `province` must be one of the office's.
QString provinceCheck() {
    return QStringLiteral("  IF province IS NULL OR NOT province OPERATOR(pg_catalog.=) ANY (provinces) THEN\n    %1  END IF;\n")
        .arg(refuse(provinceText(), QStringLiteral("COALESCE(NULLIF(province, ''), %1), office, office_name").arg(literal(emptyProvinceText()))));
}

QString function(const char* name, const QString& body) {
    return schema::madeInStoreSchema(QStringLiteral("CREATE OR REPLACE FUNCTION %1.%2() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
                                                    "SET search_path = %3 AS $$\n%4%5END $$")
                                         .arg(kSchemaMark, QLatin1String(name), schema::pinnedSearchPath(), prelude(), body));
}

// The records: the province of the row as it was and as it becomes; a certified record (one
// with a current issue) is changed with a reason, or deleted, only by a registrar; a record
// brought back under an "ID" the history knows is a registrar's restore.
QString recordGuard() {
    const QString id = QStringLiteral("\"%1\"").arg(QLatin1String(schema::kId));
    return function(kRecordGuard, QStringLiteral(
        "  IF TG_OP OPERATOR(pg_catalog.<>) 'INSERT' THEN\n"
        "    province := OLD.%1;\n%2"
        "    certified := EXISTS (SELECT FROM %3 i WHERE i.\"record\" OPERATOR(pg_catalog.=) OLD.%4 AND i.\"supersededBy\" IS NULL);\n"
        "  END IF;\n"
        "  IF TG_OP OPERATOR(pg_catalog.<>) 'DELETE' THEN\n"
        "    province := NEW.%1;\n%2"
        "  END IF;\n"
        "  IF TG_OP OPERATOR(pg_catalog.=) 'INSERT' THEN\n"
        "    IF NOT registrar AND EXISTS (SELECT FROM %5 h WHERE h.\"RecordID\" OPERATOR(pg_catalog.=) NEW.%4) THEN %6    END IF;\n"
        "    RETURN NEW;\n"
        "  END IF;\n"
        "  IF TG_OP OPERATOR(pg_catalog.=) 'DELETE' THEN\n"
        "    IF certified AND NOT registrar THEN %7    END IF;\n"
        "    RETURN OLD;\n"
        "  END IF;\n"
        "  IF certified AND NOT registrar THEN %8  END IF;\n"
        "  IF certified AND COALESCE(pg_catalog.current_setting('%9', true), '') OPERATOR(pg_catalog.=) '' THEN %10  END IF;\n"
        "  RETURN NEW;\n")
        .arg(kProvince, provinceCheck(), table(certificates::kIssueTable), id, table(history::kTable), refuse(restoreText()),
             refuse(deleteCertifiedText()), refuse(editCertifiedText()), QLatin1String(history::kReasonSetting))
        .arg(refuse(reasonText())));
}

// The register: only a registrar, only the records of the office's provinces, and where the
// office keeps four eyes, never the user who last changed the record (the history's "Role").
QString issueGuard() {
    return function(kIssueGuard, QStringLiteral(
        "  IF NOT registrar THEN %1  END IF;\n"
        "  SELECT r.%2 INTO province FROM %3 r WHERE r.\"%4\" OPERATOR(pg_catalog.=) NEW.\"record\";\n%5"
        "  IF TG_OP OPERATOR(pg_catalog.=) 'INSERT' AND four_eyes THEN\n"
        "    SELECT h.\"Role\" INTO last_by FROM %6 h WHERE h.\"RecordID\" OPERATOR(pg_catalog.=) NEW.\"record\"\n"
        "      ORDER BY h.\"Entry\" DESC LIMIT 1;\n"
        "    IF last_by OPERATOR(pg_catalog.=) session_user::text THEN %7    END IF;\n"
        "  END IF;\n"
        "  RETURN NEW;\n")
        .arg(refuse(issueText()), kProvince, table(schema::kRecordTable), QLatin1String(schema::kId), provinceCheck(),
             table(history::kTable), refuse(fourEyesText(), QStringLiteral("last_by"))));
}

QString trigger(const char* name, const char* on, const char* events) {
    return QStringLiteral("CREATE OR REPLACE TRIGGER %1 BEFORE %2 ON \"%3\" FOR EACH ROW EXECUTE FUNCTION %1()")
        .arg(QLatin1String(name), QLatin1String(events), QString::fromUtf8(on));
}

// Whether the session may write a record of this province: while roles are not in force, as
// the owner (or acting as it), or when the province is its office's. The office is read once per
// statement (a sub-select the plan runs once), never a function per row.
QString mayWrite() {
    return QStringLiteral("NOT EXISTS (SELECT FROM %1) "
                          "OR current_user OPERATOR(pg_catalog.=) (SELECT pg_catalog.pg_get_userbyid(c.relowner) FROM pg_catalog.pg_class c "
                          "WHERE c.oid OPERATOR(pg_catalog.=) '%3'::pg_catalog.regclass) "
                          "OR %4 OPERATOR(pg_catalog.=) ANY ((SELECT o.\"Provinces\" FROM %2 u JOIN %1 o "
                          "ON o.\"Code\" OPERATOR(pg_catalog.=) u.\"Office\" WHERE u.\"UserName\" OPERATOR(pg_catalog.=) session_user::text)"
                          "::pg_catalog.text[])")
        .arg(table(kOfficeTable), table(kOfficeUserTable), table(schema::kRecordTable), kProvince + QStringLiteral("::pg_catalog.text"));
}

QString policy(const char* name, const QString& rule) {
    return schema::madeInStoreSchema(QStringLiteral("CREATE POLICY %1 ON %2 %3").arg(QLatin1String(name), table(schema::kRecordTable), rule));
}

}  // namespace

QList<StoreObject> objects(const SqlDialect& d) {
    if (!d.isServer()) return {};
    const QString offices = QString::fromLatin1(kOfficeTable), users = QString::fromLatin1(kOfficeUserTable);
    const QString records = QString::fromUtf8(schema::kRecordTable), issues = QString::fromLatin1(certificates::kIssueTable);
    return {
        {StoreObjectKind::Table, offices, offices,
         QStringLiteral("CREATE TABLE IF NOT EXISTS \"%1\" (\"Code\" TEXT PRIMARY KEY, \"Name\" TEXT NOT NULL, "
                        "\"Provinces\" TEXT[] NOT NULL, \"FourEyes\" BOOLEAN NOT NULL DEFAULT true)")
             .arg(offices)},
        {StoreObjectKind::Table, users, users,
         QStringLiteral("CREATE TABLE IF NOT EXISTS \"%1\" (\"UserName\" TEXT PRIMARY KEY, \"Office\" TEXT NOT NULL REFERENCES \"%2\")")
             .arg(users, offices)},
        {StoreObjectKind::Function, QLatin1String(kRecordGuard), QString(), recordGuard()},
        {StoreObjectKind::Trigger, QLatin1String(kRecordGuard), records, trigger(kRecordGuard, schema::kRecordTable, "INSERT OR UPDATE OR DELETE")},
        {StoreObjectKind::Function, QLatin1String(kIssueGuard), QString(), issueGuard()},
        {StoreObjectKind::Trigger, QLatin1String(kIssueGuard), issues, trigger(kIssueGuard, certificates::kIssueTable, "INSERT OR UPDATE")},
    };
}

QStringList rowSecurityStatements() {
    const QString records = QStringLiteral("\"%1\"").arg(QString::fromUtf8(schema::kRecordTable));
    QStringList statements{QStringLiteral("GRANT SELECT ON \"%1\", \"%2\" TO PUBLIC").arg(QLatin1String(kOfficeTable), QLatin1String(kOfficeUserTable)),
                           QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(records),
                           QStringLiteral("ALTER TABLE %1 FORCE ROW LEVEL SECURITY").arg(records)};
    for (const char* name : {"zartav_read", "zartav_insert", "zartav_update", "zartav_delete"})
        statements << QStringLiteral("DROP POLICY IF EXISTS %1 ON %2").arg(QLatin1String(name), records);
    // Everyone reads every record: a pedigree spans offices. What a row becomes is held to the
    // office's provinces here; what it was, by the records' guard, which says so in words (a
    // policy on the old row would pass it over without a word, and the desk would take that for
    // another desk's change).
    statements << policy("zartav_read", QStringLiteral("FOR SELECT USING (true)"))
               << policy("zartav_insert", QStringLiteral("FOR INSERT WITH CHECK (%1)").arg(mayWrite()))
               << policy("zartav_update", QStringLiteral("FOR UPDATE USING (true) WITH CHECK (%1)").arg(mayWrite()))
               << policy("zartav_delete", QStringLiteral("FOR DELETE USING (true)"));
    return statements;
}

QStringList suspendGuardStatements(const SqlDialect& d) {
    if (!d.isServer()) return {};
    // A store its owner has not opened since the guards came has none to suspend.
    QStringList statements;
    for (const auto& [on, guard] : {std::pair{schema::kRecordTable, kRecordGuard}, std::pair{certificates::kIssueTable, kIssueGuard}})
        statements << QStringLiteral("DO $$ BEGIN IF EXISTS (SELECT FROM pg_catalog.pg_trigger WHERE tgname = '%2' "
                                     "AND tgrelid = '\"%1\"'::regclass) THEN ALTER TABLE \"%1\" DISABLE TRIGGER %2; END IF; END $$")
                          .arg(QString::fromUtf8(on), QLatin1String(guard));
    return statements;
}

QStringList resumeGuardStatements(const SqlDialect& d) {
    QStringList statements = suspendGuardStatements(d);
    for (QString& s : statements) s.replace(QStringLiteral(" DISABLE "), QStringLiteral(" ENABLE "));
    return statements;
}

QString copyRefusedText() { return onlyText(QStringLiteral("كپي و بازگرداني روي سرور"), Role::Administrator); }

}  // namespace zartav::offices
