#include "data/schema/correction_schema.h"

#include "data/access/store_rights.h"
#include "data/schema/definer_function.h"
#include "data/schema/record_schema.h"

#include <QStringList>

namespace zartav::corrections {
namespace {

const QString kMadeFunction = QStringLiteral("zartav_request_made");
const QString kKeptFunction = QStringLiteral("zartav_request_kept");
const QString kOpenIndex = QStringLiteral("ix_CorrectionRequests_open");
const QString kUnseenIndex = QStringLiteral("ix_CorrectionRequests_unseen");
const QString kAppliedIndex = QStringLiteral("ix_CorrectionRequests_applied");

QString table() { return QLatin1String(schema::kSchemaMark) + QStringLiteral(".\"%1\"").arg(QLatin1String(kTable)); }
QString records() { return QLatin1String(schema::kSchemaMark) + QStringLiteral(".\"%1\"").arg(QLatin1String(schema::kRecordTable)); }

// The columns a request may change: the record's text columns, not its key or its photos (a
// request keeps values, and a photo is not one it could show before and after).
QString requestableColumns() {
    QStringList names;
    for (int i = 0; i < schema::kListedColumnCount; ++i) names << QStringLiteral("'%1'").arg(QString::fromUtf8(schema::kRecordColumns[i]));
    return QStringLiteral("ARRAY[%1]::text[]").arg(names.join(QStringLiteral(", ")));
}

QString onlyRegistrar() { return access::onlyRoleText(access::Role::Registrar); }

QString tableSql() {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS \"%1\" (\"Request\" BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
                          "\"RecordID\" BIGINT NOT NULL, \"Changes\" TEXT NOT NULL, "
                          "\"Reason\" TEXT NOT NULL CHECK (btrim(\"Reason\") <> ''), \"Requester\" TEXT NOT NULL, "
                          "\"At\" TEXT NOT NULL, \"State\" TEXT NOT NULL CHECK (\"State\" IN ('%2', '%3', '%4')), "
                          "\"Decider\" TEXT, \"DecidedAt\" TEXT, \"Answer\" TEXT, \"Seen\" BOOLEAN NOT NULL DEFAULT false, "
                          "\"AppliedIn\" xid8)")
        .arg(QLatin1String(kTable), QLatin1String(kOpen), QLatin1String(kApproved), QLatin1String(kRefused));
}

QString utcNow() {
    return QStringLiteral("pg_catalog.to_char(pg_catalog.timezone('UTC', pg_catalog.now()), 'YYYY-MM-DD HH24:MI:SS.MS')");
}

// Whatever the caller wrote, a new request is open, asked now by the role the server
// authenticated, and its changes name only columns a request may change, each a pair of values.
QString madeFunction() {
    return schema::madeInStoreSchema(
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION %1.%2() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER SET search_path = %3 AS $$\n"
            "DECLARE ch jsonb;\n"
            "BEGIN\n"
            "  BEGIN ch := NEW.\"Changes\"::jsonb; EXCEPTION WHEN others THEN ch := NULL; END;\n"
            "  IF ch IS NULL OR pg_catalog.jsonb_typeof(ch) <> 'object' OR ch = '{}'::jsonb OR EXISTS (\n"
            "      SELECT 1 FROM pg_catalog.jsonb_each(ch) e WHERE NOT (e.key = ANY (%4)) OR NOT CASE\n"
            "        WHEN pg_catalog.jsonb_typeof(e.value) = 'array' AND pg_catalog.jsonb_array_length(e.value) = 2 THEN\n"
            "          pg_catalog.jsonb_typeof(e.value OPERATOR(pg_catalog.->) 0) IN ('string', 'null') AND\n"
            "          pg_catalog.jsonb_typeof(e.value OPERATOR(pg_catalog.->) 1) IN ('string', 'null')\n"
            "        ELSE false END) THEN\n"
            "    RAISE EXCEPTION 'تغييرات اين درخواست اصلاح درست نيست.' USING ERRCODE = 'invalid_parameter_value';\n"
            "  END IF;\n"
            "  IF NEW.\"Reason\" IS NULL OR pg_catalog.btrim(NEW.\"Reason\") = '' THEN\n"
            "    RAISE EXCEPTION 'براي درخواست اصلاح «علت اصلاح» را بنويسيد.' USING ERRCODE = 'not_null_violation';\n"
            "  END IF;\n"
            "  IF NOT EXISTS (SELECT 1 FROM %5 WHERE \"ID\" = NEW.\"RecordID\") THEN\n"
            "    RAISE EXCEPTION 'ركورد % نيست.', NEW.\"RecordID\" USING ERRCODE = 'foreign_key_violation';\n"
            "  END IF;\n"
            "  NEW.\"Changes\" := ch::text; NEW.\"Requester\" := session_user; NEW.\"At\" := %6; NEW.\"State\" := '%7';\n"
            "  NEW.\"Decider\" := NULL; NEW.\"DecidedAt\" := NULL; NEW.\"Answer\" := NULL; NEW.\"Seen\" := false;\n"
            "  NEW.\"AppliedIn\" := NULL;\n"
            "  RETURN NEW;\n"
            "END $$")
            .arg(QLatin1String(schema::kSchemaMark), kMadeFunction, schema::pinnedSearchPath(), requestableColumns(), records(),
                 utcNow(), QLatin1String(kOpen)));
}

