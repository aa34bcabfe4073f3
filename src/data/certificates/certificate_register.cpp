#include "data/certificates/certificate_register.h"

#include "data/engine/sql_dialect.h"
#include "data/toolkit/row_columns.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace zartav::certificates {

namespace {

QString q(const SqlDialect& d, const char* name) { return d.quote(name); }

template <typename T>
std::optional<T> none(QString* error, const QString& why) {
    if (error) *error = why;
    return std::nullopt;
}

bool fail(QString* error, const QString& why) {
    if (error) *error = why;
    return false;
}

QString timeText(const QDateTime& t) { return t.toUTC().toString(Qt::ISODate); }
QDateTime timeOf(const QVariant& v) {
    QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODate);
    t.setTimeSpec(Qt::UTC);
    return t;
}

// An issue's columns, each with what it fills.
constexpr rows::Columns<Issue, 11> kIssueColumns = {{
    {"number", [](Issue& i, const QVariant& v) { i.number = v.toLongLong(); }},
    {"record", [](Issue& i, const QVariant& v) { i.recordId = v.toLongLong(); }},
    {"hash", [](Issue& i, const QVariant& v) { i.contentHash = QByteArray::fromHex(v.toString().toLatin1()); }},
    {"content", [](Issue& i, const QVariant& v) { i.content = v.toString(); }},
    {"issued",
     [](Issue& i, const QVariant& v) {
         i.issued = timeOf(v);
         i.issuedText = v.toString();
     }},
    {"issuedBy", [](Issue& i, const QVariant& v) { i.issuedBy = v.toString(); }},
    {"desk", [](Issue& i, const QVariant& v) { i.desk = v.toString(); }},
    {"keyFingerprint", [](Issue& i, const QVariant& v) { i.keyFingerprint = v.toString(); }},
    {"copies", [](Issue& i, const QVariant& v) { i.copies = v.toInt(); }},
    {"supersededBy",
     [](Issue& i, const QVariant& v) {
         i.supersededBy = v.isNull() ? 0 : v.toLongLong();
         i.withdrawn = !v.isNull() && i.supersededBy == 0;
     }},
    {"seal", [](Issue& i, const QVariant& v) { i.seal = v.toString(); }},
}};

QString issueColumns(const SqlDialect& d) { return rows::selectText(d, kIssueColumns); }

using IssueReader = rows::Reader<Issue, kIssueColumns.size()>;

constexpr rows::Columns<PublicKey, 3> kKeyColumns = {{
    {"fingerprint", [](PublicKey& k, const QVariant& v) { k.fingerprint = v.toString(); }},
    {"publicKey", [](PublicKey& k, const QVariant& v) { k.key = QByteArray::fromBase64(v.toString().toLatin1()); }},
    {"made", [](PublicKey& k, const QVariant& v) { k.made = timeOf(v); }},
}};

bool run(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    if (!query.prepare(sql)) return false;
    // Text is never NULL in the register: an empty name is an empty text.
    for (const QVariant& v : values)
        query.addBindValue(v.typeId() == QMetaType::QString && v.toString().isNull() ? QVariant(QStringLiteral("")) : v);
    return query.exec();
}

// "3, 7, 12": whole numbers written into a statement, which then goes to the server in one
// round trip instead of the three a prepared one costs; never text.
QString numberList(const QList<qint64>& numbers) {
    QStringList texts;
    texts.reserve(numbers.size());
    for (qint64 n : numbers) texts << QString::number(n);
    return texts.join(QStringLiteral(", "));
}

