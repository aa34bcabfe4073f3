#include "data/record_history.h"

#include "data/history_schema.h"
#include "data/record_schema.h"
#include "data/sql_dialect.h"
#include "dates/calendar.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTimeZone>

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

void addField(QByteArray& text, const QString& field, bool absent) {
    if (absent) {
        text += '-';
        return;
    }
    const QByteArray bytes = field.toUtf8();
    text += QByteArray::number(bytes.size()) + ':' + bytes;
}

QString photoHash(const QVariant& photo) {
    if (photo.isNull()) return {};
    return QString::fromLatin1(QCryptographicHash::hash(photo.toByteArray(), QCryptographicHash::Sha256).toHex());
}

// The entry columns sealing and checking read, photos as their hashes where the server can
// compute them, else as bytes.
QString sealedColumns(const QSqlDatabase& db) {
    QStringList columns;
    for (int i = 0; i < kFirstPhoto; ++i) columns << q(db, kColumns[i]);
    for (int slot = 0; slot < 3; ++slot)
        columns << (SqlDialect::of(db).isServer() ? QStringLiteral("encode(sha256(%1), 'hex')") : QStringLiteral("%1"))
                       .arg(q(db, kColumns[kFirstPhoto + slot]));
    columns << q(db, kColumns[kHashColumn]);
    return columns.join(QStringLiteral(", "));
}

