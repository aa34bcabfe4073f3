#include "print/certificate_pdf.h"

#include "print/certificate_content.h"
#include "print/certificate_issuer.h"

#include <QMarginsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <future>

namespace zartav::print {

namespace {

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
    // photos, the costly part, is handed to a second one while the page before is drawn.
    // What an issue covers digests the photos' bytes: that too is done there, before they are decoded.
    const bool issuing = run.issuer != nullptr;
    auto fetch = [&](int page) {
        std::optional<CertificateRecord> record = source.record(page - 1);
        return std::async(std::launch::async, [record = std::move(record), &layout, dotsPerMm, issuing]() mutable {
            if (record && issuing) record->content = certificateContentText(*record);
            if (record) preparePhotos(*record, layout, dotsPerMm);
            return std::move(record);
        });
    };
    std::future<std::optional<CertificateRecord>> next = fetch(first);
    for (int page = first; page <= last; ++page) {
        std::optional<CertificateRecord> record = next.get();
        if (!record)
            return failWith(error, QStringLiteral("record ID %1 cannot be read: %2")
                                       .arg(source.failedId())
                                       .arg(source.errorText()));
        QString why;
        if (run.issuer && !run.issuer->issue(*record, &why))
            return failWith(error, QStringLiteral("the certificate of record ID %1 could not be entered in the register: %2")
                                       .arg(record->value(QStringLiteral("ID")), why));
        if (page < last) next = fetch(page + 1);
        if (page > first && !device.newPage()) return failWith(error, QStringLiteral("cannot add a page"));
        paintCertificate(painter, paper, layout, *record);
        record.reset();
        if (run.progress && !run.progress(page - first + 1, last - first + 1)) return PrintOutcome::Cancelled;
    }
    return PrintOutcome::Done;
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
    return writePdf(out, QStringLiteral("شناسنامه"), paper ? *paper : certificatePageLayout(layout),
                    certificatePages(layout, source, run), error);
}

PrintOutcome writeCertificatesPdf(const QString& path, const CertificateLayout& layout, CertificateSource& source,
                                  const PageRun& run, QString* error, const std::optional<QPageLayout>& paper) {
    return writePdf(path, QStringLiteral("شناسنامه"), paper ? *paper : certificatePageLayout(layout),
                    certificatePages(layout, source, run), error);
}

}  // namespace zartav::print