// The issues of `batch`, whose records are all different, appended to `out`; false with the
// store's words in `why`. Inside the caller's transaction.
bool issueRun(QSqlDatabase& db, const QList<IssueRequest>& batch, QList<Issue>& out, QString* why) {
    const SqlDialect& d = SqlDialect::of(db);
    const QString table = q(d, kIssueTable);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    auto failed = [&] {
        *why = query.lastError().text();
        return false;
    };
    QList<qint64> records;
    for (const IssueRequest& r : batch) records << r.recordId;
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IS NULL AND %4 IN (%5)")
                        .arg(issueColumns(d), table, q(d, "supersededBy"), q(d, "record"), numberList(records))))
        return failed();
    QHash<qint64, Issue> current;
    IssueReader issues(kIssueColumns);
    while (query.next()) {
        const Issue i = issues.read(query);
        current.insert(i.recordId, i);
    }
    if (query.lastError().isValid()) return failed();
    query.finish();

    QList<qint64> again, replaced;
    QList<const IssueRequest*> fresh;
    for (const IssueRequest& r : batch) {
        const auto it = current.constFind(r.recordId);
        if (it != current.cend() && it->contentHash == r.contentHash) {
            again << it->number;
            continue;
        }
        fresh << &r;
        if (it != current.cend()) replaced << it->number;
    }
    if (!again.isEmpty() && !query.exec(QStringLiteral("UPDATE %1 SET %2 = %2 + 1 WHERE %3 IN (%4)")
                                            .arg(table, q(d, "copies"), q(d, "number"), numberList(again))))
        return failed();
    // The old issues stop being current before the new ones are, so the store holds one current
    // issue per record at every statement.
    if (!replaced.isEmpty() && !query.exec(QStringLiteral("UPDATE %1 SET %2 = 0 WHERE %3 IN (%4)")
                                               .arg(table, q(d, "supersededBy"), q(d, "number"), numberList(replaced))))
        return failed();
    QDateTime now = QDateTime::currentDateTimeUtc();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    QHash<qint64, qint64> made;  // record -> its new number
    if (!fresh.isEmpty()) {
        // The server's trigger extends the seals' chain in the order of the numbers: the numbers
        // are drawn in the order the desks come, one desk at a time.
        if (d.isServer() && !query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7261543023)"))) return failed();
        const QString row = QStringLiteral("(?, ?, ?, ?, ?, ?, ?)");
        QStringList rows;
        for (qsizetype i = 0; i < fresh.size(); ++i) rows << row;
        QVariantList values;
        for (const IssueRequest* r : fresh)
            values << r->recordId << QString::fromLatin1(r->contentHash.toHex()) << r->content << timeText(now)
                   << r->issuedBy << r->desk << r->keyFingerprint;
        if (!run(query,
                 QStringLiteral("INSERT INTO %1 (%2, %3, %4, %5, %6, %7, %8) VALUES %9 RETURNING %2, %10")
                     .arg(table, q(d, "record"), q(d, "hash"), q(d, "content"), q(d, "issued"), q(d, "issuedBy"),
                          q(d, "desk"), q(d, "keyFingerprint"), rows.join(QStringLiteral(", ")))
                     .arg(q(d, "number")),
                 values))
            return failed();
        while (query.next()) made.insert(query.value(0).toLongLong(), query.value(1).toLongLong());
        if (query.lastError().isValid()) return failed();
        query.finish();
        if (made.size() != fresh.size()) {
            *why = QStringLiteral("the register gave %1 numbers for %2 certificates").arg(made.size()).arg(fresh.size());
            return false;
        }
        if (!d.isServer() && !sealIssues(db, made.values(), why)) return false;
    }
    if (!replaced.isEmpty() &&
        !query.exec(QStringLiteral("UPDATE %1 SET %2 = (SELECT n.%3 FROM %1 AS n WHERE n.%4 = %1.%4 AND n.%2 IS NULL) "
                                   "WHERE %3 IN (%5)")
                        .arg(table, q(d, "supersededBy"), q(d, "number"), q(d, "record"), numberList(replaced))))
        return failed();

    for (const IssueRequest& r : batch) {
        const auto old = current.constFind(r.recordId);
        if (!made.contains(r.recordId)) {
            Issue again = *old;
            ++again.copies;
            again.duplicate = true;
            out << again;
            continue;
        }
        Issue i;
        i.number = made.value(r.recordId);
        i.recordId = r.recordId;
        i.contentHash = r.contentHash;
        i.content = r.content;
        i.issued = now;
        i.issuedBy = r.issuedBy;
        i.desk = r.desk;
        i.keyFingerprint = r.keyFingerprint;
        i.issuedText = timeText(now);
        i.superseded = old != current.cend() ? old->number : 0;
        out << i;
    }
    return true;
}

