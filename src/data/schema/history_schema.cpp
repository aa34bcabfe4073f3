#include "data/schema/history_schema.h"

#include "data/schema/correction_schema.h"
#include "data/schema/definer_function.h"
#include "data/schema/record_schema.h"

#include <QStringList>

namespace zartav::history {
namespace {

using schema::kRecordColumns;

enum class Op { Insert, Update, Delete };

const QString kTriggerPrefix = QStringLiteral("VaskorHistory_");

QString q(const SqlDialect& d, const char* name) { return d.quote(name); }

bool isPhoto(int column) { return column >= schema::kFirstPhotoColumnIndex; }

// A value as JSON on the file, written with the core functions alone (the program's hardened
// connection runs no other in a trigger): a string with its quotes and backslashes escaped; a
// photo by its size. Control characters stay raw: the reader escapes them before parsing.
QString fileJson(const QString& v, bool photo) {
    if (photo) return QStringLiteral("coalesce(CAST(length(%1) AS TEXT), 'null')").arg(v);
    return QStringLiteral("coalesce('\"' || replace(replace(%1, '\\', '\\\\'), '\"', '\\\"') || '\"', 'null')").arg(v);
}

// One column's part of the changes: a [before, after] pair, or NULL when the action leaves the
// column out (an absent value of a new or deleted record, an unchanged one of an update).
QString pairOf(const SqlDialect& d, int column, Op op, const QString& newRow) {
    const QString name = d.quote(kRecordColumns[column]);
    const QString oldV = QStringLiteral("OLD.") + name, newV = newRow + name;
    const bool photo = isPhoto(column);
    QString when, before = QStringLiteral("NULL"), after = QStringLiteral("NULL");
    switch (op) {
    case Op::Insert:
        when = newV + QStringLiteral(" IS NOT NULL");
        after = newV;
        break;
    case Op::Delete:
        when = oldV + QStringLiteral(" IS NOT NULL");
        before = oldV;
        break;
    case Op::Update:
        when = oldV + (d.isServer() ? QStringLiteral(" IS DISTINCT FROM ") : QStringLiteral(" IS NOT ")) + newV;
        before = oldV;
        after = newV;
        break;
    }
    const QString key = QString::fromUtf8(kRecordColumns[column]);
    if (d.isServer()) {
        auto value = [&](const QString& v) {
            return photo && v != QLatin1String("NULL") ? QStringLiteral("pg_catalog.octet_length(%1)").arg(v) : v;
        };
        return QStringLiteral("'%1', CASE WHEN %2 THEN pg_catalog.jsonb_build_array(%3, %4) END").arg(key, when, value(before), value(after));
    }
    auto value = [&](const QString& v) { return v == QLatin1String("NULL") ? QStringLiteral("'null'") : fileJson(v, photo); };
    return QStringLiteral("CASE WHEN %1 THEN '\"%2\":[' || %3 || ',' || %4 || ']' END").arg(when, key, value(before), value(after));
}

// The changes of one row as JSON text, the pairs left out dropped. On the server the pairs go
// in groups: a function takes at most 100 arguments. `newRow` qualifies the new values: the
// trigger's NEW, or the record table itself for the entries of a bulk insert.
QString changesOf(const SqlDialect& d, Op op, const QString& newRow = QStringLiteral("NEW.")) {
    QStringList pairs;
    for (int i = 0; i < int(kRecordColumns.size()); ++i)
        if (i != schema::kIdColumnIndex || op == Op::Update) pairs << pairOf(d, i, op, newRow);
    if (!d.isServer()) {
        QStringList joined;
        for (const QString& p : pairs) joined << QStringLiteral("coalesce(',' || %1, '')").arg(p);
        return QStringLiteral("'{' || substr(%1, 2) || '}'").arg(joined.join(QStringLiteral(" || ")));
    }
    QStringList objects;
    for (qsizetype from = 0; from < pairs.size(); from += 20)
        objects << QStringLiteral("pg_catalog.jsonb_build_object(%1)").arg(pairs.mid(from, 20).join(QStringLiteral(", ")));
    return QStringLiteral("pg_catalog.jsonb_strip_nulls(%1)").arg(objects.join(QStringLiteral(" OPERATOR(pg_catalog.||) ")));
}

// The photos an entry keeps: all of a deleted record, the replaced ones of an update.
QString keptPhoto(const SqlDialect& d, int slot, Op op) {
    const QString name = d.quote(schema::kPhotoColumns[slot]);
    if (op == Op::Delete) return QStringLiteral("OLD.") + name;
    if (op == Op::Insert) return QStringLiteral("NULL");
    return QStringLiteral("CASE WHEN OLD.%1 %2 NEW.%1 THEN OLD.%1 END")
        .arg(name, d.isServer() ? QStringLiteral("IS DISTINCT FROM") : QStringLiteral("IS NOT"));
}

QString tableSql(const SqlDialect& d) {
    const bool s = d.isServer();
    const QString text = QStringLiteral("TEXT"), blob = d.photoColumnType();
    const QStringList types = {s ? QStringLiteral("BIGINT PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"),
                               s ? QStringLiteral("BIGINT NOT NULL") : QStringLiteral("INTEGER NOT NULL"),
                               text + QStringLiteral(" NOT NULL"), text + QStringLiteral(" NOT NULL"), text, text, text,
                               text + QStringLiteral(" NOT NULL"), blob, blob, blob, text};
    QStringList parts;
    for (int i = 0; i < int(kColumns.size()); ++i) parts << q(d, kColumns[i]) + QLatin1Char(' ') + types[i];
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)").arg(q(d, kTable), parts.join(QStringLiteral(", ")));
}

// ---- the file: three triggers, reading who and why from the one-row desk table -------------

QString deskValue(const SqlDialect& d, const char* column) {
    return QStringLiteral("(SELECT %1 FROM %2 LIMIT 1)").arg(q(d, column), q(d, kDeskTable));
}

// The entry's columns on the file and what the trigger writes in them; `newRow` as in changesOf.
std::pair<QStringList, QStringList> fileEntry(const SqlDialect& d, Op op, const QString& newRow) {
    const QString id = (op == Op::Delete ? QStringLiteral("OLD.") : newRow) + q(d, schema::kId);
    // Only a restore tells an insert apart; nothing else may rename an action.
    const QString action = op == Op::Insert ? QStringLiteral("COALESCE(%1, '%2')").arg(deskValue(d, "Action"), QLatin1String(kInsert))
                                            : QStringLiteral("'%1'").arg(QLatin1String(op == Op::Update ? kUpdate : kDelete));
    QStringList columns, values{id, action, QStringLiteral("strftime('%Y-%m-%d %H:%M:%f', 'now')"),
                                deskValue(d, "Desk"), deskValue(d, "Reason"), changesOf(d, op, newRow)};
    for (int i = 1; i <= 7; ++i)
        if (i != 5) columns << q(d, kColumns[i]);  // no role on the file
    for (int slot = 0; slot < 3; ++slot) {
        columns << q(d, kColumns[kFirstPhoto + slot]);
        values << keptPhoto(d, slot, op);
    }
    return {columns, values};
}

QString fileTrigger(const SqlDialect& d, Op op) {
    const QString name = kTriggerPrefix + (op == Op::Insert ? QStringLiteral("insert")
                                           : op == Op::Update ? QStringLiteral("update")
                                                              : QStringLiteral("delete"));
    const QString event = op == Op::Insert ? QStringLiteral("INSERT") : op == Op::Update ? QStringLiteral("UPDATE")
                                                                                          : QStringLiteral("DELETE");
    // An update that changes nothing leaves no entry.
    QString when;
    if (op == Op::Update) {
        QStringList differs;
        for (const char* column : kRecordColumns)
            differs << QStringLiteral("OLD.%1 IS NOT NEW.%1").arg(d.quote(column));
        when = QStringLiteral(" WHEN ") + differs.join(QStringLiteral(" OR "));
    }
    const auto [columns, values] = fileEntry(d, op, QStringLiteral("NEW."));
    return QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 AFTER %2 ON %3%4 BEGIN INSERT INTO %5 (%6) VALUES (%7); END")
        .arg(d.quote(name), event, q(d, schema::kRecordTable), when, q(d, kTable), columns.join(QStringLiteral(", ")),
             values.join(QStringLiteral(", ")));
}

// ---- the server: one function run as the tables' owner, which also seals the entry ----------
//
// It runs with the owner's rights whoever writes (data/schema/definer_function.h).

const QString kSchemaMark = QLatin1String(schema::kSchemaMark);

QString cat(const char* function) { return schema::catalogFunction(function); }
const QString kConcat = QStringLiteral(" OPERATOR(pg_catalog.||) ");

// A field of the sealed text: its length in bytes, a colon and the field; "-" when absent.
QString sealed(const QString& v) {
    return QStringLiteral("CASE WHEN %1 IS NULL THEN '-' ELSE %2(%1)::text%3':'%3%1 END").arg(v, cat("octet_length"), kConcat);
}

QString serverFunction(const SqlDialect& d) {
    QStringList photos[3];
    for (int slot = 0; slot < 3; ++slot) {
        photos[0] << QStringLiteral("p%1 := %2;").arg(slot + 1).arg(keptPhoto(d, slot, Op::Insert));
        photos[1] << QStringLiteral("p%1 := %2;").arg(slot + 1).arg(keptPhoto(d, slot, Op::Update));
        photos[2] << QStringLiteral("p%1 := %2;").arg(slot + 1).arg(keptPhoto(d, slot, Op::Delete));
    }
    QStringList fields{QStringLiteral("ph"), QStringLiteral("n::text"), QStringLiteral("rid::text"), QStringLiteral("act"),
                       QStringLiteral("at"), QStringLiteral("desk"), QStringLiteral("who"), QStringLiteral("why"),
                       QStringLiteral("ch")};
    for (int slot = 1; slot <= 3; ++slot) fields << QStringLiteral("%1(%2(p%3), 'hex')").arg(cat("encode"), cat("sha256")).arg(slot);
    QStringList sealedFields;
    for (const QString& f : fields) sealedFields << sealed(f);
    QStringList insertColumns;
    for (const char* c : kColumns) insertColumns << q(d, c);
    // The photos of a record brought back are those its last delete kept.
    QStringList samePhotos;
    for (int slot = 0; slot < 3; ++slot)
        samePhotos << QStringLiteral("NEW.%1 IS NOT DISTINCT FROM l%2").arg(d.quote(schema::kPhotoColumns[slot])).arg(slot + 1);
    const QString id = q(d, schema::kId);
    const QString history = kSchemaMark + QLatin1Char('.') + q(d, kTable);
    const QString head = kSchemaMark + QLatin1Char('.') + q(d, kHeadTable);
    const QString function = QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.%2() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
               "SET search_path = %11 AS $$\n"
               "DECLARE ch text; rid bigint; act text; p1 bytea; p2 bytea; p3 bytea; n bigint; ph text;\n"
               "  at text; desk text; who text := session_user; why text; la text; lc text; l1 bytea; l2 bytea; l3 bytea;\n"
               "BEGIN\n"
               // The action is the trigger's own: no setting of the writer's names it.
               "  IF TG_OP = 'INSERT' THEN\n"
               "    rid := NEW.%3; act := '%4';\n"
               "    ch := %5::text; %6\n"
               // A record that comes back under its own number exactly as its last delete left
               // it, photos and all, is brought back; anything else inserted is an insert.
               "    SELECT \"Action\", \"Changes\", \"Photo1\", \"Photo2\", \"Photo3\" INTO la, lc, l1, l2, l3\n"
               "      FROM %7 WHERE \"RecordID\" = rid ORDER BY \"Entry\" DESC LIMIT 1;\n"
               "    IF la = '%8' AND %9 AND ch::jsonb = COALESCE((SELECT pg_catalog.jsonb_object_agg(key,\n"
               "        pg_catalog.jsonb_build_array(value OPERATOR(pg_catalog.->) 1, value OPERATOR(pg_catalog.->) 0))\n"
               "        FROM pg_catalog.jsonb_each(lc::jsonb)), '{}'::jsonb) THEN act := '%10'; END IF;\n")
        .arg(kSchemaMark, QLatin1String(kServerFunction), id, QLatin1String(kInsert), changesOf(d, Op::Insert),
             photos[0].join(QLatin1Char(' ')), history, QLatin1String(kDelete), samePhotos.join(QStringLiteral(" AND ")))
        .arg(QLatin1String(kRestore), schema::pinnedSearchPath()) + QStringLiteral(
               "  ELSIF TG_OP = 'UPDATE' THEN\n"
               "    rid := NEW.%1; act := '%2'; ch := %3::text;\n"
               "    IF ch = '{}' THEN RETURN NULL; END IF;\n"
               "    %4\n"
               "  ELSE\n"
               "    rid := OLD.%1; act := '%5'; ch := %6::text; %7\n"
               "  END IF;\n"
               // One writer at a time extends the chain, holding the head row that only the
               // owner may lock (a desk role cannot take it and hold every save); a writer whose
               // view is older than the newest entry takes its number again and is refused by
               // the key, never forks it.
               "  PERFORM 1 FROM %8 FOR UPDATE;\n"
               "  SELECT \"Entry\", \"Hash\" INTO n, ph FROM %9 ORDER BY \"Entry\" DESC LIMIT 1;\n"
               "  n := COALESCE(n, 0) + 1;\n"
               "  at := pg_catalog.to_char(pg_catalog.timezone('UTC', pg_catalog.now()), 'YYYY-MM-DD HH24:MI:SS.MS');\n"
               // The desk's own name for itself, beside the role the server authenticated.
               "  desk := NULLIF(pg_catalog.current_setting('%10', true), '');\n")
        .arg(id, QLatin1String(kUpdate), changesOf(d, Op::Update), photos[1].join(QLatin1Char(' ')), QLatin1String(kDelete),
             changesOf(d, Op::Delete), photos[2].join(QLatin1Char(' ')), head, history)
        .arg(QLatin1String(kDeskSetting)) + QStringLiteral(
               // An approved correction request's own words and who asked, read from the request
               // this transaction applies; otherwise the writer's reason, which may not pass for one.
               "  why := %1;\n"
               "  IF why IS NULL THEN\n"
               "    why := NULLIF(pg_catalog.current_setting('%2', true), '');\n"
               "    %3\n"
               "  END IF;\n"
               "  INSERT INTO %4 (%5) VALUES (n, rid, act, at, desk, who, why, ch, p1, p2, p3,\n"
               "    pg_catalog.encode(pg_catalog.sha256(pg_catalog.convert_to(%6, 'UTF8')), 'hex'));\n"
               "  RETURN NULL;\n"
               "END $$")
        .arg(corrections::appliedReasonSql(QStringLiteral("rid")), QLatin1String(kReasonSetting),
             corrections::refuseBorrowedReasonSql(QStringLiteral("why")), history, insertColumns.join(QStringLiteral(", ")),
             sealedFields.join(kConcat));
    return schema::madeInStoreSchema(function);
}

