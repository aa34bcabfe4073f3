#include "data/schema/store_schema.h"

#include "data/engine/sql_dialect.h"
#include "data/schema/correction_schema.h"
#include "data/schema/folded_indexes.h"
#include "data/schema/history_schema.h"
#include "data/schema/office_schema.h"
#include "data/schema/record_schema.h"
#include "data/schema/register_schema.h"
#include "data/schema/store_versions.h"
#include "data/schema/stored_names.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace zartav {
namespace {

using schema::kCatalogueColumns;
using schema::kRecordColumns;

// The columns the entry form offers stored values for, and the herd code the tabs and the herd
// filter use: each gets an index so DISTINCT and the filter never scan the table.
constexpr std::array<const char*, 6> kIndexedColumns = {
    "كد استان", "نام استان", "نام شهرستان", "نام گاوداري", "كد گله", "نام گوساله",
};

// Every text column holds at most kTextColumnSize characters.
QString textColumnType() { return QStringLiteral("VARCHAR(%1)").arg(schema::kTextColumnSize); }

QString recordTableSql(const SqlDialect& d) {
    QStringList parts;
    for (int i = 0; i < int(kRecordColumns.size()); ++i) {
        const QString type = i == schema::kIdColumnIndex           ? d.idColumnType()
                             : i >= schema::kFirstPhotoColumnIndex ? d.photoColumnType()
                                                                   : textColumnType();
        parts << d.quote(kRecordColumns[i]) + QLatin1Char(' ') + type;
    }
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)").arg(d.quote(schema::kRecordTable), parts.join(", "));
}

QString catalogueTableSql(const SqlDialect& d) {
    QStringList parts;
    for (const char* name : kCatalogueColumns) parts << d.quote(name) + QLatin1Char(' ') + textColumnType();
    if (d.isServer()) parts << schema::catalogueOrder(d) + QStringLiteral(" BIGINT GENERATED ALWAYS AS IDENTITY");
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)").arg(d.quote(schema::kCatalogueTable), parts.join(", "));
}

QString indexName(int column) { return QStringLiteral("ix_VaskorTemp_%1").arg(column + 1); }

// The herd filter compares herd codes with their digits folded, so "۱۲۰۷" and "1207" are one
// herd: that comparison has an index of its own. The plain one above gives the stored codes.
const QString kFoldedHerdIndex = QStringLiteral("ix_VaskorTemp_herd");

QString indexSql(const SqlDialect& d, int column) {
    return QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
        .arg(d.quote(indexName(column)), d.quote(schema::kRecordTable), d.quote(kIndexedColumns[column]));
}

// The change trigger and its function. A statement-level trigger reaches every writer (other
// desks, the command line, any other client) and costs one notification per statement; the
// server folds repeats within one transaction. A notification names the schema of its store,
// for the desks of another store in the same database to pass over.
QString notifySql() {
    const QString channel = QString::fromLatin1(kRecordsChangedChannel);
    // Run with the writer's rights; its search path is pinned so that nothing of the writer's
    // session stands in for the function it calls.
    return QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql "
                          "SET search_path = pg_catalog, pg_temp AS $$ "
                          "BEGIN PERFORM pg_catalog.pg_notify('%2', TG_TABLE_SCHEMA); RETURN NULL; END $$")
        .arg(channel, channel);
}

QString changeTriggerSql(const SqlDialect& d) {
    return QStringLiteral("CREATE OR REPLACE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON %2 "
                          "FOR EACH STATEMENT EXECUTE FUNCTION %1()")
        .arg(QString::fromLatin1(kRecordsChangedChannel), d.quote(schema::kRecordTable));
}

