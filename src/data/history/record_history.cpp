#include "data/history/record_history.h"

#include "data/history/entry_seal.h"
#include "data/schema/history_schema.h"
#include "data/schema/record_schema.h"
#include "data/engine/sql_dialect.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTimeZone>

#include <limits>
#include <vector>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace zartav::history {
namespace {

using schema::kRecordColumns;

QString q(const QSqlDatabase& db, const char* name) { return SqlDialect::of(db).quote(name); }

bool fail(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

bool run(QSqlQuery& query, QString* error) {
    if (query.exec()) return true;
    return fail(error, query.lastError().text());
}

QVariant orNull(const QString& text) { return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text); }

bool isPhotoColumn(const QString& column) {
    for (const char* photo : schema::kPhotoColumns)
        if (column == QString::fromUtf8(photo)) return true;
    return false;
}

QVariant fromJson(const QJsonValue& v) {
    if (v.isString()) return v.toString();
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d == double(qint64(d))) return qint64(d);
        return d;
    }
    if (v.isBool()) return v.toBool();
    return {};
}


QString entryColumns(const QSqlDatabase& db, const QString& alias = {}) {
    return rows::selectText(SqlDialect::of(db), kEntryColumns, alias);
}

Entry entryOf(const StoredEntry& stored) {
    Entry e;
    e.entry = stored.entry;
    e.recordId = stored.recordId;
    e.action = stored.action;
    e.at = QDateTime::fromString(stored.at, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    e.at.setTimeZone(QTimeZone::utc());
    e.desk = stored.desk;
    e.role = stored.role;
    e.reason = stored.reason;
    e.changes = changesOf(stored.changes);
    return e;
}

std::optional<QList<Entry>> entries(QSqlQuery& query, QString* error) {
    query.setForwardOnly(true);
    if (!run(query, error)) return std::nullopt;
    QList<Entry> all;
    rows::Reader read(kEntryColumns);
    while (query.next()) all.append(entryOf(read.read(query)));
    if (query.lastError().isValid()) {
        fail(error, query.lastError().text());
        return std::nullopt;
    }
    return all;
}


// ---- the file's head and what the triggers could have written ------------------------------
//
// The file's triggers cannot compute SHA-256, so what they write stays unsealed until the
// program seals it. Two things a plain edit could then do quietly are stopped here. Cutting
// entries off the end left a shorter chain that was whole: the head (history_schema.h) keeps the
// number and hash of the last entry sealed, and only the seal moves it, in the same transaction;
// the chain must reach it. And an entry written by hand, hash left empty, would have been sealed
// as the triggers' own: an unsealed entry is sealed only when it could be the triggers' record of
// a change, that is when it is not its record's newest entry, or when the record as it stands is
// what the entry left (an insert's or an update's new values, no record after a delete). The
// first one that is not stays unsealed, with all after it, and is reported. Whoever can write the
// file can still rewrite it whole, the head and the hashes with it: the chain proves only that no
// program edited the history table alone.

struct Head {
    qint64 entry = 0;
    QString hash;
};

constexpr rows::Columns<Head, 2> kHeadColumns = {{
    {"Entry", [](Head& h, const QVariant& v) { h.entry = v.toLongLong(); }},
    {"Hash", [](Head& h, const QVariant& v) { h.hash = v.toString(); }},
}};

// What telling the triggers' entries from others reads of each.
constexpr rows::Columns<StoredEntry, 4> kCheckedColumns = {{kEntryColumns[0], kEntryColumns[1], kEntryColumns[2], kEntryColumns[7]}};

std::optional<Head> readHead(const QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 LIMIT 1").arg(rows::selectText(SqlDialect::of(db), kHeadColumns), q(db, kHeadTable))) ||
        !query.next())
        return std::nullopt;
    return rows::Reader(kHeadColumns).read(query);
}

bool writeHead(QSqlDatabase& db, const Head& head, QString* error) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("DELETE FROM ") + q(db, kHeadTable))) return fail(error, query.lastError().text());
    query.prepare(QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?)").arg(q(db, kHeadTable), q(db, "Entry"), q(db, "Hash")));
    query.addBindValue(head.entry);
    query.addBindValue(orNull(head.hash));
    return run(query, error);
}

