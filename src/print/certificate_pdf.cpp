#include "print/certificate_pdf.h"

#include "print/certificate_content.h"
#include "print/certificate_issuer.h"
#include "util/bidi_text.h"

#include <QMarginsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <QThread>
#include <QThreadPool>

#include <chrono>
#include <algorithm>
#include <deque>
#include <future>
#include <memory>
#include <vector>

namespace zartav::print {

namespace {

// Records read and made ready to draw ahead of the page drawn: while fewer than this many wait,
// the source is asked for more (one read at a time), so the store is read while pages are
// drawn. A record waiting undecoded holds its stored photos (17 MB at the largest the program
// stores): the next read waits until no more than this many do, so memory holds a couple of
// reads whatever the length of the job.
constexpr int kWaitingPages = kIssueBatch + 2;
constexpr int kUndecoded = 1;

PrintOutcome failWith(QString* error, const QString& why) {
    if (error) *error = why;
    return PrintOutcome::Failed;
}

// The pages of a job in page order, each record read ahead through the source and prepared (its
// content digested, its photos decoded) on a thread of a pool of its own, never on the thread
// that draws. A record's stored photos, megabytes each, are let go once they are decoded.
class PagesAhead {
public:
    using Prepare = std::function<void(CertificateRecord&)>;
    PagesAhead(CertificateSource& source, int first, int last, Prepare prepare)
        : source_(source), next_(first), last_(last), prepare_(std::move(prepare)) {
        pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    }
    ~PagesAhead() {
        pool_.clear();
        pool_.waitForDone();
    }
    PagesAhead(const PagesAhead&) = delete;
    PagesAhead& operator=(const PagesAhead&) = delete;

    // Takes in a read that has arrived and asks for the next one when few pages wait: called
    // between pages, so a read arriving while a page is drawn is decoded while the next is.
    void pump() {
        if (reading_ && reading_->isFinished()) collect();
        while (!reading_ && !failure_ && next_ <= last_ && int(waiting_.size()) < kWaitingPages &&
               undecoded() <= kUndecoded) {
            reading_ = source_.read(next_, last_);
            if (!reading_->isFinished()) break;
            collect();  // read at once: inline, or held in memory
        }
    }

    // The record of the next page, waiting for it; nothing when it could not be read (the
    // source then says why).
    std::optional<CertificateRecord> take() {
        pump();
        while (waiting_.empty()) {
            if (!reading_) {
                source_.takeFailure(failure_.value_or(UnreadRecord{0, QStringLiteral("no more pages"), false}));
                return std::nullopt;
            }
            waitPainting(*reading_);
            pump();
        }
        std::future<CertificateRecord> ready = std::move(waiting_.front());
        waiting_.pop_front();
        CertificateRecord record = ready.get();
        pump();
        return record;
    }

private:
    int undecoded() const {
        return int(std::count_if(waiting_.begin(), waiting_.end(), [](const std::future<CertificateRecord>& f) {
            return f.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
        }));
    }
    void collect() {
        RecordChunk chunk;
        if (reading_->resultCount() > 0) chunk = reading_->takeResult();
        else chunk.failure = UnreadRecord{0, QStringLiteral("the read was stopped"), false};
        reading_.reset();
        for (CertificateRecord& record : chunk.records) {
            auto task = std::make_shared<std::packaged_task<CertificateRecord()>>(
                [record = std::move(record), prepare = prepare_]() mutable {
                    prepare(record);
                    return std::move(record);
                });
            waiting_.push_back(task->get_future());
            pool_.start([task] { (*task)(); });
        }
        next_ += int(chunk.records.size());
        if (chunk.failure) failure_ = chunk.failure;
        else if (chunk.records.isEmpty()) failure_ = UnreadRecord{0, QStringLiteral("nothing was read"), false};
    }

