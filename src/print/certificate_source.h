#pragma once

// Where the certificates of a print job come from: records read one at a time, in page order,
// so a herd of ten thousand calves never sits in memory at once.

#include "print/certificate_renderer.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace zartav {
class Connection;
class RecordTable;
}  // namespace zartav

namespace zartav::print {

// The current record of the record table as the renderer takes it: every column's text and the
// three photos' bytes.
CertificateRecord certificateRecordFromTable(RecordTable& table);

class CertificateSource {
public:
    virtual ~CertificateSource() = default;
    virtual int count() const = 0;
    // The record of page `index` (from 0); nothing when it cannot be read.
    virtual std::optional<CertificateRecord> record(int index) = 0;

    // After a record that could not be read: its "ID", the store's own words, and whether the
    // record is no longer there (deleted meanwhile) rather than the store unreadable.
    qint64 failedId() const { return failedId_; }
    QString errorText() const { return errorText_; }
    bool recordMissing() const { return recordMissing_; }

protected:
    std::nullopt_t fail(qint64 id, const QString& why, bool missing = false);

private:
    qint64 failedId_ = 0;
    QString errorText_;
    bool recordMissing_ = false;
};

// Records already in memory: the one certificate of Print.
class CertificateList final : public CertificateSource {
public:
    explicit CertificateList(QList<CertificateRecord> records) : records_(std::move(records)) {}
    int count() const override { return int(records_.size()); }
    std::optional<CertificateRecord> record(int index) override { return records_.value(index); }

private:
    QList<CertificateRecord> records_;
};

// Records of the store, named by "ID", each read when its page is wanted through a record
// table of its own (the main window's table and its filter are left alone).
class StoredCertificates final : public CertificateSource {
public:
    StoredCertificates(Connection& connection, QList<qint64> ids);
    ~StoredCertificates() override;
    int count() const override { return int(ids_.size()); }
    std::optional<CertificateRecord> record(int index) override;

private:
    std::unique_ptr<RecordTable> table_;
    QList<qint64> ids_;
};

// The "ID"s of every record, or of the records of one herd, in "ID" order, narrowed by the find
// text when there is one (RecordTable::setFind); nothing when the store cannot be read (`error`
// says why).
std::optional<QList<qint64>> storedRecordIds(Connection& connection, const std::optional<QString>& herd,
                                             QString* error = nullptr, const QString& findText = {});

}  // namespace zartav::print