bool hasHeadTable(const QSqlDatabase& db) {
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = '%1'").arg(QLatin1String(kHeadTable))) &&
           query.next() && query.value(0).toBool();
}

// The last sealed entry: its number and hash (0 and nothing when none is sealed).
std::optional<Head> lastSealed(const QSqlDatabase& db, QString* error) {
    QSqlQuery last(db);
    if (!last.exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IS NOT NULL ORDER BY %4 DESC LIMIT 1")
                       .arg(rows::selectText(SqlDialect::of(db), kHeadColumns), q(db, kTable), q(db, "Hash"), q(db, "Entry")))) {
        fail(error, last.lastError().text());
        return std::nullopt;
    }
    if (!last.next()) return Head{};
    return rows::Reader(kHeadColumns).read(last);
}

// The sealed entries after `from` up to `to` follow on from its hash: a copy brought them in.
bool linksUp(const QSqlDatabase& db, const Head& from, qint64 to) {
    QSqlQuery read(db);
    read.setForwardOnly(true);
    read.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 > ? AND %3 <= ? ORDER BY %3").arg(sealedColumns(db), q(db, kTable), q(db, "Entry")));
    read.addBindValue(from.entry);
    read.addBindValue(to);
    if (!read.exec()) return false;
    QString previous = from.hash;
    qint64 expected = from.entry + 1;
    SealedReader sealed(db);
    while (read.next()) {
        const Sealed s = sealed.read(read, previous);
        if (s.entry != expected++ || QString::fromLatin1(entryHash(s)) != s.storedHash.toString()) return false;
        previous = s.storedHash.toString();
    }
    return expected == to + 1;
}

// Why the triggers cannot have written this entry, the newest of its record when `newest`;
// empty when they can. `record` holds the record's values as the entry shows them (a photo by
// its size), nothing when there is no such record.
QString notTheTriggers(const QString& action, const QString& changesJson, bool newest, const std::optional<QVariantList>& record) {
    const bool inserts = action == QLatin1String(kInsert) || action == QLatin1String(kRestore);
    if (!inserts && action != QLatin1String(kUpdate) && action != QLatin1String(kDelete))
        return QStringLiteral("its action \"%1\" is none the store writes").arg(action.left(40));
    if (!newest) return {};
    if (action == QLatin1String(kDelete))
        return record ? QStringLiteral("it deletes a record that is still there") : QString();
    if (!record) return QStringLiteral("the record it leaves is not there");
    QSet<QString> named;
    for (const Change& c : changesOf(changesJson)) {
        named.insert(c.column);
        int column = 0;
        while (column < int(kRecordColumns.size()) && c.column != QString::fromUtf8(kRecordColumns[column])) ++column;
        const QVariant& now = record->at(column);
        if (now.isNull() != c.after.isNull() || now.toString() != c.after.toString())
            return QStringLiteral("its new value of \"%1\" is not what the record holds").arg(c.column);
    }
    // An insert names every value the new record has.
    for (int column = 0; inserts && column < int(kRecordColumns.size()); ++column)
        if (column != schema::kIdColumnIndex && !named.contains(QString::fromUtf8(kRecordColumns[column])) && !record->at(column).isNull())
            return QStringLiteral("the record holds \"%1\", which it does not name").arg(QString::fromUtf8(kRecordColumns[column]));
    return {};
}

struct Forged {
    qint64 entry = 0;  // 0 when every unsealed entry could be the triggers'
    QString problem;
};

