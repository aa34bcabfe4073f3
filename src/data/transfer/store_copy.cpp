#include "data/transfer/store_copy.h"

#include "data/certificates/certificate_numbering.h"
#include "data/certificates/certificate_register.h"
#include "data/schema/history_schema.h"
#include "data/schema/office_schema.h"
#include "data/schema/store_roles.h"
#include "data/history/record_history.h"
#include "data/schema/record_schema.h"
#include "data/schema/store_numbering.h"
#include "data/schema/store_schema.h"
#include "data/link/connection.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVector>

#include <array>
#include <optional>
#include <vector>

namespace zartav {
namespace {

using Digest = std::array<char, 16>;
using Row = QVector<QVariant>;

// A batch of rows is kept near this size, whatever the photos weigh; the first batch is small
// because nothing is known of the rows yet.
constexpr qint64 kBatchBytes = 32ll * 1024 * 1024;
constexpr int kFirstBatch = 4;
constexpr int kMaxBatch = 500;

struct TableShape {
    QString table;
    QString noun;  // a row of it, in a message
    QStringList columns;
    int key = -1;        // the column rows are read in order of; none: the table's own order
    QList<int> numbers;  // integer columns
    int firstPhoto = -1;
    int photos = 0;
    qint64 StoreCopyReport::*tally = nullptr;  // where the report counts its rows
    QString order = {};     // without a key: the column rows are read in order of (none: the catalogue's)
    bool numbered = false;  // the key is the server's own numbering, written here as it was
    bool merged = false;    // the target's rows stay; the source's are added where missing
};

template <size_t N>
QStringList namesOf(const std::array<const char*, N>& names) {
    QStringList all;
    for (const char* name : names) all << QString::fromUtf8(name);
    return all;
}

TableShape recordShape() {
    return {QString::fromUtf8(schema::kRecordTable), QStringLiteral("record"), namesOf(schema::kRecordColumns),
            schema::kIdColumnIndex, {schema::kIdColumnIndex}, schema::kFirstPhotoColumnIndex, 3, &StoreCopyReport::records};
}

TableShape catalogueShape() {
    return {QString::fromUtf8(schema::kCatalogueTable), QStringLiteral("catalogue row"), namesOf(schema::kCatalogueColumns),
            -1, {}, -1, 0, &StoreCopyReport::catalogueRows};
}

TableShape historyShape() {
    return {QString::fromUtf8(history::kTable), QStringLiteral("history entry"), namesOf(history::kColumns), 0, {0, 1},
            history::kFirstPhoto, 3, &StoreCopyReport::historyEntries};
}

// The register: which certificate numbers were issued for what. A copy that forgot them would
// hand a number out again and call a genuine certificate unknown.
TableShape issueShape() {
    TableShape shape{QString::fromLatin1(certificates::kIssueTable), QStringLiteral("certificate issue"),
                     {"number", "record", "hash", "content", "issued", "issuedBy", "desk", "keyFingerprint", "copies",
                      "supersededBy"},
                     0, {0, 1, 8, 9}, -1, 0, &StoreCopyReport::certificateIssues};
    shape.numbered = true;
    return shape;
}

TableShape officeShape() {
    TableShape shape{QString::fromLatin1(certificates::kOfficeTable), QStringLiteral("office text"), {"name", "value"}, -1, {}, -1, 0};
    shape.order = QStringLiteral("name");
    return shape;
}

// The office's public keys are only ever added to: a key the target knows still verifies the
// certificates it signed after the copy.
TableShape keyShape() {
    TableShape shape{QString::fromLatin1(certificates::kKeyTable), QStringLiteral("public key"), {"fingerprint", "publicKey", "made"},
                     -1, {}, -1, 0};
    shape.order = QStringLiteral("fingerprint");
    shape.merged = true;
    return shape;
}

bool isPhoto(const TableShape& shape, int column) {
    return column >= shape.firstPhoto && column < shape.firstPhoto + shape.photos;
}

QString tableName(const TableShape& shape) { return shape.table; }

QString quotedColumns(const Connection& c, const TableShape& shape) {
    QStringList names;
    for (const QString& column : shape.columns) names << c.dialect().quote(column);
    return names.join(QStringLiteral(", "));
}

// The row as both engines agree on it: text as text, photos as bytes, "ID" as its digits, and
// an absent value apart from an empty one.
Digest digestOf(const TableShape& shape, const Row& row) {
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (int i = 0; i < row.size(); ++i) {
        const QVariant& v = row.at(i);
        if (!v.isValid() || v.isNull()) {
            hash.addData(QByteArrayView("\0", 1));
            continue;
        }
        const QByteArray bytes = isPhoto(shape, i) ? v.toByteArray() : v.toString().toUtf8();
        const qint64 size = bytes.size();
        hash.addData(QByteArrayView("\1", 1));
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&size), sizeof size));
        hash.addData(bytes);
    }
    Digest digest;
    const QByteArray result = hash.result();
    std::copy(result.cbegin(), result.cbegin() + digest.size(), digest.begin());
    return digest;
}

