#include "data/schema/register_schema.h"

#include "data/toolkit/row_columns.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace zartav::certificates {

namespace {

QString q(const SqlDialect& d, const char* name) { return d.quote(name); }

bool fail(QString* error, const QString& why) {
    if (error) *error = why;
    return false;
}

QString sealColumnSql(const SqlDialect& d) { return d.quote("seal") + QStringLiteral(" TEXT"); }

// `sealed`: today's form, with each issue's seal; without it the form earlier versions made.
QString issueTableSql(const SqlDialect& d, bool sealed = true) {
    // The number is the office's: on the server a sequence all desks draw from, on a file the
    // file's own, never handed out twice.
    const QString number = d.isServer() ? QStringLiteral("BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY")
                                        : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString whole = d.isServer() ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 %3, %4 %5 NOT NULL, %6 TEXT NOT NULL, %7 TEXT NOT NULL, "
                          "%8 TEXT NOT NULL, %9 TEXT NOT NULL, %10 TEXT NOT NULL, %11 TEXT NOT NULL, "
                          "%12 INTEGER NOT NULL DEFAULT 1, %13 %5%14)")
        .arg(q(d, kIssueTable), q(d, "number"), number, q(d, "record"), whole, q(d, "hash"), q(d, "content"),
             q(d, "issued"), q(d, "issuedBy"))
        .arg(q(d, "desk"), q(d, "keyFingerprint"), q(d, "copies"), q(d, "supersededBy"),
             sealed ? QStringLiteral(", ") + sealColumnSql(d) : QString());
}

// The columns an issue's seal covers, in order: what was issued, never its state since. Each
// adds its fact as the register reads it back: numbers as whole numbers, the hash in lower-case hex.
void addText(QStringList& facts, const QVariant& v) { facts << v.toString(); }
void addNumber(QStringList& facts, const QVariant& v) { facts << QString::number(v.toLongLong()); }
constexpr rows::Columns<QStringList, 8> kSealedColumns = {{
    {"number", addNumber},
    {"record", addNumber},
    {"hash", [](QStringList& facts, const QVariant& v) { facts << QString::fromLatin1(QByteArray::fromHex(v.toString().toLatin1()).toHex()); }},
    {"content", addText},
    {"issued", addText},
    {"issuedBy", addText},
    {"desk", addText},
    {"keyFingerprint", addText},
}};

// The server seals every issue as it is written, whoever writes it: the seal covers the issue's
// facts and the seal of the issue before it, and the facts of an issue never change again. It
// reads the table of the row it is called for, whatever the caller's search path names.
QString serverSealFunction(const SqlDialect& d) {
    QStringList fields{QStringLiteral("previous")};
    QStringList changed;
    for (const auto& c : kSealedColumns) {
        fields << QStringLiteral("NEW.%1::text").arg(d.quote(c.name));
        changed << QStringLiteral("NEW.%1 IS DISTINCT FROM OLD.%1").arg(d.quote(c.name));
    }
    QStringList sealed;
    for (const QString& f : fields)
        sealed << QStringLiteral("CASE WHEN %1 IS NULL THEN '-' ELSE octet_length(%1)::text || ':' || %1 END").arg(f);
    return QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql "
               "SET search_path = pg_catalog, pg_temp AS $$\n"
               "DECLARE previous text; newest bigint; issues text := format('%I.%I', TG_TABLE_SCHEMA, TG_TABLE_NAME);\n"
               "BEGIN\n"
               "  IF TG_OP = 'UPDATE' THEN\n"
               "    IF %2 THEN\n"
               "      RAISE EXCEPTION 'certificate % stays as it was issued', OLD.%3 USING ERRCODE = 'integrity_constraint_violation';\n"
               "    END IF;\n"
               "    IF OLD.%4 IS NOT NULL THEN NEW.%4 := OLD.%4; RETURN NEW; END IF;\n"
               "  ELSE\n"
               // One writer at a time extends the chain, in the order of the numbers.
               "    PERFORM pg_advisory_xact_lock(7261543023);\n"
               "    EXECUTE format('SELECT max(%3) FROM %s', issues) INTO newest;\n"
               "    IF NEW.%3 <= newest THEN\n"
               "      RAISE EXCEPTION 'certificate % comes after %', NEW.%3, newest USING ERRCODE = 'serialization_failure';\n"
               "    END IF;\n"
               "  END IF;\n"
               "  EXECUTE format('SELECT %4 FROM %s WHERE %3 < $1 ORDER BY %3 DESC LIMIT 1', issues) INTO previous USING NEW.%3;\n"
               "  NEW.%4 := encode(sha256(convert_to(%5, 'UTF8')), 'hex');\n"
               "  RETURN NEW;\n"
               "END $$")
        .arg(QLatin1String(kServerSealFunction), changed.join(QStringLiteral(" OR ")), d.quote("number"), d.quote("seal"),
             sealed.join(QStringLiteral(" || ")));
}