Sealed sealedOf(const QSqlQuery& row, const QSqlDatabase& db, const QString& previous) {
    Sealed s;
    s.previous = previous;
    s.entry = row.value(0).toLongLong();
    s.recordId = row.value(1).toLongLong();
    s.action = row.value(2).toString();
    s.at = row.value(3).toString();
    s.desk = row.value(4).toString();
    s.role = row.value(5).toString();
    s.reason = row.value(6).toString();
    s.changes = row.value(7).toString();
    for (int slot = 0; slot < 3; ++slot) {
        const QVariant v = row.value(kFirstPhoto + slot);
        s.photoHashes[slot] = SqlDialect::of(db).isServer() ? (v.isNull() ? QString() : v.toString()) : photoHash(v);
    }
    return s;
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

QString entryColumns(const QSqlDatabase& db, const QString& alias = {}) {
    QStringList columns;
    for (int i = 0; i < kFirstPhoto; ++i) columns << alias + q(db, kColumns[i]);
    return columns.join(QStringLiteral(", "));
}

Entry entryOf(const QSqlQuery& row) {
    Entry e;
    e.entry = row.value(0).toLongLong();
    e.recordId = row.value(1).toLongLong();
    e.action = row.value(2).toString();
    e.at = QDateTime::fromString(row.value(3).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    e.at.setTimeZone(QTimeZone::utc());
    e.desk = row.value(4).toString();
    e.role = row.value(5).toString();
    e.reason = row.value(6).toString();
    e.changes = changesOf(row.value(7).toString());
    return e;
}

std::optional<QList<Entry>> entries(QSqlQuery& query, QString* error) {
    query.setForwardOnly(true);
    if (!run(query, error)) return std::nullopt;
    QList<Entry> all;
    while (query.next()) all.append(entryOf(query));
    if (query.lastError().isValid()) {
        fail(error, query.lastError().text());
        return std::nullopt;
    }
    return all;
}

}  // namespace

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

bool seal(QSqlDatabase& db, QString* error) {
    const QString table = q(db, kTable), entry = q(db, "Entry"), hash = q(db, "Hash");
    QSqlQuery last(db);
    if (!last.exec(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %2 IS NOT NULL ORDER BY %1 DESC LIMIT 1").arg(entry, hash, table)))
        return fail(error, last.lastError().text());
    qint64 after = 0;
    QString previous;
    if (last.next()) {
        after = last.value(0).toLongLong();
        previous = last.value(1).toString();
    }
    last.finish();
    for (;;) {
        // A batch at a time: a delete keeps its photos, so entries may be large.
        QSqlQuery read(db);
        read.setForwardOnly(true);
        read.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 > ? ORDER BY %3 LIMIT 256").arg(sealedColumns(db), table, entry));
        read.addBindValue(after);
        if (!run(read, error)) return false;
        std::vector<std::pair<qint64, QString>> sealedNow;
        while (read.next()) {
            const Sealed s = sealedOf(read, db, previous);
            previous = QString::fromLatin1(entryHash(s));
            sealedNow.emplace_back(s.entry, previous);
        }
        read.finish();
        if (sealedNow.empty()) return true;
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
        if (sealedNow.size() < 256) return true;
        after = sealedNow.back().first;
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

ChainCheck verifyChain(const QSqlDatabase& db) {
    ChainCheck check;
    const bool server = SqlDialect::of(db).isServer();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(sealedColumns(db), q(db, kTable), q(db, "Entry")))) {
        check.problem = query.lastError().text();
        return check;
    }
    QString previous;
    qint64 expected = 1;
    auto bad = [&](qint64 entry, const QString& problem) {
        check.badEntry = entry;
        check.problem = problem;
        return check;
    };
    while (query.next()) {
        const Sealed s = sealedOf(query, db, previous);
        const QVariant stored = query.value(kHashColumn);
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
        }
        previous = stored.toString();
        ++expected;
    }
    if (query.lastError().isValid()) {
        check.problem = query.lastError().text();
        return check;
    }
    check.ok = true;
    return check;
}

QByteArray entryHash(const Sealed& f) {
    QByteArray text;
    addField(text, f.previous, f.previous.isEmpty());
    addField(text, QString::number(f.entry), false);
    addField(text, QString::number(f.recordId), false);
    addField(text, f.action, false);
    addField(text, f.at, false);
    addField(text, f.desk, f.desk.isEmpty());
    addField(text, f.role, f.role.isEmpty());
    addField(text, f.reason, f.reason.isEmpty());
    addField(text, f.changes, false);
    for (const QString& photo : f.photoHashes) addField(text, photo, photo.isEmpty());
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
}

bool needsReason(const QString& storedPrintDate) { return !storedPrintDate.trimmed().isEmpty(); }

QString reasonRequiredText() {
    return QStringLiteral("گواهي اين ركورد چاپ شده است؛ براي اصلاح آن «علت اصلاح» را بنويسيد.");
}

QString actionName(const QString& action) {
    if (action == QLatin1String(kInsert)) return QStringLiteral("ثبت");
    if (action == QLatin1String(kUpdate)) return QStringLiteral("اصلاح");
    if (action == QLatin1String(kDelete)) return QStringLiteral("حذف");
    if (action == QLatin1String(kRestore)) return QStringLiteral("بازگرداني");
    return action;
}

QString whoText(const Entry& e) {
    if (e.role.isEmpty()) return e.desk.isEmpty() ? QStringLiteral("نامعلوم") : e.desk;
    if (e.desk.isEmpty()) return e.role;
    return QStringLiteral("%1، رايانه (اعلام شده): %2").arg(e.role, e.desk);
}

QString tehranTime(const QDateTime& utc) {
    if (!utc.isValid()) return {};
    const QDateTime local = utc.toTimeZone(QTimeZone("Asia/Tehran"));
    const calendar::SolarDate d = calendar::fromGregorian(local.date());
    return QStringLiteral("%1/%2/%3 %4")
        .arg(d.year, 4, 10, QLatin1Char('0'))
        .arg(d.month, 2, 10, QLatin1Char('0'))
        .arg(d.day, 2, 10, QLatin1Char('0'))
        .arg(local.toString(QStringLiteral("HH:mm:ss")));
}

QString shownValue(const QString& column, const QVariant& value) {
    if (value.isNull()) return {};
    if (isPhotoColumn(column)) return QStringLiteral("تصوير %1 بايتي").arg(value.toLongLong());
    return value.toString();
}

}  // namespace zartav::history