// What a merged row is known by: its key and what the key names, not when each store learnt it.
Row compared(const TableShape& shape, const Row& row) { return shape.merged ? row.mid(0, 2) : row; }

qint64 rowBytes(const Row& row) {
    qint64 bytes = 0;
    for (const QVariant& v : row) bytes += v.typeId() == QMetaType::QByteArray ? v.toByteArray().size() : 64;
    return bytes;
}

// Calls `each` with every row of the table in its order (records by "ID", the catalogue in its
// own order), a batch at a time.
bool forEachRow(Connection& c, const TableShape& shape, const std::function<bool(const Row&)>& each, QString* error) {
    const QString select = QStringLiteral("SELECT %1 FROM %2").arg(quotedColumns(c, shape), c.dialect().quote(tableName(shape)));
    const bool keyed = shape.key >= 0;
    const QString id = keyed ? c.dialect().quote(shape.columns.at(shape.key)) : QString();
    int limit = kFirstBatch;
    qint64 lastId = 0;
    qint64 offset = 0;
    for (;;) {
        QSqlQuery query(c.database());
        query.setForwardOnly(true);
        query.prepare(keyed ? select + QStringLiteral(" WHERE %1 > :after ORDER BY %1 LIMIT %2").arg(id).arg(limit)
                                    : select + QStringLiteral(" ORDER BY %1 LIMIT %2 OFFSET %3")
                                                   .arg(shape.order.isEmpty() ? c.catalogueOrder()
                                                        // one order of text on both engines
                                                        : c.dialect().quote(shape.order) +
                                                              (c.isServer() ? QStringLiteral(" COLLATE \"C\"") : QString()))
                                                   .arg(limit)
                                                   .arg(offset));
        if (keyed) query.bindValue(QStringLiteral(":after"), lastId);
        if (!query.exec()) {
            *error = query.lastError().text();
            return false;
        }
        std::vector<Row> batch;
        qint64 bytes = 0;
        while (query.next()) {
            Row row(int(shape.columns.size()));
            for (int i = 0; i < row.size(); ++i) row[i] = query.value(i);
            bytes += rowBytes(row);
            batch.push_back(std::move(row));
        }
        if (query.lastError().isValid()) {
            *error = query.lastError().text();
            return false;
        }
        query.finish();
        for (const Row& row : batch)
            if (!each(row)) return false;
        if (int(batch.size()) < limit) return true;
        if (keyed) lastId = batch.back().at(shape.key).toLongLong();
        offset += qint64(batch.size());
        limit = int(std::clamp<qint64>(kBatchBytes / std::max<qint64>(1, bytes / qint64(batch.size())), 1, kMaxBatch));
    }
}