QString serverSealTrigger(const SqlDialect& d) {
    return QStringLiteral("CREATE OR REPLACE TRIGGER %1 BEFORE INSERT OR UPDATE ON %2 FOR EACH ROW EXECUTE FUNCTION %1()")
        .arg(QLatin1String(kServerSealFunction), q(d, kIssueTable));
}

// Issues written before the register sealed them, sealed in order by the server's own trigger.
QString serverSealEarlier(const SqlDialect& d) {
    return QStringLiteral("DO $$ DECLARE n bigint; BEGIN FOR n IN SELECT %1 FROM %2 WHERE %3 IS NULL ORDER BY %1 LOOP "
                          "UPDATE %2 SET %3 = NULL WHERE %1 = n; END LOOP; END $$")
        .arg(d.quote("number"), q(d, kIssueTable), d.quote("seal"));
}

const QString kCurrentIndex = QStringLiteral("ix_CertificateIssues_current");

QString currentIndexSql(const SqlDialect& d) {
    return QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS %1 ON %2 (%3) WHERE %4 IS NULL")
        .arg(d.quote(kCurrentIndex), q(d, kIssueTable), q(d, "record"), q(d, "supersededBy"));
}

QString keyTableSql(const SqlDialect& d) {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 TEXT PRIMARY KEY, %3 TEXT NOT NULL, %4 TEXT NOT NULL)")
        .arg(q(d, kKeyTable), q(d, "fingerprint"), q(d, "publicKey"), q(d, "made"));
}

QString officeTableSql(const SqlDialect& d) {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 TEXT PRIMARY KEY, %3 TEXT NOT NULL)")
        .arg(q(d, kOfficeTable), q(d, "name"), q(d, "value"));
}

}  // namespace

QByteArray chainSeal(const QString& previous, const QStringList& facts) {
    QByteArray text;
    auto add = [&](const QString& field, bool absent) {
        if (absent) {
            text += '-';
            return;
        }
        const QByteArray bytes = field.toUtf8();
        text += QByteArray::number(bytes.size()) + ':' + bytes;
    };
    add(previous, previous.isEmpty());
    for (const QString& field : facts) add(field, false);
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
}

bool sealIssues(QSqlDatabase& db, QList<qint64> numbers, QString* error) {
    if (numbers.isEmpty()) return true;
    const SqlDialect& d = SqlDialect::of(db);
    std::sort(numbers.begin(), numbers.end());
    QSqlQuery query(db);
    query.setForwardOnly(true);
    QString previous;
    query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 < ? ORDER BY %3 DESC LIMIT 1")
                      .arg(d.quote("seal"), q(d, kIssueTable), d.quote("number")));
    query.addBindValue(numbers.first());
    if (!query.exec()) return fail(error, query.lastError().text());
    if (query.next()) previous = query.value(0).toString();
    query.finish();
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 >= %4 ORDER BY %3")
                        .arg(rows::selectText(d, kSealedColumns), q(d, kIssueTable), d.quote("number"))
                        .arg(numbers.first())))
        return fail(error, query.lastError().text());
    QList<std::pair<qint64, QString>> seals;
    rows::Reader read(kSealedColumns);
    while (query.next()) {
        const QStringList facts = read.read(query);
        const qint64 number = facts.first().toLongLong();
        previous = QString::fromLatin1(chainSeal(previous, facts));
        seals.append({number, previous});
    }
    if (query.lastError().isValid()) return fail(error, query.lastError().text());
    query.finish();
    for (const auto& [number, seal] : seals) {
        query.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?").arg(q(d, kIssueTable), d.quote("seal"), d.quote("number")));
        query.addBindValue(seal);
        query.addBindValue(number);
        if (!query.exec()) return fail(error, query.lastError().text());
    }
    return true;
}

