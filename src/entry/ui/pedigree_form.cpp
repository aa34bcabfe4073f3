#include "entry/ui/pedigree_form.h"
#include "dates/ui/file_dialog.h"

#include "data/tdm.h"
#include "print/ui/certificate_printer.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "util/ui/dialog_helpers.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace zartav {

class TPedigreeForm::ChartView : public QWidget {
public:
    explicit ChartView(TPedigreeForm& form) : QWidget(&form), form_(form) {
        setMouseTracking(true);
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::white);
        setPalette(pal);
    }
    QList<std::pair<QRectF, qint64>> links;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        links.clear();
        print::paintChart(painter, QRectF(rect()).adjusted(8, 8, -8, -8), form_.chart(), &links);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        setCursor(linkAt(e->position()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (const qint64 id = linkAt(e->position()); id && e->button() == Qt::LeftButton) form_.openRecord(id);
    }

private:
    qint64 linkAt(QPointF p) const {
        for (const auto& [r, id] : links)
            if (r.contains(p)) return id;
        return 0;
    }
    TPedigreeForm& form_;
};

TPedigreeForm::TPedigreeForm(TDM& dm, QWidget* parent) : QDialog(parent), dm_(dm) {
    setObjectName(QStringLiteral("PedigreeForm"));
    setWindowTitle(QStringLiteral("شجره"));
    setLayoutDirection(Qt::RightToLeft);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    resize(980, 620);
    view_ = new ChartView(*this);
    printButton = new QPushButton(QStringLiteral("چاپ"), this);
    pdfButton = new QPushButton(QStringLiteral("ذخيره PDF"), this);
    closeButton = new QPushButton(QStringLiteral("بستن"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(printButton);
    buttons->addWidget(pdfButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto* page = new QVBoxLayout(this);
    page->addWidget(view_, 1);
    page->addLayout(buttons);
    connect(printButton, &QPushButton::clicked, this, &TPedigreeForm::print);
    connect(pdfButton, &QPushButton::clicked, this, &TPedigreeForm::saveAsPdf);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

TPedigreeForm::~TPedigreeForm() = default;

bool TPedigreeForm::showAnimal(const pedigree::Animal& calf) {
    QString error;
    // Read by the store's worker: the window waits, still painting.
    std::optional<pedigree::Pedigree> p;
    dm_.worker().call([&](StoreLink& link) {
        p = withLink(link, [&] { return pedigree::Pedigree::read(pedigree::AnimalReader(link), calf, &error); });
    });
    if (!p) {
        showMessage(withEngineWords(QStringLiteral("شجره اين ركورد خوانده نشد."), error));
        return false;
    }
    chart_ = print::chartOf(*p);
    view_->update();
    return true;
}

bool TPedigreeForm::showRecord(qint64 id) {
    pedigree::Animal calf;
    QString error;
    bool read = false;
    dm_.worker().call([&](StoreLink& link) {
        read = withLink(link, [&] { return pedigree::AnimalReader(link).record(id, calf, &error); });
    });
    if (!read) {
        showMessage(withEngineWords(QStringLiteral("شجره اين ركورد خوانده نشد."), error));
        return false;
    }
    return showAnimal(calf);
}

QList<std::pair<QRectF, qint64>> TPedigreeForm::links() const { return view_->links; }

void TPedigreeForm::openRecord(qint64 id) {
    if (!showRecord(id)) return;
    if (recordOpened) recordOpened(id);
}

bool TPedigreeForm::saveAsPdf() {
    const QString path = choosePdfFile ? choosePdfFile(this)
                                       : chooseFileToSave(this, QStringLiteral("ذخيره PDF"), QString(), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty()) return false;
    QString error;
    if (print::writePdf(path, QStringLiteral("شجره"), print::chartPageLayout(), print::chartPage(chart_), &error) !=
        print::PrintOutcome::Done) {
        showMessage(withEngineWords(QStringLiteral("فايل PDF ساخته نشد."), error));
        return false;
    }
    return true;
}

bool TPedigreeForm::print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(print::chartPageLayout());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return false;
    QString error;
    if (print::printDocument(printer, QStringLiteral("شجره"), print::chartPage(chart_), &error) != print::PrintOutcome::Done) {
        showMessage(withEngineWords(QStringLiteral("چاپ انجام نشد."), error));
        return false;
    }
    return true;
}

}  // namespace zartav