// The first unsealed entry after `after` that the triggers cannot have written, read a batch at
// a time with the newest entry and the values of the batch's records.
std::optional<Forged> firstForged(const QSqlDatabase& db, qint64 after, QString* error) {
    const QString table = q(db, kTable), entry = q(db, "Entry"), record = q(db, "RecordID"), id = q(db, schema::kId);
    QStringList values;
    for (int i = 0; i < int(kRecordColumns.size()); ++i)
        values << (i >= schema::kFirstPhotoColumnIndex ? QStringLiteral("length(%1)") : QStringLiteral("%1")).arg(q(db, kRecordColumns[i]));
    for (;;) {
        QSqlQuery read(db);
        read.setForwardOnly(true);
        read.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 > ? ORDER BY %3 LIMIT 256")
                         .arg(rows::selectText(SqlDialect::of(db), kCheckedColumns), table, entry));
        read.addBindValue(after);
        if (!run(read, error)) return std::nullopt;
        std::vector<StoredEntry> batch;
        QStringList ids;
        rows::Reader checked(kCheckedColumns);
        while (read.next()) {
            batch.push_back(checked.read(read));
            ids << QString::number(batch.back().recordId);
        }
        read.finish();
        if (batch.empty()) return Forged{};
        const QString in = ids.join(QLatin1Char(','));
        QHash<qint64, qint64> newest;
        QHash<qint64, QVariantList> records;
        QSqlQuery look(db);
        look.setForwardOnly(true);
        if (!look.exec(QStringLiteral("SELECT %1, MAX(%2) FROM %3 WHERE %1 IN (%4) GROUP BY %1").arg(record, entry, table, in))) {
            fail(error, look.lastError().text());
            return std::nullopt;
        }
        while (look.next()) newest.insert(look.value(0).toLongLong(), look.value(1).toLongLong());
        if (!look.exec(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 IN (%4)")
                           .arg(id, values.join(QStringLiteral(", ")), q(db, schema::kRecordTable), in))) {
            fail(error, look.lastError().text());
            return std::nullopt;
        }
        while (look.next()) {
            QVariantList row;
            for (int i = 0; i < int(kRecordColumns.size()); ++i) row << look.value(i + 1);
            records.insert(look.value(0).toLongLong(), row);
        }
        for (const StoredEntry& r : batch) {
            const auto found = records.constFind(r.recordId);
            const QString why = notTheTriggers(r.action, r.changes, newest.value(r.recordId) == r.entry,
                                               found == records.constEnd() ? std::nullopt : std::optional<QVariantList>(*found));
            if (!why.isEmpty()) return Forged{r.entry, why};
        }
        if (batch.size() < 256) return Forged{};
        after = batch.back().entry;
    }
}

}  // namespace

QList<Change> changesOf(const QString& json) {
    // The file's triggers leave control characters inside values raw; JSON wants them escaped.
    QString text;
    text.reserve(json.size());
    for (const QChar c : json) {
        if (c.unicode() < 0x20) text += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else text += c;
    }
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    QList<Change> changes;
    for (const char* name : kRecordColumns) {
        const QString column = QString::fromUtf8(name);
        const auto found = object.constFind(column);
        if (found == object.constEnd()) continue;
        const QJsonArray pair = found->toArray();
        changes.append({column, fromJson(pair.at(0)), fromJson(pair.at(1))});
    }
    return changes;
}

QString thisDesk() {
    QString login = qEnvironmentVariable("USER");
    if (login.isEmpty()) login = qEnvironmentVariable("LOGNAME");
    if (login.isEmpty()) login = qEnvironmentVariable("USERNAME");
#ifdef Q_OS_UNIX
    if (login.isEmpty())
        if (const passwd* user = getpwuid(geteuid())) login = QString::fromLocal8Bit(user->pw_name);
#endif
    return login + QLatin1Char('@') + QSysInfo::machineHostName();
}

WriteScope::WriteScope(QSqlDatabase db, QString reason, QString action)
    : db_(std::move(db)), reason_(std::move(reason)), action_(std::move(action)) {}

bool WriteScope::begin(QString* error) {
    QSqlQuery query(db_);
    if (SqlDialect::of(db_).isServer()) {
        // The server's trigger tells the action itself; only the reason is the writer's to give.
        if (reason_.isEmpty()) return true;
        query.prepare(QStringLiteral("SELECT set_config('%1', ?, true)").arg(QLatin1String(kReasonSetting)));
        query.addBindValue(reason_);
        return run(query, error);
    }
    // One row at most, always the first.
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO %1 (rowid, %2, %3, %4) VALUES (1, ?, ?, ?)")
                      .arg(q(db_, kDeskTable), q(db_, "Desk"), q(db_, "Reason"), q(db_, "Action")));
    query.addBindValue(thisDesk());
    query.addBindValue(orNull(reason_));
    query.addBindValue(orNull(action_));
    return run(query, error);
}