QList<StoreObject> objectsOf(const SqlDialect& d) {
    using namespace schema;
    QList<StoreObject> all;
    // Each object with the version that added it: the order of the upgrade steps.
    const auto add = [&all](int version, QList<StoreObject> objects) {
        for (StoreObject& o : objects) o.since = version;
        all << objects;
    };
    const QString records = QString::fromUtf8(kRecordTable);
    const QString catalogue = QString::fromUtf8(kCatalogueTable);
    QList<StoreObject> tables{{StoreObjectKind::Table, records, records, recordTableSql(d)},
                              {StoreObjectKind::Table, catalogue, catalogue, catalogueTableSql(d)}};
    // A server catalogue made without the order column gets it.
    if (d.isServer())
        tables.last().bringUp << QStringLiteral("ALTER TABLE %1 ADD COLUMN IF NOT EXISTS %2 BIGINT GENERATED ALWAYS AS IDENTITY")
                                     .arg(d.quote(kCatalogueTable), catalogueOrder(d));
    add(kTwoTables, tables);
    QList<StoreObject> lists;
    for (int i = 0; i < int(kIndexedColumns.size()); ++i)
        lists.append({StoreObjectKind::Index, indexName(i), records, indexSql(d, i)});
    QList<StoreObject> found{{StoreObjectKind::Index, kFoldedHerdIndex, records,
                              QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                                  .arg(d.quote(kFoldedHerdIndex), d.quote(kRecordTable), find::foldedColumn(d, "كد گله"))}};
    for (int i = 0; i < int(find::kColumns.size()); ++i)
        found.append({StoreObjectKind::Index, find::indexName(i), records, find::indexStatement(d, i)});
    if (d.isServer()) {
        const QString channel = QString::fromLatin1(kRecordsChangedChannel);
        lists.append({StoreObjectKind::Function, channel, QString(), notifySql()});
        lists.append({StoreObjectKind::Trigger, channel, records, changeTriggerSql(d)});
    }
    add(kListIndexes, lists);
    add(kFindIndexes, found);
    // Pedigree links and the checks before certifying: registration numbers and ear tags, folded.
    add(kRegister, pedigree::indexObjects(d));
    if (d.isServer()) {
        const QString copies = QString::fromLatin1(kDailyCopyTable);
        add(kDailyCopies, {{StoreObjectKind::Table, copies, copies,
                            QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 TEXT PRIMARY KEY, %3 TEXT NOT NULL, %4 TEXT NOT NULL)")
                                .arg(d.quote(kDailyCopyTable), d.quote("day"), d.quote("desk"), d.quote("made"))}});
    }
    // The history of every change, written by the store itself.
    add(kHistory, history::objects(d));
    // The register of issued certificates, the office's public keys and its texts.
    add(kRegister, certificates::registerObjects(d));
    const QString version = QString::fromLatin1(kVersionTable);
    add(kRecorded, {{StoreObjectKind::Table, version, version,
                     QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 INTEGER NOT NULL)").arg(d.quote(kVersionTable), d.quote("version"))}});
    // Who may write what, held by the server itself.
    add(kOffices, offices::objects(d));
    add(kCorrections, corrections::objects(d, kRecordsChangedChannel));
    return all;
}

QStringList recordIndexNames(StoreEngine engine) {
    QStringList names;
    for (const StoreObject& o : storeObjects(engine))
        if (o.kind == StoreObjectKind::Index && o.table == QLatin1String(schema::kRecordTable)) names << o.name;
    return names;
}

}  // namespace

const QList<StoreObject>& storeObjects(StoreEngine engine) {
    static const QList<StoreObject> file = objectsOf(SqlDialect::of(StoreEngine::File));
    static const QList<StoreObject> server = objectsOf(SqlDialect::of(StoreEngine::Server));
    return engine == StoreEngine::Server ? server : file;
}

int recordIndexCount() { return int(recordIndexNames(StoreEngine::Server).size()); }

bool lacksRecordIndexes(QSqlDatabase& db) {
    QStringList names;
    for (const QString& name : recordIndexNames(SqlDialect::of(db).engine())) names << QLatin1Char('\'') + name + QLatin1Char('\'');
    QSqlQuery query(db);
    const QString present =
        SqlDialect::of(db).isServer()
            ? QStringLiteral("SELECT count(*) FROM pg_class WHERE relkind = 'i' "
                             "AND relnamespace = to_regnamespace(current_schema()) AND relname IN (%1)")
            : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN (%1)");
    if (!query.exec(present.arg(names.join(QStringLiteral(", ")))) || !query.next()) return false;
    return query.value(0).toInt() < names.size();
}

QSet<QString> leadingIndexColumns(const QSqlDatabase& db) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.exec(SqlDialect::of(db).isServer()
                   ? QStringLiteral("SELECT a.attname FROM pg_index x JOIN pg_attribute a ON a.attrelid = x.indrelid "
                                    "AND a.attnum = x.indkey[0] WHERE x.indrelid = '\"VaskorTemp\"'::regclass "
                                    "AND x.indpred IS NULL")
                   : QStringLiteral("SELECT i.name FROM pragma_index_list('VaskorTemp') AS l, "
                                    "pragma_index_info(l.name) AS i WHERE l.partial = 0 AND i.seqno = 0"));
    QSet<QString> columns;
    while (query.next()) columns.insert(query.value(0).toString());
    return columns;
}

}  // namespace zartav