QList<StoreObject> registerObjects(const SqlDialect& d) {
    const QString issues = QString::fromLatin1(kIssueTable);
    QList<StoreObject> all{
        {StoreObjectKind::Table, issues, issues, issueTableSql(d)},
        {StoreObjectKind::Index, kCurrentIndex, issues, currentIndexSql(d)},
        {StoreObjectKind::Table, QString::fromLatin1(kKeyTable), QString::fromLatin1(kKeyTable), keyTableSql(d)},
        {StoreObjectKind::Table, QString::fromLatin1(kOfficeTable), QString::fromLatin1(kOfficeTable), officeTableSql(d)},
    };
    if (d.isServer()) {
        all[0].bringUp << QStringLiteral("ALTER TABLE %1 ADD COLUMN IF NOT EXISTS %2").arg(q(d, kIssueTable), sealColumnSql(d));
        const QString function = QString::fromLatin1(kServerSealFunction);
        all.append({StoreObjectKind::Function, function, QString(), serverSealFunction(d)});
        all.append({StoreObjectKind::Trigger, function, issues, serverSealTrigger(d), {serverSealEarlier(d)}});
    } else {
        // A file's register from before the seals gains its column at the first writable open
        // (bringUpRegister); until then the check takes the table as it was made.
        all[0].earlier << issueTableSql(d, false);
    }
    return all;
}

std::optional<bool> fileIssuesSealed(const QSqlDatabase& db, QString* error) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM pragma_table_info('%1') WHERE name = 'seal'").arg(QLatin1String(kIssueTable))) ||
        !query.next()) {
        fail(error, query.lastError().text());
        return std::nullopt;
    }
    const bool sealed = query.value(0).toInt() > 0;
    query.finish();
    return sealed || !hasRegister(db);
}

bool bringUpRegister(QSqlDatabase& db, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    if (d.isServer()) return true;
    const std::optional<bool> sealed = fileIssuesSealed(db, error);
    if (!sealed) return false;
    if (*sealed) return true;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(q(d, kIssueTable), sealColumnSql(d))))
        return fail(error, query.lastError().text());
    // Every issue an earlier version wrote is sealed once, in order; after that only the
    // program's own issues are, as it writes them.
    return sealRegister(db, error);
}

bool sealRegister(QSqlDatabase& db, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    if (d.isServer()) return true;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2").arg(d.quote("number"), q(d, kIssueTable))))
        return fail(error, query.lastError().text());
    QList<qint64> numbers;
    while (query.next()) numbers << query.value(0).toLongLong();
    query.finish();
    return sealIssues(db, numbers, error);
}

bool hasRegister(const QSqlDatabase& db) {
    QStringList names;
    for (const char* t : {kIssueTable, kKeyTable, kOfficeTable}) names << QString::fromLatin1(t);
    QSqlQuery query(db);
    const QString sql =
        SqlDialect::of(db).isServer()
            ? QStringLiteral("SELECT to_regclass('\"%1\"') IS NOT NULL AND to_regclass('\"%2\"') IS NOT NULL "
                             "AND to_regclass('\"%3\"') IS NOT NULL")
                  .arg(names[0], names[1], names[2])
            : QStringLiteral("SELECT COUNT(*) = 3 FROM sqlite_master WHERE type = 'table' AND name IN ('%1', '%2', '%3')")
                  .arg(names[0], names[1], names[2]);
    return query.exec(sql) && query.next() && query.value(0).toBool();
}

}  // namespace zartav::certificates
