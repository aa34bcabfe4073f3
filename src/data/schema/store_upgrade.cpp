#include "data/schema/store_upgrade.h"

#include "data/engine/sql_dialect.h"
#include "data/schema/office_schema.h"
#include "data/schema/register_schema.h"
#include "data/schema/store_integrity.h"
#include "data/schema/store_schema.h"
#include "data/schema/store_versions.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <atomic>

namespace zartav {
namespace schema {
namespace {

std::atomic<int> failingStep{0};

// Long enough for another desk to make a large store's indexes.
constexpr int kSchemaLockWaitMs = 30000;

bool fail(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

bool run(QSqlDatabase& db, const QStringList& statements, QString* error) {
    for (const QString& sql : statements) {
        QSqlQuery query(db);
        if (!query.exec(sql)) return fail(error, query.lastError().text());
    }
    return true;
}

// What the step of `version` runs on a store that has had every step up to `from`.
QStringList stepStatements(const SqlDialect& d, int version, int from) {
    const QList<StoreObject>& objects = storeObjects(d.engine());
    QStringList statements;
    for (const StoreObject& o : objects)
        if (o.since == version) statements << o.create;
    if (version == kBroughtUp)
        for (const StoreObject& o : objects) statements << o.bringUp;
    // Last, every function an earlier step made is made again, with today's body and search path:
    // a later step may change what one does (the history reads an approved correction request).
    if (version == kCurrentVersion)
        for (const StoreObject& o : objects)
            if (o.kind == StoreObjectKind::Function && o.since <= from) statements << o.create;
    // Every desk reads the version, to refuse a store of a later program.
    if (version == kRecorded && d.isServer())
        statements << QStringLiteral("GRANT SELECT ON %1 TO PUBLIC").arg(d.quote(kVersionTable));
    if (version == kOffices && d.isServer()) statements << offices::rowSecurityStatements();
    return statements;
}

// The version never goes back: a store some later program upgraded keeps its number.
QStringList recordStatements(const SqlDialect& d) {
    const QString table = d.quote(kVersionTable), column = d.quote("version");
    return {QStringLiteral("UPDATE %1 SET %2 = %3 WHERE %2 < %3").arg(table, column).arg(kCurrentVersion),
            QStringLiteral("INSERT INTO %1 (%2) SELECT %3 WHERE NOT EXISTS (SELECT 1 FROM %1)").arg(table, column).arg(kCurrentVersion)};
}

}  // namespace

int versionShownBy(const QSet<QString>& names, StoreEngine engine) {
    int shown = 0;
    for (int version = 1; version <= kCurrentVersion; ++version) {
        bool any = false, all = true;
        for (const StoreObject& o : storeObjects(engine)) {
            if (o.since != version) continue;
            any = true;
            all = all && names.contains(o.name.toLower());
        }
        if (!all) break;
        // A step that makes nothing on this engine is done with the one before it; the step that
        // brings earlier forms up in place shows by no name.
        if (any || version != kBroughtUp) shown = version;
    }
    return shown;
}

int fileVersionShown(const QSqlDatabase& db, const QSet<QString>& names) {
    const int shown = versionShownBy(names, StoreEngine::File);
    // The seals came as a column, which no name shows: a register without it has not had that step.
    return certificates::fileIssuesSealed(db).value_or(false) ? shown : std::min(shown, int(kBroughtUp) - 1);
}

std::optional<int> fileVersion(const QSqlDatabase& db) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = '%1' COLLATE NOCASE")
                        .arg(QLatin1String(kVersionTable))))
        return std::nullopt;
    if (!query.next()) return query.lastError().isValid() ? std::nullopt : std::optional<int>(0);
    const QString made = query.value(0).toString();
    query.finish();
    const QList<StoreObject>& ours = storeObjects(StoreEngine::File);
    const auto table = std::find_if(ours.cbegin(), ours.cend(), [](const StoreObject& o) { return o.name == QLatin1String(kVersionTable); });
    if (table == ours.cend() || !integrity::sameStatement(made, table->create)) return 0;
    // A table of the program's shape, but of someone's making: its rows are read within bounds.
    integrity::ReadBudget budget(db);
    if (!query.exec(QStringLiteral("SELECT max(\"version\") FROM \"%1\"").arg(QLatin1String(kVersionTable))))
        return std::nullopt;
    return query.next() ? query.value(0).toInt() : 0;
}

QString serverVersionColumn() {
    const QString table = QStringLiteral("to_regclass('\"%1\"')").arg(QLatin1String(kVersionTable));
    // One statement reads the store's facts whatever it holds: the table is read only where it is.
    return QStringLiteral("CASE WHEN %1 IS NULL OR NOT has_table_privilege(%1, 'SELECT') THEN 0 ELSE "
                          "COALESCE(((pg_catalog.xpath('/row/v/text()', pg_catalog.query_to_xml("
                          "'SELECT max(\"version\") AS v FROM \"%2\"', false, true, '')))[1])::text::int, 0) END")
        .arg(table, QLatin1String(kVersionTable));
}

int upgradeFrom(int recorded, int shown) {
    // A store that records no version has had at most the steps its names can show.
    return std::min(recorded > 0 ? recorded : int(kBroughtUp) - 1, shown);
}

bool upgradeStore(QSqlDatabase& db, int from, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    if (!db.transaction()) return fail(error, db.lastError().text());
    const auto undo = [&](const QString& reason) {
        db.rollback();
        return fail(error, reason);
    };
    QString reason;
    // Two desks finding an empty server at once: the second waits here for the first's tables
    // instead of failing on a half-made catalogue entry. Any role may take that lock, so it is
    // waited for only so long; a store that has its tables is then opened without what was new.
    if (d.isServer() && !run(db,
                             {QStringLiteral("SET LOCAL lock_timeout = '%1ms'").arg(kSchemaLockWaitMs),
                              QStringLiteral("SELECT pg_advisory_xact_lock(7261543021)"),
                              QStringLiteral("SET LOCAL client_min_messages = warning")},
                             &reason))
        return undo(reason);
    for (int version = std::max(from, 0) + 1; version <= kCurrentVersion; ++version) {
        if (version == failingStep.load()) return undo(QStringLiteral("the step to version %1 failed").arg(version));
        if (!run(db, stepStatements(d, version, from), &reason)) return undo(reason);
        // What a file's statements cannot say conditionally: the register's seals.
        if (version == kBroughtUp && !certificates::bringUpRegister(db, &reason)) return undo(reason);
    }
    if (!run(db, recordStatements(d), &reason)) return undo(reason);
    if (!db.commit()) return undo(db.lastError().text());
    return true;
}

QString newerStoreText(int version) {
    return QStringLiteral("اين اطلاعات را نسخه تازه تري از اين برنامه ساخته است (ساختار نسخه %1؛ "
                          "اين برنامه تا نسخه %2 را مي شناسد). براي كار با آن برنامه را به روز كنيد؛ چيزي در آن نوشته نشد.")
        .arg(version)
        .arg(kCurrentVersion);
}

void failStepForTesting(int version) { failingStep.store(version); }

}  // namespace schema

bool createRecordSchema(QSqlDatabase& db, QString* error) { return schema::upgradeStore(db, 0, error); }

}  // namespace zartav
