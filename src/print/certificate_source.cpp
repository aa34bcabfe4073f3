#include "print/certificate_source.h"

#include "data/record_schema.h"
#include "data/tdm.h"

#include <algorithm>

namespace zartav::print {

CertificateRecord certificateRecordFromTable(RecordTable& table) {
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

StoredCertificates::StoredCertificates(Connection& connection, QList<qint64> ids)
    : table_(std::make_unique<RecordTable>(connection)), ids_(std::move(ids)) {}

StoredCertificates::~StoredCertificates() = default;

std::optional<CertificateRecord> StoredCertificates::record(int index) {
    const qint64 id = ids_.value(index);
    if (!table_->isOpen() && !table_->open()) return fail(id, table_->errorText());
    // Narrowed to the one "ID": a key lookup, whatever the size of the table.
    if (!table_->setFilter(schema::column(schema::kId), id)) return fail(id, table_->errorText());
    if (!table_->isFiltered() && !table_->setFiltered(true)) return fail(id, table_->errorText());
    // A row that is there but cannot be read (a link lost on the way) is not a deleted record.
    if (table_->rowCount() == 1 && !table_->setCurrentRow(0)) return fail(id, table_->errorText());
    if (table_->rowCount() != 1 || table_->id() != id)
        return fail(id, QStringLiteral("the record with ID %1 is no longer in the store").arg(id), true);
    return certificateRecordFromTable(*table_);
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