bool commitOrRollBack(QSqlDatabase& db, QString* error) {
    if (db.commit()) return true;
    const QString why = db.lastError().text();
    db.rollback();
    return fail(error, why);
}

// One attempt of issue(); it fails as a whole when another desk issued one of the records'
// certificates meanwhile (the unique index refused the second current issue).
std::optional<QList<Issue>> tryIssue(QSqlDatabase& db, const QList<IssueRequest>& requests, QString* error) {
    if (!db.transaction()) return none<QList<Issue>>(error, db.lastError().text());
    QList<Issue> issued;
    issued.reserve(requests.size());
    // A record twice in one batch: its second printing is taken after the first, which it repeats.
    for (qsizetype start = 0; start < requests.size();) {
        QSet<qint64> records;
        qsizetype end = start;
        while (end < requests.size() && !records.contains(requests[end].recordId)) records.insert(requests[end++].recordId);
        QString why;
        if (!issueRun(db, requests.mid(start, end - start), issued, &why)) {
            db.rollback();
            return none<QList<Issue>>(error, why);
        }
        start = end;
    }
    if (!commitOrRollBack(db, error)) return std::nullopt;
    return issued;
}

}  // namespace

std::optional<QList<Issue>> issue(QSqlDatabase& db, const QList<IssueRequest>& requests, QString* error) {
    if (requests.isEmpty()) return QList<Issue>();
    QString first;
    if (std::optional<QList<Issue>> done = tryIssue(db, requests, &first)) return done;
    // Another desk's issue of one of the records won the race: that printing is a duplicate now.
    return tryIssue(db, requests, error ? error : &first);
}

bool withdraw(QSqlDatabase& db, const QList<Issue>& issued, QString* error) {
    if (issued.isEmpty()) return true;
    const SqlDialect& d = SqlDialect::of(db);
    const QString table = q(d, kIssueTable);
    QList<qint64> copies, made;
    for (const Issue& i : issued) (i.duplicate ? copies : made) << i.number;
    if (!db.transaction()) return fail(error, db.lastError().text());
    QSqlQuery query(db);
    auto rollback = [&] {
        const QString why = query.lastError().text();
        query.finish();
        db.rollback();
        return fail(error, why);
    };
    const QString oneCopyLess = QStringLiteral("UPDATE %1 SET %2 = %2 - 1 WHERE %2 > 1 AND %3 IN (%4)");
    // A copy made twice in one job goes twice: one round per repetition.
    while (!copies.isEmpty()) {
        QList<qint64> once = copies;
        std::sort(once.begin(), once.end());
        once.erase(std::unique(once.begin(), once.end()), once.end());
        for (qint64 n : once) copies.removeOne(n);
        if (!query.exec(oneCopyLess.arg(table, q(d, "copies"), q(d, "number"), numberList(once)))) return rollback();
    }
    if (!made.isEmpty()) {
        // A number taken back stays in the register, marked so (no copies, superseded by none):
        // the issues' seals chain every number, and none is handed out again.
        if (!query.exec(QStringLiteral("UPDATE %1 SET %2 = 0, %3 = 0 WHERE %2 = 1 AND %3 IS NULL AND %4 IN (%5) RETURNING %4")
                            .arg(table, q(d, "copies"), q(d, "supersededBy"), q(d, "number"), numberList(made))))
            return rollback();
        QList<qint64> gone;
        while (query.next()) gone << query.value(0).toLongLong();
        if (query.lastError().isValid()) return rollback();
        query.finish();
        for (qint64 n : gone) made.removeOne(n);
        if (!gone.isEmpty() && !query.exec(QStringLiteral("UPDATE %1 SET %2 = NULL WHERE %2 IN (%3)")
                                               .arg(table, q(d, "supersededBy"), numberList(gone))))
            return rollback();
        // Printed again by another desk since: only this job's copy goes.
        if (!made.isEmpty() && !query.exec(oneCopyLess.arg(table, q(d, "copies"), q(d, "number"), numberList(made))))
            return rollback();
    }
    query.finish();
    return commitOrRollBack(db, error);
}