// The rows of a table; nothing, with the store's words in `error` (the first kept), when it
// cannot be read.
std::optional<qint64> countOf(Connection& c, const TableShape& shape, QString* error) {
    QSqlQuery query(c.database());
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(c.dialect().quote(tableName(shape)))) || !query.next()) {
        if (error->isEmpty()) *error = query.lastError().text();
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

// Whether this session may act as the owner of the server's register.
bool ownsRegister(QSqlDatabase& db) {
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT COALESCE((SELECT pg_has_role(relowner, 'USAGE') FROM pg_class "
                                     "WHERE oid = to_regclass('\"%1\"')), false)")
                          .arg(QLatin1String(certificates::kKeyTable))) &&
           query.next() && query.value(0).toBool();
}

class Copier {
public:
    Copier(Connection& from, Connection& to, const StoreCopyProgress& progress)
        : from_(from), to_(to), progress_(progress) {}

    bool copy(const TableShape& shape, std::vector<Digest>& digests, StoreCopyReport& report) {
        QSqlQuery insert(to_.database());
        QStringList marks;
        for (int i = 0; i < shape.columns.size(); ++i) marks << QStringLiteral("?");
        const QString overriding = shape.numbered && to_.isServer() ? QStringLiteral(" OVERRIDING SYSTEM VALUE") : QString();
        const QString merging = shape.merged ? QStringLiteral(" ON CONFLICT DO NOTHING") : QString();
        if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2)%3 VALUES (%4)%5")
                                .arg(to_.dialect().quote(tableName(shape)), quotedColumns(to_, shape), overriding,
                                     marks.join(", "), merging)))
            return fail(report, QStringLiteral("%1 of the target cannot be written: %2")
                                    .arg(tableName(shape), insert.lastError().text()));
        QString error;
        const bool read = forEachRow(from_, shape, [&](const Row& row) {
            for (int i = 0; i < row.size(); ++i) {
                const QVariant& v = row.at(i);
                if (shape.numbers.contains(i))
                    insert.bindValue(i, v.isNull() ? QVariant(QMetaType(QMetaType::LongLong)) : QVariant(v.toLongLong()));
                else if (isPhoto(shape, i))
                    insert.bindValue(i, v.isNull() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(v.toByteArray()));
                else
                    insert.bindValue(i, v.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(v.toString()));
                if (isPhoto(shape, i) && !v.isNull() && shape.key == schema::kIdColumnIndex) ++report.photos;
            }
            if (!insert.exec()) {
                error = QStringLiteral("%1 %2 cannot be written to the target: %3")
                            .arg(shape.noun)
                            .arg(shape.key >= 0 ? row.at(shape.key).toLongLong() : qint64(digests.size() + 1))
                            .arg(insert.lastError().text());
                return false;
            }
            if (shape.merged && insert.numRowsAffected() > 0) report.addedKeys << row.at(0).toString();
            digests.push_back(digestOf(shape, compared(shape, row)));
            return step(report);
        }, &error);
        if (report.cancelled) return fail(report, QStringLiteral("stopped"));
        if (!read) return fail(report, error.isEmpty() ? QStringLiteral("the source cannot be read") : error);
        if (shape.tally) report.*shape.tally = qint64(digests.size());
        return true;
    }

    // The copy read back from the target, row by row against what was read from the source.
    bool verify(const TableShape& shape, const std::vector<Digest>& digests, StoreCopyReport& report) {
        size_t next = 0;
        QString error;
        if (shape.merged) {
            // Every row of the source is there, beside the target's own.
            std::vector<Digest> held;
            if (!forEachRow(to_, shape, [&](const Row& row) {
                    held.push_back(digestOf(shape, compared(shape, row)));
                    return true;
                }, &error))
                return fail(report, error);
            for (const Digest& d : digests)
                if (std::find(held.begin(), held.end(), d) == held.end())
                    return fail(report, QStringLiteral("the copy lacks a %1 of the source").arg(shape.noun));
            return true;
        }
        const bool read = forEachRow(to_, shape, [&](const Row& row) {
            if (next >= digests.size() || digestOf(shape, row) != digests[next]) {
                error = QStringLiteral("the copy differs from the source at %1 %2")
                            .arg(shape.noun)
                            .arg(shape.key >= 0 ? row.at(shape.key).toLongLong() : qint64(next + 1));
                return false;
            }
            ++next;
            return true;
        }, &error);
        if (!read) return fail(report, error.isEmpty() ? QStringLiteral("the copy cannot be read back") : error);
        if (next != digests.size())
            return fail(report, QStringLiteral("the copy holds %1 rows of %2, the source %3").arg(next).arg(tableName(shape)).arg(digests.size()));
        return true;
    }

    void setTotal(qint64 total) { total_ = total; }

private:
    bool fail(StoreCopyReport& report, const QString& error) {
        report.error = error;
        return false;
    }
    bool step(StoreCopyReport& report) {
        ++done_;
        if (progress_ && !progress_(done_, std::max(done_, total_))) report.cancelled = true;
        return !report.cancelled;
    }

    Connection& from_;
    Connection& to_;
    const StoreCopyProgress& progress_;
    qint64 done_ = 0;
    qint64 total_ = 0;
};

StoreCopyReport failed(const QString& error) {
    StoreCopyReport report;
    report.error = error;
    return report;
}

}  // namespace