    CertificateSource& source_;
    int next_;  // the first page (from 0) not asked for yet
    int last_;
    Prepare prepare_;
    std::optional<QFuture<RecordChunk>> reading_;
    std::optional<UnreadRecord> failure_;  // of the page after those waiting
    std::deque<std::future<CertificateRecord>> waiting_;
    QThreadPool pool_;
};

}  // namespace

QPageLayout certificatePageLayout(const CertificateLayout& layout) {
    // The renderer places everything from the paper's corner, margins included.
    const QPageSize size(QSizeF(layout.page.width, layout.page.height), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter);
}

PrintOutcome paintCertificatePages(QPainter& painter, QPagedPaintDevice& device, const CertificateLayout& layout,
                                   CertificateSource& source, const PageRun& run, QString* error) {
    const int first = std::max(1, run.first);
    const int last = run.last > 0 ? std::min(run.last, source.count()) : source.count();
    if (first > last) return failWith(error, QStringLiteral("no certificate to print"));
    const double dotsPerMm = device.logicalDpiX() / 25.4;
    const QRectF paper(0, 0, layout.page.width * dotsPerMm, layout.page.height * dotsPerMm);

    // What an issue covers digests the photos' bytes: that too is done off this thread, before
    // they are decoded.
    const bool issuing = run.issuer != nullptr;
    PagesAhead ahead(source, first - 1, last - 1, [&layout, dotsPerMm, issuing](CertificateRecord& record) {
        if (issuing) record.content = certificateContentText(record);
        preparePhotos(record, layout, dotsPerMm);
    });
    auto unreadable = [&] {
        return failWith(error, QStringLiteral("record ID %1 cannot be read: %2").arg(source.failedId()).arg(source.errorText()));
    };
    // The pages of a batch are issued together, before the first of them is drawn, and the
    // records after them are read and decoded while they are.
    std::vector<CertificateRecord> batch;
    size_t next = 0;
    for (int page = first; page <= last; ++page) {
        if (next == batch.size()) {
            const int end = std::min(last, page + kIssueBatch - 1);
            batch.clear();
            next = 0;
            for (int p = page; p <= end; ++p) {
                std::optional<CertificateRecord> record = ahead.take();
                if (!record) return unreadable();
                batch.push_back(std::move(*record));
            }
            QList<CertificateRecord*> issued;
            for (CertificateRecord& record : batch) issued << &record;
            QString why;
            if (run.issuer && !run.issuer->issue(issued, &why))
                return failWith(error, withEngineWords(QStringLiteral("شناسنامه ركوردهاي شماره %1 تا %2 در دفتر صدور گواهي ها ثبت نشد و چاپ نشد.")
                                                           .arg(batch.front().value(QStringLiteral("ID")), batch.back().value(QStringLiteral("ID"))),
                                                       why));
        }
        if (page > first && !device.newPage()) return failWith(error, QStringLiteral("cannot add a page"));
        paintCertificate(painter, paper, layout, batch[next]);
        batch[next++] = CertificateRecord();
        ahead.pump();
        if (run.progress && !run.progress(page - first + 1, last - first + 1)) return PrintOutcome::Cancelled;
    }
    return PrintOutcome::Done;
}

PrintOutcome settleIssues(PrintOutcome outcome, const PageRun& run, QString* error) {
    if (outcome == PrintOutcome::Done || !run.issuer) return outcome;
    QString why;
    if (!run.issuer->withdraw(&why))
        return failWith(error, QStringLiteral("nothing was printed, but the numbers given to its certificates could not be "
                                              "taken back out of the register: %1").arg(why));
    return outcome;
}

PrintOutcome writePdf(QIODevice& out, const QString& title, const QPageLayout& paper, const PagePainter& paint,
                      QString* error) {
    QPdfWriter writer(&out);
    writer.setCreator(QStringLiteral("Zartav"));
    writer.setTitle(title);
    writer.setResolution(1200);
    writer.setPageLayout(paper);
    QPainter painter;
    if (!painter.begin(&writer)) return failWith(error, QStringLiteral("cannot start the PDF"));
    const PrintOutcome outcome = paint(painter, writer, error);
    if (!painter.end() && outcome == PrintOutcome::Done) return failWith(error, QStringLiteral("cannot finish the PDF"));
    return outcome;
}

PrintOutcome writePdf(const QString& path, const QString& title, const QPageLayout& paper, const PagePainter& paint,
                      QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return failWith(error, file.errorString());
    const PrintOutcome outcome = writePdf(file, title, paper, paint, error);
    if (outcome != PrintOutcome::Done) {
        file.cancelWriting();  // the temporary file goes with `file`
        return outcome;
    }
    if (!file.commit()) return failWith(error, file.errorString());
    return PrintOutcome::Done;
}

namespace {

PagePainter certificatePages(const CertificateLayout& layout, CertificateSource& source, const PageRun& run) {
    return [&layout, &source, run](QPainter& painter, QPagedPaintDevice& device, QString* error) {
        return paintCertificatePages(painter, device, layout, source, run, error);
    };
}

}  // namespace

PrintOutcome writeCertificatesPdf(QIODevice& out, const CertificateLayout& layout, CertificateSource& source,
                                  const PageRun& run, QString* error, const std::optional<QPageLayout>& paper) {
    return settleIssues(writePdf(out, QStringLiteral("شناسنامه"), paper ? *paper : certificatePageLayout(layout),
                                 certificatePages(layout, source, run), error),
                        run, error);
}

PrintOutcome writeCertificatesPdf(const QString& path, const CertificateLayout& layout, CertificateSource& source,
                                  const PageRun& run, QString* error, const std::optional<QPageLayout>& paper) {
    return settleIssues(writePdf(path, QStringLiteral("شناسنامه"), paper ? *paper : certificatePageLayout(layout),
                                 certificatePages(layout, source, run), error),
                        run, error);
}

}  // namespace zartav::print