std::optional<Issue> findIssue(QSqlDatabase& db, qint64 number, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    if (!run(query, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(issueColumns(d), q(d, kIssueTable), q(d, "number")),
             {number}))
        return none<Issue>(error, query.lastError().text());
    if (!query.next()) return std::nullopt;
    return IssueReader(kIssueColumns).read(query);
}

std::optional<bool> hasCurrentIssue(QSqlDatabase& db, qint64 recordId, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    if (!run(query, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ? AND %3 IS NULL").arg(q(d, kIssueTable), q(d, "record"), q(d, "supersededBy")),
             {recordId}) ||
        !query.next())
        return none<bool>(error, query.lastError().text());
    return query.value(0).toLongLong() > 0;
}

QByteArray issueSeal(const QString& previous, const Issue& i) {
    return chainSeal(previous, {QString::number(i.number), QString::number(i.recordId), QString::fromLatin1(i.contentHash.toHex()),
                                i.content, i.issuedText, i.issuedBy, i.desk, i.keyFingerprint});
}

namespace {

// The register's word on `issue`'s state, against the issues after it of the same record: the
// next one not taken back supersedes it, and only the newest is current.
QString stateProblem(const Issue& issue, const QList<Issue>& later) {
    const Issue* next = nullptr;
    for (const Issue& l : later)
        if (!l.withdrawn) {
            next = &l;
            break;
        }
    if (issue.withdrawn) return issue.copies == 0 ? QString() : QStringLiteral("issue %1 is taken back but has copies").arg(issue.number);
    if (!next && issue.supersededBy != 0)
        return QStringLiteral("issue %1 names %2 as its successor, which is no issue of its record").arg(issue.number).arg(issue.supersededBy);
    if (next && issue.supersededBy != next->number)
        return QStringLiteral("issue %1 is not marked superseded by issue %2 of the same record").arg(issue.number).arg(next->number);
    return {};
}

std::optional<QList<Issue>> issuesOf(QSqlDatabase& db, const QString& where, const QVariantList& values, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!run(query, QStringLiteral("SELECT %1 FROM %2 %3 ORDER BY %4").arg(issueColumns(d), q(d, kIssueTable), where, d.quote("number")),
             values))
        return none<QList<Issue>>(error, query.lastError().text());
    QList<Issue> all;
    IssueReader issues(kIssueColumns);
    while (query.next()) all << issues.read(query);
    if (query.lastError().isValid()) return none<QList<Issue>>(error, query.lastError().text());
    return all;
}

}  // namespace

