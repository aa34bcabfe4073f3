#pragma once

// Where the certificates of a print job come from: records read a few pages at a time, in page
// order, so a herd of ten thousand calves never sits in memory at once.

#include "print/certificate_renderer.h"

#include <QFuture>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace zartav {
class Connection;
class StoreLink;
class StoreWorker;
}  // namespace zartav

namespace zartav::print {

// Why a record could not be read: its "ID", the store's own words, and whether the record is no
// longer there (deleted meanwhile) rather than the store unreadable.
struct UnreadRecord {
    qint64 id = 0;
    QString why;
    bool missing = false;
};

// The records of pages read together: those of pages `first`, `first` + 1... in page order. A
// read that stopped at a record that could not be read holds the records before it and says why
// the next one failed.
struct RecordChunk {
    int first = 0;
    QList<CertificateRecord> records;
    std::optional<UnreadRecord> failure;
};

class CertificateSource {
public:
    virtual ~CertificateSource() = default;
    virtual int count() const = 0;
    // The record of page `index` (from 0); nothing when it cannot be read. A source that reads
    // the store waits for it.
    virtual std::optional<CertificateRecord> record(int index) = 0;
    // Starts reading the records of pages `first` to `last`, or of as many of them from `first`
    // on as one read takes, and answers without waiting for the store where the source reads
    // through a worker on a thread of its own. Sources held in memory answer at once.
    virtual QFuture<RecordChunk> read(int first, int last);

    // After a record that could not be read: its "ID", the store's own words, and whether the
    // record is no longer there (deleted meanwhile) rather than the store unreadable.
    qint64 failedId() const { return failure_.id; }
    QString errorText() const { return failure_.why; }
    bool recordMissing() const { return failure_.missing; }
    // Takes on the failure of a read made through read(), for those who ask the source.
    std::nullopt_t takeFailure(const UnreadRecord& failure);

protected:
    std::nullopt_t fail(qint64 id, const QString& why, bool missing = false) { return takeFailure({id, why, missing}); }

private:
    UnreadRecord failure_;
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

// Records of the store, named by "ID", read through a store worker several pages a statement
// (the main window's table and its filter are left alone). How many a statement takes follows
// the size of the photos read so far, so a read holds a few tens of megabytes of them at most.
class StoredCertificates final : public CertificateSource {
public:
    StoredCertificates(StoreWorker& worker, QList<qint64> ids);
    // Through a worker of its own: the window's, on a thread of its own.
    StoredCertificates(std::unique_ptr<StoreWorker> worker, QList<qint64> ids);
    // Through an inline worker of its own over `connection`: every read done before it answers.
    StoredCertificates(Connection& connection, QList<qint64> ids);
    ~StoredCertificates() override;
    int count() const override { return int(ids_.size()); }
    std::optional<CertificateRecord> record(int index) override;
    QFuture<RecordChunk> read(int first, int last) override;

    // Most records one statement reads, and about how many bytes of photos it may hold: records
    // of the largest photos the program stores (17 MB each) come one a statement, which keeps a
    // batch fastest and its memory lowest; records of small photos, or none, many a statement.
    static constexpr int kMostPerRead = 16;
    static constexpr qint64 kReadBytes = 24ll * 1024 * 1024;

private:
    std::unique_ptr<StoreWorker> own_;
    StoreWorker& worker_;
    QList<qint64> ids_;
    // What the reads learn of the records' size, on whichever thread they run.
    struct Sizes;
    std::shared_ptr<Sizes> sizes_;
    RecordChunk held_;  // the last chunk record() read, handed out page by page
};

// The records `ids`, photos and all, read in one statement over `link` as the pages from `first`
// on: those found in order up to the first that could not be read, which is the chunk's failure.
RecordChunk readRecordChunk(StoreLink& link, int first, const QList<qint64>& ids);

// The "ID"s of every record, or of the records of one herd, in "ID" order, narrowed by the find
// text when there is one (RecordTable::setFind), read through `worker`; nothing when the store
// cannot be read (`error` says why).
std::optional<QList<qint64>> storedRecordIds(StoreWorker& worker, const std::optional<QString>& herd,
                                             QString* error = nullptr, const QString& findText = {});

// Waits for `future`: on the window's thread in an event loop that keeps the windows painting
// (user input held back), elsewhere simply.
void waitPainting(QFuture<RecordChunk> future);

}  // namespace zartav::print
