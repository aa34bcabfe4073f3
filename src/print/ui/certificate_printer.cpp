#include "print/ui/certificate_printer.h"

#include <QDir>
#include <QPrintEngine>
#include <QPrinter>
#include <QTemporaryFile>

#include <cups/cups.h>

#include <vector>

namespace zartav::print {

namespace {

PrintOutcome failWith(QString* error, const QString& why) {
    if (error) *error = why;
    return PrintOutcome::Failed;
}

// The job options the print dialog set on `printer`, as the printing system names them.
QList<std::pair<QByteArray, QByteArray>> jobOptions(QPrinter& printer) {
    QList<std::pair<QByteArray, QByteArray>> options;
    auto add = [&](const QByteArray& name, const QByteArray& value) { options.append({name, value}); };
    const QPageLayout page = printer.pageLayout();
    add("media", page.pageSize().key().toUtf8());
    if (printer.copyCount() > 1) {
        add("copies", QByteArray::number(printer.copyCount()));
        if (printer.collateCopies()) add("Collate", "True");
    }
    switch (printer.duplex()) {
        case QPrinter::DuplexNone: add("sides", "one-sided"); break;
        case QPrinter::DuplexAuto:
        case QPrinter::DuplexLongSide:
            add("sides", page.orientation() == QPageLayout::Portrait ? "two-sided-long-edge"
                                                                                 : "two-sided-short-edge");
            break;
        case QPrinter::DuplexShortSide: add("sides", "two-sided-short-edge"); break;
    }
    if (page.orientation() == QPageLayout::Landscape) add("landscape", "");
    // What the print dialog's own options page adds (page set, pages per sheet...): Qt keeps
    // them under its private printing-system key, as name and value in turn.
    constexpr auto kSystemOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);
    const QStringList more = printer.printEngine()->property(kSystemOptions).toStringList();
    for (qsizetype i = 0; i + 1 < more.size(); i += 2) add(more[i].toUtf8(), more[i + 1].toUtf8());
    return options;
}

PrintOutcome submit(QPrinter& printer, const QString& spool, QString* error) {
    const QList<std::pair<QByteArray, QByteArray>> options = jobOptions(printer);
    std::vector<cups_option_t> list;
    for (const auto& [name, value] : options)
        list.push_back({const_cast<char*>(name.constData()), const_cast<char*>(value.constData())});
    // The queue's own name, without an instance after "/".
    const QByteArray queue = printer.printerName().section(QLatin1Char('/'), 0, 0).toUtf8();
    const int job = cupsPrintFile(queue.constData(), QFile::encodeName(spool).constData(),
                                  printer.docName().toUtf8().constData(), int(list.size()), list.data());
    if (job <= 0) return failWith(error, QString::fromUtf8(cupsLastErrorString()));
    return PrintOutcome::Done;
}

}  // namespace

PrintOutcome printCertificates(QPrinter& printer, const CertificateLayout& layout, CertificateSource& source,
                               PageRun run, QString* error) {
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        run.first = printer.fromPage();
        run.last = printer.toPage();
    }
    return settleIssues(printDocument(printer, QStringLiteral("شناسنامه"),
                                      [&](QPainter& painter, QPagedPaintDevice& device, QString* why) {
                                          return paintCertificatePages(painter, device, layout, source, run, why);
                                      },
                                      error),
                        run, error);
}

PrintOutcome printDocument(QPrinter& printer, const QString& title, const PagePainter& paint, QString* error) {
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        if (printer.outputFileName().isEmpty()) return failWith(error, QStringLiteral("no file to print to"));
        return writePdf(printer.outputFileName(), title, printer.pageLayout(), paint, error);
    }
    if (!printer.isValid() || printer.printerName().isEmpty())
        return failWith(error, QStringLiteral("no printer is set up"));
    QTemporaryFile spool(QDir::tempPath() + QStringLiteral("/zartav-print-XXXXXX.pdf"));
    if (!spool.open()) return failWith(error, spool.errorString());
    const PrintOutcome outcome = writePdf(spool, title, printer.pageLayout(), paint, error);
    if (outcome != PrintOutcome::Done) return outcome;
    if (!spool.flush()) return failWith(error, spool.errorString());
    return submit(printer, spool.fileName(), error);
}

}  // namespace zartav::print