StoreCopyReport copyStore(Connection& from, Connection& to, bool replace, const StoreCopyProgress& progress,
                          RegisterCopy registerCopy) {
    if (from.address().sameStore(to.address())) return failed(QStringLiteral("the source and the target are the same store"));
    if (to.isReadOnly()) return failed(QStringLiteral("the target can only be read"));
    // Replacing a whole server store is its owner's act, which an administrator takes the owner's role for.
    std::optional<offices::OwnersAct> acting;
    if (to.isServer() && !acting.emplace(to.database()).ok()) return failed(acting->error());
    QSqlDatabase source = from.database();
    QSqlDatabase target = to.database();
    const TableShape records = recordShape();
    const TableShape catalogue = catalogueShape();
    const TableShape entries = historyShape();
    const TableShape issues = issueShape();
    const TableShape office = officeShape();
    const TableShape keys = keyShape();
    // A store of an earlier version, read as it is, has no history or register to bring.
    const bool targetHistory = history::hasHistory(target);
    const bool withHistory = targetHistory && history::hasHistory(source);
    const bool targetRegister = certificates::hasRegister(target);
    const bool sourceRegister = targetRegister && certificates::hasRegister(source);
    const bool withRegister = sourceRegister && (!to.isServer() || registerCopy == RegisterCopy::Bring);
    if (to.isServer() && registerCopy == RegisterCopy::Bring && !ownsRegister(target))
        return failed(QStringLiteral("only the owner of the server's tables may bring a register and its keys into it"));

    // One consistent view of the source, whatever other desks save meanwhile.
    if (!source.transaction()) return failed(QStringLiteral("the source cannot be read: ") + source.lastError().text());
    if (from.isServer()) QSqlQuery(source).exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ"));
    auto done = [&](StoreCopyReport report) {
        source.rollback();
        if (!report.ok) target.rollback();
        return report;
    };
    QString unread;
    const std::optional<qint64> sourceRecords = countOf(from, records, &unread);
    const std::optional<qint64> sourceCatalogue = countOf(from, catalogue, &unread);
    const std::optional<qint64> highWater = recordIdHighWater(source);
    const std::optional<qint64> sourceEntries = withHistory ? countOf(from, entries, &unread) : 0;
    const std::optional<qint64> sourceIssues = sourceRegister ? countOf(from, issues, &unread) : 0;
    const std::optional<qint64> sourceKeys = sourceRegister ? countOf(from, keys, &unread) : 0;
    const std::optional<qint64> lastNumber = withRegister ? certificates::issuedHighWater(source) : 0;
    if (!sourceRecords || !sourceCatalogue || !highWater || !sourceEntries || !sourceIssues || !sourceKeys || !lastNumber)
        return done(failed(QStringLiteral("the source cannot be read: ") + unread));
    const std::optional<qint64> targetRecords = countOf(to, records, &unread);
    const std::optional<qint64> targetCatalogue = countOf(to, catalogue, &unread);
    const std::optional<qint64> targetEntries = targetHistory ? countOf(to, entries, &unread) : 0;
    const std::optional<qint64> targetIssues = withRegister ? countOf(to, issues, &unread) : 0;
    if (!targetRecords || !targetCatalogue || !targetEntries || !targetIssues)
        return done(failed(QStringLiteral("the target cannot be read: ") + unread));
    // A target whose records were all deleted still has their history and the certificates
    // issued for them: they are replaced only when asked.
    if (!replace && (*targetRecords > 0 || *targetCatalogue > 0 || *targetEntries > 0 || *targetIssues > 0))
        return done(failed(QStringLiteral("the target already holds %1 records and %2 catalogue rows; "
                                          "--replace replaces them")
                               .arg(*targetRecords)
                               .arg(*targetCatalogue)));

    // A register whose seals do not hold is not carried on to be sealed afresh. (One from before
    // the seals, read as it is, has none to check.)
    if (withRegister) {
        const certificates::RegisterCheck check = certificates::verifyRegister(source);
        if (!check.ok && check.badNumber != 0)
            return done(failed(QStringLiteral("the source's register does not hold together: ") + check.problem));
    }
    if (!target.transaction()) return done(failed(QStringLiteral("the target cannot be written: ") + target.lastError().text()));
    // A save waits for a lock only briefly; replacing a whole store may wait out another desk's
    // long read (a daily copy) a while longer, and still not without end.
    if (to.isServer()) QSqlQuery(target).exec(QStringLiteral("SET LOCAL lock_timeout = '60s'"));
    StoreCopyReport report;
    QString error;
    // The copy brings the source's history as it is: the target's triggers would add an entry of
    // their own for every record copied (and every one emptied).
    // The guards of who writes what give way to the owner's copy too.
    const QStringList suspend =
        targetHistory ? history::suspendStatements(to.dialect()) + offices::suspendGuardStatements(to.dialect()) : QStringList();
    for (const QString& sql : suspend) {
        QSqlQuery off(target);
        if (!off.exec(sql))
            return done(failed(QStringLiteral("the target's history cannot be copied (only the owner of its tables may): ") +
                               off.lastError().text()));
    }
    if (replace) {
        QList<const TableShape*> emptied{&records, &catalogue};
        if (targetHistory) emptied << &entries;
        if (withRegister) emptied << &issues << &office;
        for (const TableShape* shape : emptied) {
            QSqlQuery empty(target);
            if (!empty.exec(QStringLiteral("DELETE FROM ") + to.dialect().quote(tableName(*shape))))
                return done(failed(QStringLiteral("the target cannot be emptied: ") + empty.lastError().text()));
        }
        // The history copied in is sealed on from the empty chain.
        if (targetHistory && !history::resetHead(target, &error))
            return done(failed(QStringLiteral("the target cannot be emptied: ") + error));
    }
    Copier copier(from, to, progress);
    copier.setTotal(*sourceRecords + *sourceCatalogue + *sourceEntries + (withRegister ? *sourceIssues : 0));
    if (sourceRegister && !withRegister && (*sourceIssues > 0 || *sourceKeys > 0)) {
        report.registerLeft = true;
        report.issuesLeft = *sourceIssues;
        report.keysLeft = *sourceKeys;
    }
    std::vector<Digest> recordDigests, catalogueDigests, entryDigests, issueDigests, officeDigests, keyDigests;
    recordDigests.reserve(size_t(*sourceRecords));
    // What each copied table's digests are, in the order the checksum takes them.
    QList<std::pair<const TableShape*, std::vector<Digest>*>> copied{{&records, &recordDigests}, {&catalogue, &catalogueDigests}};
    if (withHistory) copied.append({&entries, &entryDigests});
    if (withRegister) copied << std::pair{&issues, &issueDigests} << std::pair{&office, &officeDigests} << std::pair{&keys, &keyDigests};
    for (const auto& [shape, digests] : copied)
        if (!copier.copy(*shape, *digests, report)) return done(report);
    if (!raiseRecordIds(target, *highWater, &error)) return done(failed(QStringLiteral("the target cannot number new records: ") + error));
    // A number the source gave out, even for an issue it took back since, is never given again.
    if (withRegister && !certificates::raiseIssueNumbers(target, *lastNumber, &error))
        return done(failed(QStringLiteral("the target cannot number new certificates: ") + error));
    for (const auto& [shape, digests] : copied)
        if (!copier.verify(*shape, *digests, report)) return done(report);
    // The copy's issues are sealed as the source's were: on a server by its trigger as they
    // went in, on a file here.
    if (withRegister && !certificates::sealRegister(target, &error))
        return done(failed(QStringLiteral("the target's register cannot be sealed: ") + error));
    // Entries the source's file had not sealed yet are sealed in the copy, in order.
    if (withHistory && !history::seal(target, &error))
        return done(failed(QStringLiteral("the target's history cannot be sealed: ") + error));
    for (const QString& sql : targetHistory ? history::resumeStatements(to.dialect()) + offices::resumeGuardStatements(to.dialect())
                                            : QStringList()) {
        QSqlQuery on(target);
        if (!on.exec(sql)) return done(failed(QStringLiteral("the target's history cannot be resumed: ") + on.lastError().text()));
    }
    if (!target.commit()) return done(failed(QStringLiteral("the target cannot commit: ") + target.lastError().text()));

    QCryptographicHash all(QCryptographicHash::Md5);
    for (const auto& [shape, digests] : copied)
        for (const Digest& d : *digests) all.addData(QByteArrayView(d.data(), qsizetype(d.size())));
    report.checksum = all.result().toHex();
    report.ok = true;
    return done(report);
}

}  // namespace zartav