bool WriteScope::finish(QString* error) {
    if (SqlDialect::of(db_).isServer()) return true;
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("DELETE FROM ") + q(db_, kDeskTable))) return fail(error, query.lastError().text());
    return seal(db_, error);
}

BulkInsertScope::BulkInsertScope(QSqlDatabase db) : db_(std::move(db)) {}

bool BulkInsertScope::begin(QString* error) {
    if (SqlDialect::of(db_).isServer() || !hasHistory(db_)) return true;
    // The first write takes the file's write lock: no other writer adds a record until commit.
    for (const QString& sql : suspendStatements(SqlDialect::of(db_))) {
        QSqlQuery off(db_);
        if (!off.exec(sql)) return fail(error, off.lastError().text());
    }
    QSqlQuery last(db_);
    if (!last.exec(QStringLiteral("SELECT COALESCE(MAX(%1), 0) FROM %2").arg(q(db_, schema::kId), q(db_, schema::kRecordTable))) ||
        !last.next())
        return fail(error, last.lastError().text());
    after_ = last.value(0).toLongLong();
    active_ = true;
    return true;
}

bool BulkInsertScope::finish(QString* error) {
    if (!active_) return true;
    const SqlDialect& d = SqlDialect::of(db_);
    QSqlQuery entries(db_);
    entries.prepare(insertedEntriesStatement(d));
    entries.addBindValue(after_);
    if (!run(entries, error)) return false;
    for (const QString& sql : resumeStatements(d)) {
        QSqlQuery on(db_);
        if (!on.exec(sql)) return fail(error, on.lastError().text());
    }
    active_ = false;
    return true;
}

bool hasHistory(const QSqlDatabase& db) {
    QSqlQuery query(db);
    const QString sql = SqlDialect::of(db).isServer()
                            ? QStringLiteral("SELECT to_regclass('\"%1\"') IS NOT NULL").arg(QLatin1String(kTable))
                            : QStringLiteral("SELECT COUNT(*) > 0 FROM sqlite_master WHERE type = 'table' AND name = '%1'")
                                  .arg(QLatin1String(kTable));
    return query.exec(sql) && query.next() && query.value(0).toBool();
}

namespace {
ChainCheck chainCheck(const QSqlDatabase& db, bool withHead);
}  // namespace

bool startHead(QSqlDatabase& db, QString* error) {
    if (SqlDialect::of(db).isServer() || !hasHeadTable(db) || readHead(db)) return true;
    // Only a chain found whole gets a head; a broken one is left for --verify to report.
    if (!chainCheck(db, false).ok) return true;
    const std::optional<Head> last = lastSealed(db, error);
    return last && writeHead(db, *last, error);
}

bool resetHead(QSqlDatabase& db, QString* error) {
    if (SqlDialect::of(db).isServer() || !hasHeadTable(db)) return true;
    return writeHead(db, Head{}, error);
}