RegisterCheck checkIssue(QSqlDatabase& db, const Issue& issue) {
    RegisterCheck check;
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    if (!run(query, QStringLiteral("SELECT %1 FROM %2 WHERE %3 < ? ORDER BY %3 DESC LIMIT 1")
                        .arg(d.quote("seal"), q(d, kIssueTable), d.quote("number")),
             {issue.number})) {
        check.problem = query.lastError().text();
        return check;
    }
    const QString previous = query.next() ? query.value(0).toString() : QString();
    query.finish();
    check.badNumber = issue.number;
    if (issue.seal.isEmpty()) {
        check.problem = QStringLiteral("issue %1 has no seal").arg(issue.number);
        return check;
    }
    if (QString::fromLatin1(issueSeal(previous, issue)) != issue.seal) {
        check.problem = QStringLiteral("issue %1 does not match its seal and the issue before it").arg(issue.number);
        return check;
    }
    const std::optional<QList<Issue>> later =
        issuesOf(db, QStringLiteral("WHERE %1 = ? AND %2 > ?").arg(d.quote("record"), d.quote("number")), {issue.recordId, issue.number},
                 &check.problem);
    if (!later) {
        check.badNumber = 0;
        return check;
    }
    check.problem = stateProblem(issue, *later);
    check.ok = check.problem.isEmpty();
    if (check.ok) {
        check.badNumber = 0;
        check.issues = 1;
    }
    return check;
}

RegisterCheck verifyRegister(QSqlDatabase& db) {
    RegisterCheck check;
    const std::optional<QList<Issue>> all = issuesOf(db, QString(), {}, &check.problem);
    if (!all) return check;
    QString previous;
    QHash<qint64, QList<Issue>> byRecord;
    for (const Issue& i : *all) {
        if (i.seal.isEmpty() || QString::fromLatin1(issueSeal(previous, i)) != i.seal) {
            check.badNumber = i.number;
            check.problem = i.seal.isEmpty() ? QStringLiteral("issue %1 has no seal").arg(i.number)
                                             : QStringLiteral("issue %1 does not match its seal and the issue before it").arg(i.number);
            return check;
        }
        previous = i.seal;
        byRecord[i.recordId] << i;
        ++check.issues;
    }
    // Each issue's state against the later ones of its record; the first wrong one by number.
    for (const Issue& i : *all) {
        const QList<Issue>& issues = byRecord[i.recordId];
        const qsizetype at = std::find_if(issues.cbegin(), issues.cend(), [&](const Issue& o) { return o.number == i.number; }) - issues.cbegin();
        const QString problem = stateProblem(i, issues.mid(at + 1));
        if (!problem.isEmpty()) {
            check.badNumber = i.number;
            check.problem = problem;
            return check;
        }
    }
    check.ok = true;
    return check;
}

bool addPublicKey(QSqlDatabase& db, const QByteArray& key, const QString& fingerprint, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    if (!run(query,
             QStringLiteral("INSERT INTO %1 (%2, %3, %4) VALUES (?, ?, ?) ON CONFLICT (%2) DO NOTHING")
                 .arg(q(d, kKeyTable), q(d, "fingerprint"), q(d, "publicKey"), q(d, "made")),
             {fingerprint, QString::fromLatin1(key.toBase64()), timeText(QDateTime::currentDateTimeUtc())}))
        return fail(error, query.lastError().text());
    return true;
}

std::optional<QList<ClosedIssue>> closedIssues(QSqlDatabase& db, QString* error) {
    const std::optional<QList<Issue>> all = issuesOf(db, QString(), {}, error);
    if (!all) return std::nullopt;
    QHash<qint64, QDateTime> issuedAt;
    for (const Issue& i : *all) issuedAt.insert(i.number, i.issued);
    QList<ClosedIssue> closed;
    for (const Issue& i : *all)
        if (i.withdrawn || i.supersededBy)
            closed << ClosedIssue{i.number, i.supersededBy, i.withdrawn ? i.issued : issuedAt.value(i.supersededBy, i.issued)};
    return closed;
}

std::optional<QList<PublicKey>> publicKeys(QSqlDatabase& db, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3, %4")
                        .arg(rows::selectText(d, kKeyColumns), q(d, kKeyTable), q(d, "made"), q(d, "fingerprint"))))
        return none<QList<PublicKey>>(error, query.lastError().text());
    QList<PublicKey> keys;
    rows::Reader read(kKeyColumns);
    while (query.next()) keys << read.read(query);
    return keys;
}

}  // namespace zartav::certificates