// Outside the decide function (which runs as the tables' owner) a request changes in one way
// only: its requester marks it seen once it is decided.
QString keptFunction() {
    QStringList kept;
    for (const char* c : {"Request", "RecordID", "Changes", "Reason", "Requester", "At", "State", "Decider", "DecidedAt", "Answer",
                          "AppliedIn"})
        kept << QStringLiteral("\"%1\"").arg(QLatin1String(c));
    return schema::madeInStoreSchema(
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION %1.%2() RETURNS trigger LANGUAGE plpgsql SET search_path = %3 AS $$\n"
            "BEGIN\n"
            "  IF pg_catalog.pg_has_role(current_user, (SELECT c.relowner FROM pg_catalog.pg_class c WHERE c.oid = TG_RELID),\n"
            "      'USAGE') THEN RETURN NEW; END IF;\n"
            "  IF OLD.\"Requester\" IS DISTINCT FROM session_user OR OLD.\"State\" = '%4'\n"
            "      OR (NEW.%5) IS DISTINCT FROM (OLD.%6) THEN\n"
            "    RAISE EXCEPTION '%7' USING ERRCODE = 'insufficient_privilege';\n"
            "  END IF;\n"
            "  RETURN NEW;\n"
            "END $$")
            .arg(QLatin1String(schema::kSchemaMark), kKeptFunction, schema::pinnedSearchPath(), QLatin1String(kOpen),
                 kept.join(QStringLiteral(", NEW.")), kept.join(QStringLiteral(", OLD.")), onlyRegistrar()));
}

// A registrar decides an open request. Approving applies its changes to the record in one
// statement, only while each changed column still holds the value the request saw; the history
// entry that statement leaves reads the request, marked as applied in this transaction only while
// it is applied. Refusing keeps the record and needs an answer.
QString decideFunction(const char* channel) {
    return schema::madeInStoreSchema(
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION %1.%2(request bigint, approve boolean, answer text) RETURNS void LANGUAGE plpgsql\n"
            "SECURITY DEFINER SET search_path = %3 AS $$\n"
            "DECLARE r %4%ROWTYPE; ch jsonb; sets text; same text; n bigint;\n"
            "BEGIN\n"
            "  IF pg_catalog.to_regrole('%5') IS NULL OR NOT pg_catalog.pg_has_role(session_user, '%5', 'MEMBER') THEN\n"
            "    RAISE EXCEPTION '%6' USING ERRCODE = 'insufficient_privilege';\n"
            "  END IF;\n"
            "  SELECT * INTO r FROM %4 WHERE \"Request\" = request FOR UPDATE;\n"
            "  IF NOT FOUND THEN\n"
            "    RAISE EXCEPTION 'درخواست اصلاح % پيدا نشد.', request USING ERRCODE = 'no_data_found';\n"
            "  END IF;\n"
            "  IF r.\"State\" <> '%7' THEN\n"
            "    RAISE EXCEPTION 'درخواست اصلاح % پيش از اين بررسي شده است.', request USING ERRCODE = 'object_not_in_prerequisite_state';\n"
            "  END IF;\n"
            "  IF approve THEN\n"
            "    ch := r.\"Changes\"::jsonb;\n"
            "    SELECT pg_catalog.string_agg(pg_catalog.format('%I = ($1 OPERATOR(pg_catalog.->) %L OPERATOR(pg_catalog.->>) 1)', e.key, e.key), ', '),\n"
            "           pg_catalog.string_agg(pg_catalog.format('%I IS NOT DISTINCT FROM ($1 OPERATOR(pg_catalog.->) %L OPERATOR(pg_catalog.->>) 0)', e.key, e.key), ' AND ')\n"
            "      INTO sets, same FROM pg_catalog.jsonb_each(ch) e;\n"
            "    UPDATE %4 SET \"AppliedIn\" = pg_catalog.pg_current_xact_id() WHERE \"Request\" = request;\n"
            "    EXECUTE pg_catalog.format('UPDATE %I.%I SET %s WHERE \"ID\" = $2 AND %s', %13, '%14', sets, same)\n"
            "      USING ch, r.\"RecordID\";\n"
            "    GET DIAGNOSTICS n = ROW_COUNT;\n"
            "    IF n = 0 THEN\n"
            "      IF EXISTS (SELECT 1 FROM %8 WHERE \"ID\" = r.\"RecordID\") THEN\n"
            "        RAISE EXCEPTION 'ركورد % از زمان درخواست اصلاح % تغيير كرده است؛ درخواست اجرا نشد.', r.\"RecordID\", request\n"
            "          USING ERRCODE = 'serialization_failure';\n"
            "      END IF;\n"
            "      RAISE EXCEPTION 'ركورد % ديگر نيست؛ درخواست اصلاح % اجرا نشد.', r.\"RecordID\", request USING ERRCODE = 'no_data_found';\n"
            "    END IF;\n"
            "  ELSIF answer IS NULL OR pg_catalog.btrim(answer) = '' THEN\n"
            "    RAISE EXCEPTION 'براي رد درخواست اصلاح، علت آن را بنويسيد.' USING ERRCODE = 'not_null_violation';\n"
            "  END IF;\n"
            "  UPDATE %4 SET \"State\" = CASE WHEN approve THEN '%9' ELSE '%10' END, \"Decider\" = session_user,\n"
            "    \"DecidedAt\" = %11, \"Answer\" = NULLIF(pg_catalog.btrim(answer), ''), \"AppliedIn\" = NULL WHERE \"Request\" = request;\n"
            // The desks hear of it as of a save: the clerk's learns the answer, every list the record.
            "  PERFORM pg_catalog.pg_notify('%12', %13);\n"
            "END $$")
            .arg(QLatin1String(schema::kSchemaMark), QLatin1String(kDecideFunction), schema::pinnedSearchPath(), table(),
                 QLatin1String(access::kRegistrarRole), onlyRegistrar(), QLatin1String(kOpen), records(), QLatin1String(kApproved))
            .arg(QLatin1String(kRefused), utcNow(), QLatin1String(channel), QLatin1String(schema::kSchemaNameMark),
                 QLatin1String(schema::kRecordTable)));
}

