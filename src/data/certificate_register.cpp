#include "data/certificate_register.h"

#include "data/sql_dialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace zartav::certificates {

namespace {

QString q(const SqlDialect& d, const char* name) { return d.quote(name); }

QString issueTableSql(const SqlDialect& d) {
    // The number is the office's: on the server a sequence all desks draw from, on a file the
    // file's own, never handed out twice.
    const QString number = d.isServer() ? QStringLiteral("BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY")
                                        : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString whole = d.isServer() ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 %3, %4 %5 NOT NULL, %6 TEXT NOT NULL, %7 TEXT NOT NULL, "
                          "%8 TEXT NOT NULL, %9 TEXT NOT NULL, %10 TEXT NOT NULL, %11 TEXT NOT NULL, "
                          "%12 INTEGER NOT NULL DEFAULT 1, %13 %5)")
        .arg(q(d, kIssueTable), q(d, "number"), number, q(d, "record"), whole, q(d, "hash"), q(d, "content"),
             q(d, "issued"), q(d, "issuedBy"))
        .arg(q(d, "desk"), q(d, "keyFingerprint"), q(d, "copies"), q(d, "supersededBy"));
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

QString issueColumns(const SqlDialect& d) {
    QStringList names;
    for (const char* n : {"number", "record", "hash", "content", "issued", "issuedBy", "desk", "keyFingerprint",
                          "copies", "supersededBy"})
        names << d.quote(n);
    return names.join(QStringLiteral(", "));
}

Issue issueFrom(const QSqlQuery& row) {
    Issue i;
    i.number = row.value(0).toLongLong();
    i.recordId = row.value(1).toLongLong();
    i.contentHash = QByteArray::fromHex(row.value(2).toString().toLatin1());
    i.content = row.value(3).toString();
    i.issued = timeOf(row.value(4));
    i.issuedBy = row.value(5).toString();
    i.desk = row.value(6).toString();
    i.keyFingerprint = row.value(7).toString();
    i.copies = row.value(8).toInt();
    i.supersededBy = row.value(9).isNull() ? 0 : row.value(9).toLongLong();
    return i;
}

bool run(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    if (!query.prepare(sql)) return false;
    // Text is never NULL in the register: an empty name is an empty text.
    for (const QVariant& v : values)
        query.addBindValue(v.typeId() == QMetaType::QString && v.toString().isNull() ? QVariant(QStringLiteral("")) : v);
    return query.exec();
}

// One attempt of issue(): false with `retry` set when another desk issued the same record's
// certificate meanwhile (the unique index refused the second current issue).
std::optional<Issue> tryIssue(QSqlDatabase& db, const IssueRequest& r, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    const QString table = q(d, kIssueTable);
    const QString hash = QString::fromLatin1(r.contentHash.toHex());
    {
        // A reprint of an unchanged record, the common case of a busy office: one statement.
        QSqlQuery reprint(db);
        if (!run(reprint,
                 QStringLiteral("UPDATE %1 SET %2 = %2 + 1 WHERE %3 = ? AND %4 IS NULL AND %5 = ? RETURNING %6")
                     .arg(table, q(d, "copies"), q(d, "record"), q(d, "supersededBy"), q(d, "hash"), issueColumns(d)),
                 {r.recordId, hash}))
            return none<Issue>(error, reprint.lastError().text());
        if (reprint.next()) {
            Issue again = issueFrom(reprint);
            again.duplicate = true;
            return again;
        }
    }
    if (!db.transaction()) return none<Issue>(error, db.lastError().text());
    auto rollback = [&](const QSqlQuery& query) {
        const QString why = query.lastError().text();
        db.rollback();
        return none<Issue>(error, why);
    };
    QSqlQuery query(db);
    if (!run(query,
             QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? AND %4 IS NULL")
                 .arg(issueColumns(d), table, q(d, "record"), q(d, "supersededBy")),
             {r.recordId}))
        return rollback(query);
    std::optional<Issue> current;
    if (query.next()) current = issueFrom(query);
    query.finish();
    if (current && current->contentHash == r.contentHash) {
        if (!run(query, QStringLiteral("UPDATE %1 SET %2 = %2 + 1 WHERE %3 = ?").arg(table, q(d, "copies"), q(d, "number")),
                 {current->number}))
            return rollback(query);
        ++current->copies;
        current->duplicate = true;
    } else {
        // The old issue stops being current before the new one is, so the store holds one
        // current issue per record at every statement.
        if (current && !run(query, QStringLiteral("UPDATE %1 SET %2 = 0 WHERE %3 = ?").arg(table, q(d, "supersededBy"), q(d, "number")),
                            {current->number}))
            return rollback(query);
        Issue made;
        made.recordId = r.recordId;
        made.contentHash = r.contentHash;
        made.content = r.content;
        made.issued = QDateTime::currentDateTimeUtc();
        made.issued.setTime(QTime(made.issued.time().hour(), made.issued.time().minute(), made.issued.time().second()));
        made.issuedBy = r.issuedBy;
        made.desk = r.desk;
        made.keyFingerprint = r.keyFingerprint;
        if (!run(query,
                 QStringLiteral("INSERT INTO %1 (%2, %3, %4, %5, %6, %7, %8) VALUES (?, ?, ?, ?, ?, ?, ?) RETURNING %9")
                     .arg(table, q(d, "record"), q(d, "hash"), q(d, "content"), q(d, "issued"), q(d, "issuedBy"),
                          q(d, "desk"), q(d, "keyFingerprint"), q(d, "number")),
                 {r.recordId, hash, r.content, timeText(made.issued), r.issuedBy, r.desk, r.keyFingerprint}) ||
            !query.next())
            return rollback(query);
        made.number = query.value(0).toLongLong();
        query.finish();
        if (current) {
            if (!run(query, QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?").arg(table, q(d, "supersededBy"), q(d, "number")),
                     {made.number, current->number}))
                return rollback(query);
            made.superseded = current->number;
        }
        current = made;
    }
    query.finish();
    if (!db.commit()) {
        const QString why = db.lastError().text();
        db.rollback();
        return none<Issue>(error, why);
    }
    return current;
}

}  // namespace

