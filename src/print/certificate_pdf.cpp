#include "print/certificate_pdf.h"

#include "print/certificate_content.h"
#include "print/certificate_issuer.h"

#include <QMarginsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <chrono>
#include <deque>
#include <future>
#include <vector>

namespace zartav::print {

namespace {

constexpr int kDecodingAtOnce = 1;

PrintOutcome failWith(QString* error, const QString& why) {
    if (error) *error = why;
    return PrintOutcome::Failed;
}

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

    // Reading goes through the store's connection, which belongs to this thread; decoding the
    // photos, the costly part, is handed to other threads while the pages before are drawn.
    // What an issue covers digests the photos' bytes: that too is done there, before they are decoded.
    const bool issuing = run.issuer != nullptr;
    bool unread = false;  // a record could not be read: nothing after it is read
    auto fetch = [&](int page) {
        std::optional<CertificateRecord> record = source.record(page - 1);
        unread = !record;
        return std::async(std::launch::async, [record = std::move(record), &layout, dotsPerMm, issuing]() mutable {
            if (record && issuing) record->content = certificateContentText(*record);
            if (record) preparePhotos(*record, layout, dotsPerMm);
            return std::move(record);
        });
    };
    std::deque<std::future<std::optional<CertificateRecord>>> ahead;
    int fetched = first - 1;
    // Records still being decoded hold their stored photos, megabytes each: one at a time.
    auto readAhead = [&](int upTo) {
        while (!unread && fetched < std::min(upTo, last)) {
            int busy = 0;
            for (auto& f : ahead)
                if (f.wait_for(std::chrono::seconds(0)) != std::future_status::ready && ++busy == kDecodingAtOnce) f.wait();
            ahead.push_back(fetch(++fetched));
        }
    };
    auto unreadable = [&] {
        return failWith(error, QStringLiteral("record ID %1 cannot be read: %2").arg(source.failedId()).arg(source.errorText()));
    };
    // The pages of a batch are issued together, before the first of them is drawn, and the next
    // batch is read and decoded while they are.
    std::vector<CertificateRecord> batch;
    size_t next = 0;
    for (int page = first; page <= last; ++page) {
        if (next == batch.size()) {
            const int end = std::min(last, page + kIssueBatch - 1);
            readAhead(end);
            batch.clear();
            next = 0;
            for (int p = page; p <= end; ++p) {
                if (ahead.empty()) return unreadable();
                std::optional<CertificateRecord> record = ahead.front().get();
                ahead.pop_front();
                if (!record) return unreadable();
                batch.push_back(std::move(*record));
            }
            QList<CertificateRecord*> issued;
            for (CertificateRecord& record : batch) issued << &record;
            QString why;
            if (run.issuer && !run.issuer->issue(issued, &why))
                return failWith(error, QStringLiteral("the certificates of records ID %1 to %2 could not be entered in the register: %3")
                                           .arg(batch.front().value(QStringLiteral("ID")), batch.back().value(QStringLiteral("ID")), why));
        }
        if (page > first && !device.newPage()) return failWith(error, QStringLiteral("cannot add a page"));
        paintCertificate(painter, paper, layout, batch[next]);
        batch[next++] = CertificateRecord();
        // After the page, not before: the wait for a decoding under way is spent drawing.
        readAhead(page + kIssueBatch);
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