bool seal(QSqlDatabase& db, QString* error) {
    const QString table = q(db, kTable), entry = q(db, "Entry"), hash = q(db, "Hash");
    const bool file = !SqlDialect::of(db).isServer();
    const std::optional<Head> last = lastSealed(db, error);
    if (!last) return false;
    qint64 after = last->entry;
    QString previous = last->hash;
    // On the file the chain must reach its head, else nothing is sealed: sealing on would hide
    // what was cut off. A head behind the chain is caught up when the entries between follow on
    // from it (a copy brought them in).
    qint64 upTo = std::numeric_limits<qint64>::max();
    bool moved = false;  // the head is written only when it moves
    if (file) {
        const std::optional<Head> head = readHead(db);
        moved = head && head->entry != after;
        if (!head || head->entry > after || (head->entry == after && head->hash != previous) ||
            (head->entry < after && !linksUp(db, *head, after)))
            return true;
        const std::optional<Forged> forged = firstForged(db, after, error);
        if (!forged) return false;
        if (forged->entry > 0) upTo = forged->entry;
    }
    for (;;) {
        // A batch at a time: a delete keeps its photos, so entries may be large.
        QSqlQuery read(db);
        read.setForwardOnly(true);
        read.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 > ? AND %3 < ? ORDER BY %3 LIMIT 256").arg(sealedColumns(db), table, entry));
        read.addBindValue(after);
        read.addBindValue(upTo);
        if (!run(read, error)) return false;
        std::vector<std::pair<qint64, QString>> sealedNow;
        SealedReader sealed(db);
        while (read.next()) {
            const Sealed s = sealed.read(read, previous);
            previous = QString::fromLatin1(entryHash(s));
            sealedNow.emplace_back(s.entry, previous);
        }
        read.finish();
        if (!sealedNow.empty()) {
            // The batch's hashes in one statement, each entry found by its number (a CASE of the
            // whole batch would be tried for every entry).
            QStringList pairs;
            for (size_t i = 0; i < sealedNow.size(); ++i) pairs << QStringLiteral("(CAST(? AS BIGINT), ?)");
            QSqlQuery update(db);
            update.prepare(QStringLiteral("UPDATE %1 SET %2 = v.column2 FROM (VALUES %4) AS v WHERE %1.%3 = v.column1")
                               .arg(table, hash, entry, pairs.join(QStringLiteral(", "))));
            for (const auto& [number, value] : sealedNow) {
                update.addBindValue(number);
                update.addBindValue(value);
            }
            if (!run(update, error)) return false;
            after = sealedNow.back().first;
            moved = true;
        }
        if (sealedNow.size() < 256) return !file || !moved || writeHead(db, Head{after, previous}, error);
    }
}

std::optional<QList<Entry>> recordHistory(const QSqlDatabase& db, qint64 id, QString* error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %4 DESC")
                      .arg(entryColumns(db), q(db, kTable), q(db, "RecordID"), q(db, "Entry")));
    query.addBindValue(id);
    return entries(query, error);
}

std::optional<QList<Entry>> deletedRecords(const QSqlDatabase& db, QString* error) {
    const QString table = q(db, kTable), record = q(db, "RecordID"), entry = q(db, "Entry"), action = q(db, "Action");
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM %2 AS e WHERE e.%3 = '%4' "
                                 "AND NOT EXISTS (SELECT 1 FROM %5 AS r WHERE r.%6 = e.%7) "
                                 "AND NOT EXISTS (SELECT 1 FROM %2 AS l WHERE l.%7 = e.%7 AND l.%8 > e.%8 AND l.%3 = '%4') "
                                 "ORDER BY e.%8 DESC")
                      .arg(entryColumns(db, QStringLiteral("e.")), table, action, QLatin1String(kDelete),
                           q(db, schema::kRecordTable), q(db, schema::kId), record, entry));
    return entries(query, error);
}