QString triggerSql(const QString& function, const char* event) {
    return QStringLiteral("CREATE OR REPLACE TRIGGER %1 BEFORE %2 ON \"%3\" FOR EACH ROW EXECUTE FUNCTION %1()")
        .arg(function, QLatin1String(event), QLatin1String(kTable));
}

QString indexSql(const QString& name, const QString& what) {
    return QStringLiteral("CREATE INDEX IF NOT EXISTS \"%1\" ON \"%2\" %3").arg(name, QLatin1String(kTable), what);
}

}  // namespace

QList<StoreObject> objects(const SqlDialect& d, const char* channel) {
    if (!d.isServer()) return {};
    const QString name = QString::fromLatin1(kTable);
    return {
        {StoreObjectKind::Table, name, name, tableSql()},
        // The registrar's list, a clerk's answers still to be shown, and the history's look-up.
        {StoreObjectKind::Index, kOpenIndex, name, indexSql(kOpenIndex, QStringLiteral("(\"Request\") WHERE \"State\" = 'open'"))},
        {StoreObjectKind::Index, kUnseenIndex, name,
         indexSql(kUnseenIndex, QStringLiteral("(\"Requester\") WHERE NOT \"Seen\" AND \"State\" <> 'open'"))},
        {StoreObjectKind::Index, kAppliedIndex, name,
         QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"%1\" ON \"%2\" (\"AppliedIn\") WHERE \"AppliedIn\" IS NOT NULL")
             .arg(kAppliedIndex, name)},
        {StoreObjectKind::Function, kMadeFunction, QString(), madeFunction()},
        {StoreObjectKind::Trigger, kMadeFunction, name, triggerSql(kMadeFunction, "INSERT")},
        {StoreObjectKind::Function, kKeptFunction, QString(), keptFunction()},
        {StoreObjectKind::Trigger, kKeptFunction, name, triggerSql(kKeptFunction, "UPDATE")},
        {StoreObjectKind::Function, QString::fromLatin1(kDecideFunction), QString(), decideFunction(channel)},
    };
}

QString appliedReasonSql(const QString& recordVariable) {
    const QString concat = QStringLiteral(" OPERATOR(pg_catalog.||) ");
    return QStringLiteral("(SELECT r.\"Reason\"%1' (درخواست '%1r.\"Request\"::text%1' از '%1r.\"Requester\"%1')' FROM %2 r "
                          "WHERE r.\"AppliedIn\" = pg_catalog.pg_current_xact_id() AND r.\"RecordID\" = %3)")
        .arg(concat, table(), recordVariable);
}

QString refuseBorrowedReasonSql(const QString& reasonVariable) {
    return QStringLiteral("IF %1 OPERATOR(pg_catalog.~) '\\(\\s*درخواست\\s*\\S+\\s+از\\s' THEN RAISE EXCEPTION "
                          "'«علت اصلاح» نام درخواست اصلاح را نمي گيرد؛ آن را تاييد درخواست مي نويسد.' "
                          "USING ERRCODE = 'insufficient_privilege'; END IF;")
        .arg(reasonVariable);
}

}  // namespace zartav::corrections
