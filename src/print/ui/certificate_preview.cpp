#include "print/ui/certificate_preview.h"
#include "dates/ui/file_dialog.h"

#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "print/certificate_issuer.h"
#include "print/certificate_pdf.h"
#include "print/certificate_template.h"
#include "print/ui/certificate_page_view.h"
#include "print/ui/certificate_printer.h"
#include "util/app_paths.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "util/ui/dialog_helpers.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QSet>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace zartav::print {

namespace {

PreviewRunner& previewRunner() {
    static PreviewRunner runner;
    return runner;
}

bool runPrintDialog(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    return dialog.exec() == QDialog::Accepted;
}

QString askPdfFile(QWidget* parent) {
    QString name = chooseFileToSave(parent, QStringLiteral("ذخيره شناسنامه"), QString(), QStringLiteral("PDF (*.pdf)"));
    if (!name.isEmpty() && !name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) name += QLatin1String(".pdf");
    return name;
}

QString failureDetail(const CertificateSource& source) {
    if (source.failedId() == 0) return {};
    if (source.recordMissing())
        return QStringLiteral("\nركورد شماره %1 در فايل اطلاعات پيدا نشد؛ شايد در اين فاصله حذف شده است.")
            .arg(source.failedId());
    return QLatin1Char('\n') +
           withEngineWords(QStringLiteral("ركورد شماره %1 خوانده نشد.").arg(source.failedId()), source.errorText());
}

// Each notice about issuing (no key, a key that cannot be used, a store only read) once per run.
void noticeOnce(const QString& notice) {
    static QSet<QString> told;
    if (notice.isEmpty() || told.contains(notice)) return;
    told.insert(notice);
    showMessage(notice);
}

// The issuer of one print job from the preview: the desk's key as its setting names it (none:
// print without a code); nothing when the desk's token refused, which is said every time.
std::optional<std::unique_ptr<CertificateIssuer>> jobIssuer(Connection* store, StoreWorker* worker, const QString& office) {
    if (!store) return nullptr;
    DeskIssuing issuing = worker ? issuingForThisDesk(*worker, office) : issuingForThisDesk(*store, office);
    if (issuing.refused) {
        showMessage(issuing.notice);
        return std::nullopt;
    }
    noticeOnce(issuing.notice);
    return std::move(issuing.issuer);
}

// What to tell the user when a job stopped because its certificates could not be registered;
// empty when that is not why.
QString registerFailure(const CertificateIssuer* issuer) {
    if (!issuer || issuer->lastError().isEmpty()) return {};
    return withEngineWords(QStringLiteral("شناسنامه در دفتر صدور گواهي ها ثبت نشد و چاپ نشد."), issuer->lastError());
}

}  // namespace