bool restoreRecord(QSqlDatabase& db, qint64 id, QString* error) {
    const QString records = q(db, schema::kRecordTable), idColumn = q(db, schema::kId);
    if (!db.transaction()) return fail(error, db.lastError().text());
    auto refuse = [&](const QString& text) {
        db.rollback();
        return fail(error, text);
    };
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?").arg(records, idColumn));
    query.addBindValue(id);
    if (!query.exec() || !query.next()) return refuse(query.lastError().text());
    if (query.value(0).toLongLong() > 0) return refuse(QStringLiteral("ركورد %1 هم اكنون هست و حذف نشده است.").arg(id));
    query.finish();
    query.prepare(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5 WHERE %6 = ? AND %7 = '%8' ORDER BY %9 DESC LIMIT 1")
                      .arg(q(db, "Changes"), q(db, "Photo1"), q(db, "Photo2"), q(db, "Photo3"), q(db, kTable), q(db, "RecordID"),
                           q(db, "Action"), QLatin1String(kDelete), q(db, "Entry")));
    query.addBindValue(id);
    if (!query.exec()) return refuse(query.lastError().text());
    if (!query.next()) return refuse(QStringLiteral("از ركورد %1 حذفي در تاريخچه نيست.").arg(id));
    const QList<Change> kept = changesOf(query.value(0).toString());
    const QVariant photos[3] = {query.value(1), query.value(2), query.value(3)};
    query.finish();

    QStringList names{idColumn}, marks{QStringLiteral("?")};
    QVariantList values{id};
    for (const Change& c : kept) {
        if (isPhotoColumn(c.column)) continue;
        names << SqlDialect::of(db).quote(c.column);
        marks << QStringLiteral("?");
        values << c.before;
    }
    for (int slot = 0; slot < 3; ++slot) {
        if (photos[slot].isNull()) continue;
        names << q(db, schema::kPhotoColumns[slot]);
        marks << QStringLiteral("?");
        values << photos[slot].toByteArray();
    }
    WriteScope scope(db, {}, QString::fromLatin1(kRestore));
    QString why;
    if (!scope.begin(&why)) return refuse(why);
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(records, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    for (const QVariant& v : values) insert.addBindValue(v);
    if (!insert.exec()) return refuse(insert.lastError().text());
    insert.finish();
    if (!scope.finish(&why)) return refuse(why);
    if (!db.commit()) return refuse(db.lastError().text());
    return true;
}

ChainCheck verifyChain(const QSqlDatabase& db) { return chainCheck(db, true); }

namespace {

ChainCheck chainCheck(const QSqlDatabase& db, bool withHead) {
    ChainCheck check;
    const bool server = SqlDialect::of(db).isServer();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(sealedColumns(db), q(db, kTable), q(db, "Entry")))) {
        check.problem = query.lastError().text();
        return check;
    }
    QString previous, previousSealed;
    qint64 expected = 1;
    auto bad = [&](qint64 entry, const QString& problem) {
        check.badEntry = entry;
        check.problem = problem;
        return check;
    };
    SealedReader sealed(db);
    while (query.next()) {
        const Sealed s = sealed.read(query, previous);
        const QVariant& stored = s.storedHash;
        if (s.entry != expected) return bad(expected, QStringLiteral("entry %1 is missing").arg(expected));
        if (stored.isNull()) {
            // The server seals every entry itself; the file leaves the newest to the program.
            if (server) return bad(s.entry, QStringLiteral("entry %1 has no hash").arg(s.entry));
            ++check.unsealed;
        } else if (check.unsealed > 0) {
            return bad(s.entry, QStringLiteral("entry %1 is sealed after unsealed ones").arg(s.entry));
        } else if (QString::fromLatin1(entryHash(s)) != stored.toString()) {
            return bad(s.entry, QStringLiteral("entry %1 does not match its content and the entry before it").arg(s.entry));
        } else {
            ++check.entries;
            previousSealed = stored.toString();
        }
        previous = stored.toString();
        ++expected;
    }
    if (query.lastError().isValid()) {
        check.problem = query.lastError().text();
        return check;
    }
    query.finish();
    if (withHead && !server && hasHeadTable(db)) {
        // The file's chain must reach its head, and what is not sealed yet must be the triggers'.
        const qint64 sealedUpTo = expected - 1 - check.unsealed;
        const std::optional<Head> head = readHead(db);
        if (!head) return bad(sealedUpTo + 1, QStringLiteral("the history's head is missing"));
        if (head->entry > sealedUpTo)
            return bad(sealedUpTo + 1, QStringLiteral("the history's head counts %1 sealed entries, but %2 are there: "
                                                      "entries %3 to %1 are missing or were unsealed")
                                           .arg(head->entry)
                                           .arg(sealedUpTo)
                                           .arg(sealedUpTo + 1));
        if (head->entry == sealedUpTo && head->hash != previousSealed)
            return bad(head->entry, QStringLiteral("entry %1 is not the one the history's head sealed").arg(head->entry));
        if (head->entry < sealedUpTo)
            return bad(head->entry + 1, QStringLiteral("entries %1 to %2 were sealed by no seal of the program").arg(head->entry + 1).arg(sealedUpTo));
        QString error;
        const std::optional<Forged> forged = firstForged(db, sealedUpTo, &error);
        if (!forged) {
            check.problem = error;
            return check;
        }
        if (forged->entry > 0)
            return bad(forged->entry, QStringLiteral("entry %1 is not sealed and the store's triggers cannot have written it: %2")
                                          .arg(forged->entry)
                                          .arg(forged->problem));
    }
    check.ok = true;
    return check;
}

}  // namespace

}  // namespace zartav::history
