#pragma once

// The certificate preview and the two print commands' window side.
//
// The preview draws a page only when it comes on screen (a few are kept), and printing and the
// PDF button read the records a few at a time: a herd of ten thousand certificates is previewed
// and printed in the memory of a handful. The store is read by a worker, never on the window's
// thread.

#include "print/certificate_layout.h"
#include "print/certificate_pdf.h"
#include "print/certificate_source.h"

#include <QDialog>
#include <QList>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QPrinter;
class QProgressDialog;
class QSpinBox;

namespace zartav {
class Connection;
class StoreWorker;
class TDM;
}

namespace zartav::print {

class CertificatePageView;

// The modal preview: pages one under the other at true size (100 %), moved through by page,
// zoomed, the page set up, printed and saved as PDF. A print that fails is reported here and
// the preview stays open; one that succeeds closes it.
class CertificatePreview : public QDialog {
    Q_OBJECT
public:
    CertificatePreview(const CertificateLayout& layout, CertificateSource& source, QWidget* parent = nullptr);
    ~CertificatePreview() override;

    // How the printer and the PDF file are asked for: the print dialog and a save dialog, which
    // tests replace. An empty file name, or false, means the user changed their mind.
    std::function<bool(QPrinter& printer, QWidget* parent)> choosePrinter;
    std::function<QString(QWidget* parent)> choosePdfFile;

    QPrinter& printer() { return *printer_; }
    int pageCount() const;
    int currentPage() const;  // from 1
    void setCurrentPage(int page);
    double zoomFactor() const;
    void setZoomFactor(double factor);
    CertificatePageView* pageView() const { return view_; }

    QAction* printAction = nullptr;
    QAction* pdfAction = nullptr;

    // Where printing issues the certificates: the store's register, in the name of `office`.
    // Without a store the pages print without a code.
    Connection* store = nullptr;
    QString office;
    // When set, the register is written through it, the window waiting but still painting;
    // else over `store` itself.
    StoreWorker* registerWorker = nullptr;

    // The commands behind the toolbar's print and PDF buttons. They answer whether the job was
    // done; a failure has been reported, a stop leaves nothing behind.
    bool print();
    bool saveAsPdf();

private:
    // The run of a job of `pages`, with a progress window and its stop button for a long one.
    PageRun runWithProgress(int pages, std::unique_ptr<QProgressDialog>& dialog, const QString& label);

    CertificateLayout layout_;
    CertificateSource& source_;
    std::unique_ptr<QPrinter> printer_;
    CertificatePageView* view_ = nullptr;
    QSpinBox* pageBox_ = nullptr;
    QAction* zoomAction_ = nullptr;  // shows the zoom, and goes back to true size
};

// Shows the preview modally; returns when it is closed. Printing from it issues in the store
// `registerWorker` follows, through it.
void showCertificatePreview(QWidget* parent, const CertificateLayout& layout, CertificateSource& source,
                            StoreWorker* registerWorker = nullptr, const QString& office = {});

// Tests replace the modal preview; nullptr restores it.
using PreviewRunner = std::function<void(QWidget* parent, const CertificateLayout& layout, CertificateSource& source)>;
void setPreviewRunnerForTesting(PreviewRunner runner);

// Shown instead of a preview when there is nothing to print.
QString nothingToPrintMessage();

// The Print command: the current record's certificate, with the layout of the template file
// (or the built-in one). The list is left as it is: its herd, its find and its current record.
void printCurrentCertificate(QWidget* parent, TDM& dm);

// The batch print command: the records chosen in the list when there are more than one, else
// every record of `herd` (every record at all when there is none), one page each in "ID"
// order. The record table, its filter and its current record are left as they are.
void printCertificateBatch(QWidget* parent, TDM& dm, const QList<qint64>& chosenIds,
                           const std::optional<QString>& herd);

}  // namespace zartav::print