QList<StoreObject> registerObjects(const SqlDialect& d) {
    const QString issues = QString::fromLatin1(kIssueTable);
    return {
        {StoreObjectKind::Table, issues, issues, issueTableSql(d)},
        {StoreObjectKind::Index, kCurrentIndex, issues, currentIndexSql(d)},
        {StoreObjectKind::Table, QString::fromLatin1(kKeyTable), QString::fromLatin1(kKeyTable), keyTableSql(d)},
        {StoreObjectKind::Table, QString::fromLatin1(kOfficeTable), QString::fromLatin1(kOfficeTable), officeTableSql(d)},
    };
}

std::optional<Issue> issue(QSqlDatabase& db, const IssueRequest& request, QString* error) {
    QString first;
    if (std::optional<Issue> done = tryIssue(db, request, &first)) return done;
    // Another desk's issue of the same record won the race: this printing is its duplicate now.
    return tryIssue(db, request, error ? error : &first);
}

std::optional<Issue> findIssue(QSqlDatabase& db, qint64 number, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    if (!run(query, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(issueColumns(d), q(d, kIssueTable), q(d, "number")),
             {number}))
        return none<Issue>(error, query.lastError().text());
    if (!query.next()) return std::nullopt;
    return issueFrom(query);
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

std::optional<QList<PublicKey>> publicKeys(QSqlDatabase& db, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT %1, %2, %3 FROM %4 ORDER BY %3, %1")
                        .arg(q(d, "fingerprint"), q(d, "publicKey"), q(d, "made"), q(d, kKeyTable))))
        return none<QList<PublicKey>>(error, query.lastError().text());
    QList<PublicKey> keys;
    while (query.next())
        keys << PublicKey{query.value(0).toString(), QByteArray::fromBase64(query.value(1).toString().toLatin1()),
                          timeOf(query.value(2))};
    return keys;
}

const QList<OfficeText>& officeTexts() {
    static const QList<OfficeText> texts = {
        {kMinistryLine, "redaz oviv azodeze"},
        {kCentreLine, "zida dovez ovev adi vazo"},
        {kUnionLine, "صدرور شناسنامه توسط rarudev erad evud ozorudiz eveza rivav"},
        {kRegistryLine, "ثبت مشخصات و دفتر انساب zida dovez ovev adi vazo"},
        {kOfficeName, ""},
        {kOfficeAddress, ""},
        {kOfficeContact, ""},
        {kSignatoryName, ""},
        {kSignatoryRole, ""},
    };
    return texts;
}

std::optional<QHash<QString, QString>> readOfficeTexts(QSqlDatabase& db, QString* error) {
    QHash<QString, QString> texts;
    for (const OfficeText& t : officeTexts()) texts.insert(QString::fromLatin1(t.name), QString::fromUtf8(t.defaultText));
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT %1, %2 FROM %3").arg(q(d, "name"), q(d, "value"), q(d, kOfficeTable)))) {
        const QString why = query.lastError().text();
        // An older store opened for reading has no such table yet: it prints the defaults.
        if (!db.tables().contains(QString::fromLatin1(kOfficeTable))) return texts;
        return none<QHash<QString, QString>>(error, why);
    }
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (texts.contains(name) && !query.value(1).toString().isEmpty()) texts[name] = query.value(1).toString();
    }
    return texts;
}

bool writeOfficeTexts(QSqlDatabase& db, const QHash<QString, QString>& texts, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    if (!db.transaction()) return fail(error, db.lastError().text());
    QSqlQuery query(db);
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        const bool ok = it.value().isEmpty()
                            ? run(query, QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(q(d, kOfficeTable), q(d, "name")),
                                  {it.key()})
                            : run(query,
                                  QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?) ON CONFLICT (%2) DO UPDATE "
                                                 "SET %3 = excluded.%3")
                                      .arg(q(d, kOfficeTable), q(d, "name"), q(d, "value")),
                                  {it.key(), it.value()});
        if (!ok) {
            const QString why = query.lastError().text();
            query.finish();
            db.rollback();
            return fail(error, why);
        }
    }
    query.finish();
    if (!db.commit()) {
        const QString why = db.lastError().text();
        db.rollback();
        return fail(error, why);
    }
    return true;
}

}  // namespace zartav::certificates
