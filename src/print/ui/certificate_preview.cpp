#include "print/ui/certificate_preview.h"

#include "data/record_schema.h"
#include "data/tdm.h"
#include "print/certificate_pdf.h"
#include "print/certificate_source.h"
#include "print/certificate_template.h"
#include "util/app_paths.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"

#include <QAction>
#include <QFileDialog>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>

namespace zartav::print {

namespace {

PreviewRunner& previewRunner() {
    static PreviewRunner runner;
    return runner;
}

void saveAsPdf(QWidget* parent, const CertificateLayout& layout, const QList<CertificateRecord>& records) {
    QString name = QFileDialog::getSaveFileName(parent, QStringLiteral("ذخيره شناسنامه"), QString(),
                                                QStringLiteral("PDF (*.pdf)"));
    if (name.isEmpty()) return;
    if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) name += QLatin1String(".pdf");
    QString error;
    if (!writeCertificatesPdf(name, layout, records, &error))
        showMessage(withEngineWords(QStringLiteral("فايل %1 ذخيره نشد.").arg(isolatedPath(name)), error));
}

}  // namespace

void printCertificates(QPrinter& printer, const CertificateLayout& layout, const QList<CertificateRecord>& records) {
    QPainter painter;
    if (!painter.begin(&printer)) return;  // the preview or print dialog reports a printer that fails
    // Positions are true millimetres from the sheet's corner, whatever paper is chosen.
    const double dotsPerMm = printer.resolution() / 25.4;
    const QRectF paper(0, 0, layout.page.width * dotsPerMm, layout.page.height * dotsPerMm);
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (i > 0) printer.newPage();
        paintCertificate(painter, paper, layout, records[i]);
    }
    painter.end();
}

void showCertificatePreview(QWidget* parent, const CertificateLayout& layout,
                            const QList<CertificateRecord>& records) {
    if (previewRunner()) {
        previewRunner()(parent, layout, records);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);  // the layout draws its own margins and frame
    const QPageSize size(QSizeF(layout.page.width, layout.page.height), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    printer.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter));
    printer.setDocName(QStringLiteral("شناسنامه"));

    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("پيش نمايش شناسنامه"));
    dialog.setLayoutDirection(Qt::RightToLeft);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter* p) { printCertificates(*p, layout, records); });
    if (auto* preview = dialog.findChild<QPrintPreviewWidget*>()) {
        preview->setZoomMode(QPrintPreviewWidget::CustomZoom);
        preview->setZoomFactor(1.0);
    }
    if (auto* toolBar = dialog.findChild<QToolBar*>()) {
        toolBar->addSeparator();
        QAction* pdf = toolBar->addAction(QStringLiteral("PDF"));
        pdf->setToolTip(QStringLiteral("ذخيره به صورت PDF"));
        QObject::connect(pdf, &QAction::triggered, &dialog, [&] { saveAsPdf(&dialog, layout, records); });
    }
    dialog.exec();
}

void setPreviewRunnerForTesting(PreviewRunner runner) { previewRunner() = std::move(runner); }

void printCurrentCertificate(QWidget* parent, TDM& dm) {
    RecordTable& table = dm.TVascor;
    const qint64 id = table.id();
    const QString idColumn = schema::column(schema::kId);
    // Narrowing by "ID" replaces whatever herd filter the list had.
    table.setFilter(idColumn, id);
    table.setFiltered(true);
    try {
        const CertificateLayout layout = certificateLayoutForPrint(paths::templatePath());
        QList<CertificateRecord> records;
        for (int row = 0; row < table.rowCount(); ++row) {
            if (table.setCurrentRow(row)) records << certificateRecordFromTable(table);
        }
        // Nothing to print (an empty list): no blank preview.
        if (!records.isEmpty()) showCertificatePreview(parent, layout, records);
    } catch (...) {
        // A failure while preparing is dropped; the list is restored below all the same.
    }
    table.setFiltered(false);
    table.clearFilter();
    if (id != 0) table.locateId(id);
}

}  // namespace zartav::print
