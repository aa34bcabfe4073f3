#pragma once

// Pages of many certificates onto any paged device (a PDF file, a printer's spool), their records
// read a few at a time: memory stays the same for ten pages and for ten thousand.

#include "print/certificate_layout.h"
#include "print/certificate_source.h"

#include <QPageLayout>
#include <QString>
#include <functional>
#include <optional>

class QIODevice;
class QPainter;
class QPagedPaintDevice;

namespace zartav::print {

class CertificateIssuer;

enum class PrintOutcome { Done, Cancelled, Failed };

// Which pages to put out (numbered from 1, as print dialogs count them; last 0 means to the
// end), and who hears how far it has got: told after every page, it answers false to stop.
struct PageRun {
    int first = 1;
    int last = 0;
    std::function<bool(int done, int total)> progress;
    // Issues each page's certificate before it is drawn (printing and files); none draws them
    // without a code.
    CertificateIssuer* issuer = nullptr;
};

// Pages issued in one transaction of the register; as many are read and decoded ahead.
inline constexpr int kIssueBatch = 4;

// Paints the pages of `run` with `painter`, already begun on `device`; positions are true
// millimetres from each sheet's corner. While pages are drawn the records after them are read
// (on the source's worker, a statement for several) and their photos decoded on other threads,
// so a couple of reads at most are ever held.
PrintOutcome paintCertificatePages(QPainter& painter, QPagedPaintDevice& device, const CertificateLayout& layout,
                                   CertificateSource& source, const PageRun& run, QString* error = nullptr);

// The end of a print job: when its pages did not all reach the printer or the file (a failure,
// a stop), the issues it made are taken back out of the register, so no number stands for a
// page nobody holds. Answers `outcome`, or a failure when the register cannot be written.
PrintOutcome settleIssues(PrintOutcome outcome, const PageRun& run, QString* error = nullptr);

// The paper of a layout, for devices that are told their page size.
QPageLayout certificatePageLayout(const CertificateLayout& layout);

// One PDF document into `out`, opened for writing, on `paper`: `paint` draws its pages with a
// painter already begun on the writer. The certificates and the pedigree chart go through it.
using PagePainter = std::function<PrintOutcome(QPainter& painter, QPagedPaintDevice& device, QString* error)>;
PrintOutcome writePdf(QIODevice& out, const QString& title, const QPageLayout& paper, const PagePainter& paint,
                      QString* error = nullptr);
// The same into a file, made under a temporary name beside `path` and named so only when whole.
PrintOutcome writePdf(const QString& path, const QString& title, const QPageLayout& paper, const PagePainter& paint,
                      QString* error = nullptr);

// Writes the pages as one PDF document into `out`, opened for writing.
PrintOutcome writeCertificatesPdf(QIODevice& out, const CertificateLayout& layout, CertificateSource& source,
                                  const PageRun& run = {}, QString* error = nullptr,
                                  const std::optional<QPageLayout>& paper = std::nullopt);

// The same into one PDF file. It is made under a temporary name beside `path` and takes
// that name only when complete: a failure or a stop leaves no file (and an older file at `path`
// as it was). `paper` defaults to the layout's own.
PrintOutcome writeCertificatesPdf(const QString& path, const CertificateLayout& layout, CertificateSource& source,
                                  const PageRun& run = {}, QString* error = nullptr,
                                  const std::optional<QPageLayout>& paper = std::nullopt);

}  // namespace zartav::print