QString serverTrigger(const SqlDialect& d) {
    return QStringLiteral("CREATE OR REPLACE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE ON %2 "
                          "FOR EACH ROW EXECUTE FUNCTION %1()")
        .arg(QLatin1String(kServerFunction), q(d, schema::kRecordTable));
}

QStringList fileTriggerNames() {
    return {kTriggerPrefix + QStringLiteral("insert"), kTriggerPrefix + QStringLiteral("update"),
            kTriggerPrefix + QStringLiteral("delete")};
}

}  // namespace

QList<StoreObject> objects(const SqlDialect& d) {
    const QString table = QString::fromUtf8(kTable);
    const QString records = QString::fromUtf8(schema::kRecordTable);
    QList<StoreObject> all{{StoreObjectKind::Table, table, table, tableSql(d)}};
    // One record's entries in order, and the deletes for the list of deleted records.
    all.append({StoreObjectKind::Index, QStringLiteral("ix_VaskorHistory_record"), table,
                QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3, %4)")
                    .arg(d.quote(QStringLiteral("ix_VaskorHistory_record")), q(d, kTable), q(d, "RecordID"), q(d, "Entry"))});
    all.append({StoreObjectKind::Index, QStringLiteral("ix_VaskorHistory_deleted"), table,
                QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3) WHERE %4 = '%5'")
                    .arg(d.quote(QStringLiteral("ix_VaskorHistory_deleted")), q(d, kTable), q(d, "Entry"), q(d, "Action"),
                         QLatin1String(kDelete))});
    if (d.isServer()) {
        const QString head = QString::fromUtf8(kHeadTable);
        all.append({StoreObjectKind::Table, head, head,
                    QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 BOOLEAN PRIMARY KEY DEFAULT true CHECK (%2))")
                        .arg(q(d, kHeadTable), q(d, "One")),
                    {QStringLiteral("INSERT INTO %1 DEFAULT VALUES ON CONFLICT DO NOTHING").arg(q(d, kHeadTable))}});
        all.append({StoreObjectKind::Function, QLatin1String(kServerFunction), QString(), serverFunction(d)});
        all.append({StoreObjectKind::Trigger, QLatin1String(kServerFunction), records, serverTrigger(d)});
        return all;
    }
    const QString desk = QString::fromUtf8(kDeskTable);
    all.append({StoreObjectKind::Table, desk, desk,
                QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 TEXT, %3 TEXT, %4 TEXT)")
                    .arg(q(d, kDeskTable), q(d, "Desk"), q(d, "Reason"), q(d, "Action"))});
    const QString head = QString::fromUtf8(kHeadTable);
    all.append({StoreObjectKind::Table, head, head,
                QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 INTEGER NOT NULL, %3 TEXT)")
                    .arg(q(d, kHeadTable), q(d, "Entry"), q(d, "Hash"))});
    const QStringList names = fileTriggerNames();
    const Op ops[] = {Op::Insert, Op::Update, Op::Delete};
    for (int i = 0; i < 3; ++i) all.append({StoreObjectKind::Trigger, names[i], records, fileTrigger(d, ops[i])});
    return all;
}

QStringList suspendStatements(const SqlDialect& d) {
    if (d.isServer())
        return {QStringLiteral("ALTER TABLE %1 DISABLE TRIGGER %2").arg(q(d, schema::kRecordTable), QLatin1String(kServerFunction))};
    QStringList statements;
    for (const QString& name : fileTriggerNames()) statements << QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(d.quote(name));
    return statements;
}

QStringList resumeStatements(const SqlDialect& d) {
    if (d.isServer())
        return {QStringLiteral("ALTER TABLE %1 ENABLE TRIGGER %2").arg(q(d, schema::kRecordTable), QLatin1String(kServerFunction))};
    QStringList statements;
    for (const StoreObject& o : objects(d))
        if (o.kind == StoreObjectKind::Trigger) statements << o.create;
    return statements;
}

QString insertedEntriesStatement(const SqlDialect& d) {
    const QString records = q(d, schema::kRecordTable);
    const auto [columns, values] = fileEntry(d, Op::Insert, records + QLatin1Char('.'));
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 WHERE %4.%5 > ? ORDER BY %4.%5")
        .arg(q(d, kTable), columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")), records, q(d, schema::kId));
}

}  // namespace zartav::history
