#include "print/certificate_source.h"

#include "data/record_schema.h"
#include "data/tdm.h"

#include <algorithm>

namespace zartav::print {

CertificateRecord certificateRecordFromTable(const RecordTable& table) {
    CertificateRecord record;
    for (const char* name : schema::kRecordColumns) {
        const QString column = schema::column(name);
        const bool photo = std::any_of(schema::kPhotoColumns.begin(), schema::kPhotoColumns.end(),
                                       [&](const char* p) { return column == QString::fromUtf8(p); });
        if (photo) record.pictures.insert(column, table.photo(column));
        else record.values.insert(column, table.value(column));
    }
    record.values.insert(schema::column(schema::kId), QString::number(table.id()));
    return record;
}

std::nullopt_t CertificateSource::fail(qint64 id, const QString& why, bool missing) {
    failedId_ = id;
    errorText_ = why;
    recordMissing_ = missing;
    return std::nullopt;
}

namespace {

// A read of pages is kept near this many bytes of photos, whatever they weigh; the first read is
// small because nothing is known of the records yet.
constexpr qint64 kReadBytes = 16ll * 1024 * 1024;
constexpr int kFirstRead = 2;
constexpr int kMostPerRead = 64;

}  // namespace

StoredCertificates::StoredCertificates(Connection& connection, QList<qint64> ids)
    : connection_(connection), ids_(std::move(ids)), perRead_(kFirstRead) {}

StoredCertificates::~StoredCertificates() = default;

std::optional<CertificateRecord> StoredCertificates::record(int index) {
    if (index < 0 || index >= ids_.size()) return fail(ids_.value(index), QStringLiteral("no page %1").arg(index + 1));
    if (const auto it = read_.find(index); it != read_.end()) return read_.take(index);
    read_.clear();
    QList<qint64> wanted;
    for (int i = index; i < ids_.size() && wanted.size() < perRead_; ++i) wanted << ids_[i];
    QString why;
    const std::optional<QList<QVector<QVariant>>> rows = readWholeRecords(connection_, wanted, &why);
    if (!rows) return fail(ids_[index], why);
    QHash<qint64, const QVector<QVariant>*> byId;
    qint64 bytes = 0;
    for (const QVector<QVariant>& row : *rows) {
        byId.insert(row.at(schema::kIdColumnIndex).toLongLong(), &row);
        for (int p = 0; p < int(schema::kPhotoColumns.size()); ++p)
            bytes += row.at(schema::kFirstPhotoColumnIndex + p).toByteArray().size();
    }
    for (int i = 0; i < wanted.size(); ++i) {
        const QVector<QVariant>* row = byId.value(wanted[i]);
        // A record deleted meanwhile stops the job at its page, not before.
        if (!row) {
            if (i == 0) return fail(wanted[0], QStringLiteral("the record with ID %1 is no longer in the store").arg(wanted[0]), true);
            break;
        }
        CertificateRecord record;
        for (int c = 0; c < int(schema::kRecordColumns.size()); ++c) {
            const QString column = schema::column(schema::kRecordColumns[c]);
            const QVariant& v = row->at(c);
            if (c >= schema::kFirstPhotoColumnIndex) record.pictures.insert(column, v.toByteArray());
            else record.values.insert(column, v.isNull() ? QString() : v.toString());
        }
        read_.insert(index + i, std::move(record));
    }
    const qint64 each = rows->isEmpty() ? 0 : bytes / rows->size();
    perRead_ = int(std::clamp<qint64>(each > 0 ? kReadBytes / each : kMostPerRead, 1, kMostPerRead));
    return read_.take(index);
}

std::optional<QList<qint64>> storedRecordIds(Connection& connection, const std::optional<QString>& herd,
                                             QString* error, const QString& findText) {
    RecordTable table(connection);
    if (herd) {
        table.setFilter(schema::column("كد گله"), *herd);
        table.setFiltered(true);
    }
    table.setFind(findText);
    QList<qint64> ids;
    if (!table.forEachShown({}, [&](qint64 id, const QVector<QVariant>&) {
            ids << id;
            return true;
        }, error))
        return std::nullopt;
    return ids;
}

}  // namespace zartav::print
