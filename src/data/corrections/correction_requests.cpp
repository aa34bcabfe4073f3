#include "data/corrections/correction_requests.h"

#include "data/engine/sql_dialect.h"
#include "data/schema/correction_schema.h"
#include "data/schema/record_schema.h"
#include "data/toolkit/row_columns.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>

#include <algorithm>

namespace zartav::corrections {
namespace {

bool fail(QString* error, const QSqlQuery& query) {
    if (error) *error = serverWords(query.lastError().databaseText());
    return false;
}

QString text(const QVariant& v) { return v.toString(); }

QDateTime utc(const QVariant& v) {
    QDateTime at = QDateTime::fromString(v.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    at.setTimeZone(QTimeZone::utc());
    return at;
}

// The record's own columns, read beside the request wherever it is read.
QString recordColumn(const SqlDialect& d, const char* column) {
    return QStringLiteral("(SELECT v.%1 FROM %2 v WHERE v.%3 = r.%4)")
        .arg(d.quote(column), d.quote(schema::kRecordTable), d.quote(schema::kId), d.quote("RecordID"));
}

constexpr rows::Columns<Request, 12> kRequestColumns = {{
    {"Request", [](Request& r, const QVariant& v) { r.number = v.toLongLong(); }},
    {"RecordID", [](Request& r, const QVariant& v) { r.recordId = v.toLongLong(); }},
    {"شماره ثبت", [](Request& r, const QVariant& v) { r.registration = text(v); },
     [](const SqlDialect& d, const QString&) { return recordColumn(d, "شماره ثبت"); }},
    {"نام گوساله", [](Request& r, const QVariant& v) { r.calfName = text(v); },
     [](const SqlDialect& d, const QString&) { return recordColumn(d, "نام گوساله"); }},
    {"Requester", [](Request& r, const QVariant& v) { r.requester = text(v); }},
    {"At", [](Request& r, const QVariant& v) { r.at = utc(v); }},
    {"Reason", [](Request& r, const QVariant& v) { r.reason = text(v); }},
    {"Changes", [](Request& r, const QVariant& v) { r.changes = history::changesOf(text(v)); }},
    {"State", [](Request& r, const QVariant& v) { r.state = text(v); }},
    {"Decider", [](Request& r, const QVariant& v) { r.decider = text(v); }},
    {"DecidedAt", [](Request& r, const QVariant& v) { r.decidedAt = utc(v); }},
    {"Answer", [](Request& r, const QVariant& v) { r.answer = text(v); }},
}};

std::optional<QList<Request>> requestsOf(QSqlQuery& query, QString* error) {
    QList<Request> all;
    rows::Reader read(kRequestColumns);
    while (query.next()) all << read.read(query);
    if (query.lastError().isValid()) {
        fail(error, query);
        return std::nullopt;
    }
    return all;
}

QJsonValue json(const QVariant& v) { return v.isNull() ? QJsonValue() : QJsonValue(v.toString()); }

}  // namespace

QList<history::Change> changedColumns(const QVector<QVariant>& before, const QVector<QVariant>& after) {
    QList<history::Change> changes;
    const auto value = [](const QVector<QVariant>& row, int i) {
        const QString s = row.value(i).toString();
        return s.isEmpty() ? QVariant() : QVariant(s);
    };
    for (int i = 0; i < schema::kListedColumnCount; ++i) {
        const QVariant was = value(before, i), now = value(after, i);
        if (was != now) changes.append({QString::fromUtf8(schema::kRecordColumns[i]), was, now});
    }
    return changes;
}

std::optional<qint64> ask(const QSqlDatabase& db, qint64 recordId, const QList<history::Change>& changes,
                          const QString& reason, QString* error) {
    QJsonObject object;
    for (const history::Change& c : changes) object.insert(c.column, QJsonArray{json(c.before), json(c.after)});
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    // Who asks and when is the server's to say.
    query.prepare(QStringLiteral("INSERT INTO %1 (%2, %3, %4) VALUES (?, ?, ?) RETURNING %5")
                      .arg(d.quote(kTable), d.quote("RecordID"), d.quote("Changes"), d.quote("Reason"), d.quote("Request")));
    query.addBindValue(recordId);
    query.addBindValue(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    query.addBindValue(reason);
    if (!query.exec() || !query.next()) {
        fail(error, query);
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

std::optional<QList<Request>> openRequests(const QSqlDatabase& db, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 r WHERE r.%3 = '%4' ORDER BY r.%5")
                        .arg(rows::selectText(d, kRequestColumns, QStringLiteral("r.")), d.quote(kTable), d.quote("State"),
                             QLatin1String(kOpen), d.quote("Request")))) {
        fail(error, query);
        return std::nullopt;
    }
    return requestsOf(query, error);
}

bool decide(const QSqlDatabase& db, qint64 number, bool approve, const QString& answer, QString* error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1(?, ?, ?)").arg(QLatin1String(kDecideFunction)));
    query.addBindValue(number);
    query.addBindValue(approve);
    query.addBindValue(answer);
    return query.exec() || fail(error, query);
}

std::optional<QList<Request>> takeDecided(const QSqlDatabase& db, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("UPDATE %1 r SET %2 = true WHERE r.%3 = session_user AND NOT r.%2 AND r.%4 <> '%5' RETURNING %6")
                        .arg(d.quote(kTable), d.quote("Seen"), d.quote("Requester"), d.quote("State"), QLatin1String(kOpen),
                             rows::selectText(d, kRequestColumns, QStringLiteral("r."))))) {
        fail(error, query);
        return std::nullopt;
    }
    std::optional<QList<Request>> decided = requestsOf(query, error);
    if (decided) std::sort(decided->begin(), decided->end(), [](const Request& a, const Request& b) { return a.number < b.number; });
    return decided;
}

QString decisionText(const Request& r) {
    const QString which = QStringLiteral("درخواست اصلاح %1 (ركورد %2)").arg(r.number).arg(r.registration.isEmpty() ? QString::number(r.recordId) : r.registration);
    if (r.state == QLatin1String(kApproved)) return QStringLiteral("%1 تاييد شد").arg(which);
    return QStringLiteral("%1 رد شد: %2").arg(which, r.answer);
}

QString sentText(qint64 number) {
    return QStringLiteral("گواهي اين ركورد صادر شده است؛ تغييرات شما به ثبت كننده فرستاده شد (درخواست اصلاح %1). "
                          "ركورد تا تاييد آن تغيير نمي كند.")
        .arg(number);
}

QString serverWords(const QString& databaseText) {
    QString first = databaseText.section(QLatin1Char('\n'), 0, 0).trimmed();
    for (const char* severity : {"ERROR:", "FATAL:"})
        if (first.startsWith(QLatin1String(severity))) first = first.mid(int(qstrlen(severity))).trimmed();
    return first.isEmpty() ? databaseText : first;
}

}  // namespace zartav::corrections