CertificatePreview::CertificatePreview(const CertificateLayout& layout, CertificateSource& source, QWidget* parent)
    : QDialog(parent), layout_(layout), source_(source), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setWindowTitle(QStringLiteral("پيش نمايش شناسنامه"));
    setLayoutDirection(Qt::RightToLeft);
    setModal(true);
    choosePrinter = runPrintDialog;
    choosePdfFile = askPdfFile;

    printer_->setFullPage(true);  // the layout draws its own margins and frame
    printer_->setPageLayout(certificatePageLayout(layout_));
    printer_->setDocName(QStringLiteral("شناسنامه"));

    view_ = new CertificatePageView(layout_, source_, this);
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);

    printAction = bar->addAction(QStringLiteral("چاپ"), this, [this] { print(); });
    printAction->setShortcut(QKeySequence::Print);
    pdfAction = bar->addAction(QStringLiteral("PDF"), this, [this] { saveAsPdf(); });
    pdfAction->setToolTip(QStringLiteral("ذخيره به صورت PDF"));
    bar->addAction(QStringLiteral("تنظيم صفحه"), this, [this] {
        QPageSetupDialog dialog(printer_.get(), this);
        if (dialog.exec() == QDialog::Accepted)
            view_->setPaperSize(printer_->pageLayout().fullRect(QPageLayout::Millimeter).size());
    });
    bar->addSeparator();

    auto zoomButton = [&](const QString& text, const QString& tip, const QKeySequence& key, double by) {
        QAction* a = bar->addAction(text, this, [this, by] { setZoomFactor(by == 1 ? 1.0 : zoomFactor() * by); });
        a->setToolTip(tip);
        a->setShortcut(key);
        return a;
    };
    zoomButton(QStringLiteral("+"), QStringLiteral("بزرگ نمايي"), QKeySequence::ZoomIn, 1.25);
    zoomAction_ = zoomButton(QStringLiteral("100%"), QStringLiteral("اندازه واقعي"), QKeySequence(), 1);
    zoomButton(QStringLiteral("-"), QStringLiteral("كوچك نمايي"), QKeySequence::ZoomOut, 0.8);
    bar->addAction(QStringLiteral("پهناي صفحه"), view_, &CertificatePageView::fitWidth);
    bar->addAction(QStringLiteral("تمام صفحه"), view_, &CertificatePageView::fitPage);
    bar->addSeparator();

    bar->addAction(QStringLiteral("اولين"), this, [this] { setCurrentPage(1); })->setShortcut(QKeySequence::MoveToStartOfDocument);
    bar->addAction(QStringLiteral("قبلي"), this, [this] { setCurrentPage(currentPage() - 1); });
    pageBox_ = new QSpinBox(bar);
    pageBox_->setRange(1, std::max(1, pageCount()));
    pageBox_->setSuffix(QStringLiteral(" از %1").arg(pageCount()));
    pageBox_->setKeyboardTracking(false);
    bar->addWidget(pageBox_);
    bar->addAction(QStringLiteral("بعدي"), this, [this] { setCurrentPage(currentPage() + 1); });
    bar->addAction(QStringLiteral("آخرين"), this, [this] { setCurrentPage(pageCount()); })
        ->setShortcut(QKeySequence::MoveToEndOfDocument);

    connect(pageBox_, &QSpinBox::valueChanged, view_, &CertificatePageView::setCurrentPage);
    connect(view_, &CertificatePageView::currentPageChanged, this, [this](int page) {
        const QSignalBlocker blocker(pageBox_);
        pageBox_->setValue(page);
    });
    connect(view_, &CertificatePageView::zoomChanged, this,
            [this](double factor) { zoomAction_->setText(QStringLiteral("%1%").arg(qRound(factor * 100))); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(bar);
    column->addWidget(view_, 1);
    // Room for a whole page at true size where the screen has it.
    const QSize wanted(view_->logicalDpiX() / 25.4 * layout_.page.width + 60, 1100);
    const QRect screen = (parent ? parent->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    resize(wanted.boundedTo(screen.size()));
}

CertificatePreview::~CertificatePreview() = default;

int CertificatePreview::pageCount() const { return view_->pageCount(); }
int CertificatePreview::currentPage() const { return view_->currentPage(); }
void CertificatePreview::setCurrentPage(int page) { view_->setCurrentPage(page); }
double CertificatePreview::zoomFactor() const { return view_->zoomFactor(); }
void CertificatePreview::setZoomFactor(double factor) { view_->setZoomFactor(factor); }

PageRun CertificatePreview::runWithProgress(int pages, std::unique_ptr<QProgressDialog>& dialog,
                                            const QString& label) {
    PageRun run;
    // A job of no more pages than the screen shows is over before a progress window could help.
    if (pages <= view_->pagesOnScreen()) return run;
    dialog = progressWindow(windowTitle(), label, QStringLiteral("انصراف"), pages, this);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    run.progress = [window = dialog.get(), label](int done, int total) {
        window->setLabelText(label + QStringLiteral("\nصفحه %1 از %2").arg(done).arg(total));
        window->setMaximum(total);  // the print dialog may have chosen fewer pages
        window->setValue(done);
        return !window->wasCanceled();
    };
    return run;
}

bool CertificatePreview::print() {
    if (!choosePrinter(*printer_, this)) return false;
    std::optional<std::unique_ptr<CertificateIssuer>> job = jobIssuer(store, registerWorker, office);
    if (!job) return false;
    const std::unique_ptr<CertificateIssuer> issuer = std::move(*job);
    std::unique_ptr<QProgressDialog> progress;
    PageRun run = runWithProgress(pageCount(), progress, QStringLiteral("آماده كردن شناسنامه ها براي چاپ..."));
    run.issuer = issuer.get();
    QString error;
    const PrintOutcome outcome = printCertificates(*printer_, layout_, source_, run, &error);
    progress.reset();
    if (outcome == PrintOutcome::Failed && !registerFailure(issuer.get()).isEmpty()) {
        showMessage(registerFailure(issuer.get()));
        return false;
    }
    if (outcome == PrintOutcome::Failed) {
        showMessage(QStringLiteral("چاپ انجام نشد و چيزي به چاپگر فرستاده نشد؛ چاپگر و تنظيم آن را بررسي كنيد.") +
                    failureDetail(source_));
        return false;
    }
    if (outcome == PrintOutcome::Cancelled) return false;
    accept();
    return true;
}

bool CertificatePreview::saveAsPdf() {
    const QString name = choosePdfFile(this);
    if (name.isEmpty()) return false;
    std::optional<std::unique_ptr<CertificateIssuer>> job = jobIssuer(store, registerWorker, office);
    if (!job) return false;
    const std::unique_ptr<CertificateIssuer> issuer = std::move(*job);
    std::unique_ptr<QProgressDialog> progress;
    PageRun run = runWithProgress(pageCount(), progress, QStringLiteral("ذخيره شناسنامه ها در فايل PDF..."));
    run.issuer = issuer.get();
    QString error;
    const PrintOutcome outcome = writeCertificatesPdf(name, layout_, source_, run, &error);
    progress.reset();
    if (outcome == PrintOutcome::Failed && !registerFailure(issuer.get()).isEmpty())
        showMessage(registerFailure(issuer.get()));
    else if (outcome == PrintOutcome::Failed)
        showMessage(source_.failedId() != 0
                        ? QStringLiteral("فايل %1 ذخيره نشد.").arg(isolatedPath(name)) + failureDetail(source_)
                        : withEngineWords(QStringLiteral("فايل %1 ذخيره نشد.").arg(isolatedPath(name)), error));
    return outcome == PrintOutcome::Done;
}

void showCertificatePreview(QWidget* parent, const CertificateLayout& layout, CertificateSource& source,
                            StoreWorker* registerWorker, const QString& office) {
    if (previewRunner()) {
        previewRunner()(parent, layout, source);
        return;
    }
    CertificatePreview preview(layout, source, parent);
    preview.store = registerWorker ? &registerWorker->connection() : nullptr;
    preview.registerWorker = registerWorker;
    preview.office = office;
    preview.exec();
}

void setPreviewRunnerForTesting(PreviewRunner runner) { previewRunner() = std::move(runner); }

QString nothingToPrintMessage() { return QStringLiteral("ركوردي براي چاپ وجود ندارد."); }

namespace {

// The preview and its print jobs read through a worker of their own, on a thread of its own
// whichever way the list's worker runs: the window's thread never reads, and a job of ten
// thousand pages never holds up the list's reads. A link of its own costs a file open, or a
// login to the server, once a preview.
std::unique_ptr<StoreWorker> previewWorker(TDM& dm) {
    auto worker = std::make_unique<StoreWorker>(dm.Maincon, StoreWorker::Mode::Threaded);
    worker->follow();
    return worker;
}

// The records are read by "ID" from the store, a screenful a statement, with the office's own
// texts on the page.
void previewStored(QWidget* parent, TDM& dm, std::unique_ptr<StoreWorker> worker, const QList<qint64>& ids) {
    CertificateLayout layout = certificateLayoutForPrint(paths::templatePath());
    std::optional<QHash<QString, QString>> texts;
    worker->call([&](StoreLink& link) {
        texts = withLink(link, [&] {
            QSqlDatabase db = link.database();
            return certificates::readOfficeTexts(db);
        });
    });
    if (texts) applyOfficeTexts(layout, *texts);
    const QString office = texts ? texts->value(QString::fromLatin1(certificates::kOfficeName)) : QString();
    // A desk whose user may not issue prints drafts: no number taken, no code.
    const bool issues = access::may(dm.Maincon.rights(), access::Action::Issue);
    if (!issues) markDraft(layout);
    StoredCertificates source(std::move(worker), ids);
    // The register is written by the list's worker, as the saves are: its link is up already.
    showCertificatePreview(parent, layout, source, issues ? &dm.worker() : nullptr, office);
}

}  // namespace

void printCurrentCertificate(QWidget* parent, TDM& dm) {
    // The record is read by its "ID", apart from the list's table: the list keeps the herd and
    // the find it shows, and its current record.
    const qint64 id = dm.TVascor.id();
    if (id == 0) {
        showMessage(nothingToPrintMessage());
        return;
    }
    previewStored(parent, dm, previewWorker(dm), {id});
}

void printCertificateBatch(QWidget* parent, TDM& dm, const QList<qint64>& chosenIds,
                           const std::optional<QString>& herd) {
    std::unique_ptr<StoreWorker> worker = previewWorker(dm);
    QList<qint64> ids = chosenIds;
    if (ids.size() > 1) {
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    } else {
        QString error;
        std::optional<QList<qint64>> all = storedRecordIds(*worker, herd, &error, dm.TVascor.findText());
        if (!all) {
            showMessage(withEngineWords(QStringLiteral("ركوردها از فايل اطلاعات خوانده نشد."), error));
            return;
        }
        ids = *all;
    }
    if (ids.isEmpty()) {
        showMessage(nothingToPrintMessage());
        return;
    }
    previewStored(parent, dm, std::move(worker), ids);
}

}  // namespace zartav::print
