#include "print/certificate_source.h"

#include "data/records/record_filter.h"
#include "data/records/record_reads.h"
#include "data/schema/record_schema.h"
#include "data/link/store_worker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QPromise>
#include <QThread>

#include <algorithm>
#include <atomic>

namespace zartav::print {

namespace {

// Before any photo has been read nothing is known of their size: the first read takes one record.
constexpr int kFirstRead = 1;

CertificateRecord certificateRecord(qint64 id, const reads::StoredRecord& stored) {
    CertificateRecord record;
    for (int i = 0; i < int(schema::kRecordColumns.size()); ++i) {
        const QString column = schema::column(schema::kRecordColumns[i]);
        const QVariant& value = stored.values.at(i);
        if (schema::isPhotoColumn(i)) record.pictures.insert(column, value.toByteArray());
        else record.values.insert(column, schema::textOf(value));
    }
    record.values.insert(schema::column(schema::kId), QString::number(id));
    return record;
}

qint64 photoBytes(const CertificateRecord& record) {
    qint64 bytes = 0;
    for (const QByteArray& picture : record.pictures) bytes += picture.size();
    return bytes;
}

RecordChunk chunkOf(QFuture<RecordChunk>& future, int first, qint64 firstId) {
    waitPainting(future);
    if (future.resultCount() > 0) return future.takeResult();
    // The worker let the read go unanswered: it stopped with the store it read.
    RecordChunk chunk;
    chunk.first = first;
    chunk.failure = UnreadRecord{firstId, QStringLiteral("the read was stopped"), false};
    return chunk;
}

}  // namespace

std::nullopt_t CertificateSource::takeFailure(const UnreadRecord& failure) {
    failure_ = failure;
    return std::nullopt;
}

QFuture<RecordChunk> CertificateSource::read(int first, int last) {
    RecordChunk chunk;
    chunk.first = first;
    for (int i = first; i <= std::min(last, count() - 1); ++i) {
        std::optional<CertificateRecord> record = this->record(i);
        if (!record) {
            chunk.failure = failure_;
            break;
        }
        chunk.records << std::move(*record);
    }
    return QtFuture::makeReadyFuture(std::move(chunk));
}

struct StoredCertificates::Sizes {
    std::atomic<qint64> bytes{0};
    std::atomic<qint64> records{0};

    int perRead(bool server) const {
        const qint64 read = records;
        if (read == 0) return kFirstRead;
        // The server sends a photo as hex text, twice its size, and the answer is held whole
        // while the photos are taken out of it.
        const qint64 each = std::max<qint64>(1, bytes / read) * (server ? 2 : 1);
        return int(std::clamp<qint64>(kReadBytes / each, 1, kMostPerRead));
    }
};

StoredCertificates::StoredCertificates(StoreWorker& worker, QList<qint64> ids)
    : worker_(worker), ids_(std::move(ids)), sizes_(std::make_shared<Sizes>()) {}

StoredCertificates::StoredCertificates(std::unique_ptr<StoreWorker> worker, QList<qint64> ids)
    : own_(std::move(worker)), worker_(*own_), ids_(std::move(ids)), sizes_(std::make_shared<Sizes>()) {}

StoredCertificates::StoredCertificates(Connection& connection, QList<qint64> ids)
    : StoredCertificates(std::make_unique<StoreWorker>(connection, StoreWorker::Mode::Inline), std::move(ids)) {}

StoredCertificates::~StoredCertificates() = default;

QFuture<RecordChunk> StoredCertificates::read(int first, int last) {
    if (first < 0 || first >= count()) {
        RecordChunk none;
        none.first = first;
        none.failure = UnreadRecord{0, QStringLiteral("no page %1").arg(first + 1), false};
        return QtFuture::makeReadyFuture(std::move(none));
    }
    const int pages = std::clamp(std::min(last, count() - 1) - first + 1, 1, sizes_->perRead(worker_.connection().isServer()));
    auto promise = std::make_shared<QPromise<RecordChunk>>();
    QFuture<RecordChunk> future = promise->future();
    promise->start();
    worker_.post([promise, first, ids = ids_.mid(first, pages), sizes = sizes_](StoreLink& link) {
        RecordChunk chunk = readRecordChunk(link, first, ids);
        qint64 bytes = 0;
        for (const CertificateRecord& record : std::as_const(chunk.records)) bytes += photoBytes(record);
        sizes->bytes += bytes;
        sizes->records += chunk.records.size();
        promise->addResult(std::move(chunk));
        promise->finish();
    });
    return future;
}

std::optional<CertificateRecord> StoredCertificates::record(int index) {
    if (index < 0 || index >= count()) return fail(ids_.value(index), QStringLiteral("no page %1").arg(index + 1));
    qsizetype at = index - held_.first;
    const bool held = at >= 0 && (at < held_.records.size() || (at == held_.records.size() && held_.failure));
    if (!held) {
        QFuture<RecordChunk> future = read(index, index + kMostPerRead - 1);
        held_ = chunkOf(future, index, ids_.at(index));
        at = 0;
    }
    if (at < held_.records.size()) return held_.records.at(at);
    return takeFailure(*held_.failure);
}

RecordChunk readRecordChunk(StoreLink& link, int first, const QList<qint64>& ids) {
    RecordChunk chunk;
    chunk.first = first;
    QString error;
    // One statement for the pages, photos and all: each record's overflow pages are walked
    // once, where a statement a photo walks the photos before it again.
    const std::optional<QHash<qint64, reads::StoredRecord>> found =
        withLink(link, [&] { return reads::RecordsRead(link.database(), ids, true).result(&error); });
    if (!found) {
        chunk.failure = UnreadRecord{ids.value(0), error, false};
        return chunk;
    }
    for (const qint64 id : ids) {
        const auto stored = found->constFind(id);
        // A record deleted meanwhile stops the job at its page, not before.
        if (stored == found->cend()) {
            chunk.failure = UnreadRecord{id, QStringLiteral("the record with ID %1 is no longer in the store").arg(id), true};
            break;
        }
        chunk.records << certificateRecord(id, *stored);
    }
    return chunk;
}

std::optional<QList<qint64>> storedRecordIds(StoreWorker& worker, const std::optional<QString>& herd, QString* error,
                                             const QString& findText) {
    // The list's own narrowing: the herd as its tabs fold it, and the find text.
    RecordFilter filter;
    if (herd) {
        filter.column = schema::kHerdColumnIndex;
        filter.value = find::fold(*herd);
        filter.on = true;
    }
    filter.findText = findText;
    filter.folded = find::fold(findText);
    std::optional<QList<qint64>> ids;
    QString why;
    worker.call([&](StoreLink& link) {
        ids = withLink(link, [&] { return reads::IdsRead(link.database(), filter).result(&why); });
    });
    if (!ids && error) *error = why;
    return ids;
}

void waitPainting(QFuture<RecordChunk> future) {
    if (future.isFinished()) return;
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        future.waitForFinished();
        return;
    }
    QEventLoop waiting;
    QFutureWatcher<RecordChunk> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &waiting, &QEventLoop::quit);
    watcher.setFuture(future);
    while (!future.isFinished()) waiting.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace zartav::print
