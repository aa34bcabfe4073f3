#include "app/history_window.h"

#include "app/line_table.h"
#include "app/main_window.h"
#include "app/office_commands.h"
#include "data/history/history_text.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"

#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

namespace zartav {
namespace {

const QStringList kHistoryTitles = {QStringLiteral("تاريخ و ساعت"), QStringLiteral("كاربر"), QStringLiteral("عمل"),
                                    QStringLiteral("ستون"),          QStringLiteral("پيش از"), QStringLiteral("پس از"),
                                    QStringLiteral("علت")};
const QStringList kDeletedTitles = {QStringLiteral("ID"),           QStringLiteral("شماره ثبت"), QStringLiteral("كد گله"),
                                    QStringLiteral("نام گوساله"),   QStringLiteral("حذف در"),   QStringLiteral("كاربر")};

// A line per changed column; an entry that names none (an update of nothing shown) keeps one.
QList<QStringList> historyLines(const QList<history::Entry>& entries) {
    QList<QStringList> lines;
    for (const history::Entry& e : entries) {
        const QList<history::Change> changes = e.changes.isEmpty() ? QList<history::Change>{{}} : e.changes;
        for (const history::Change& c : changes)
            lines << QStringList{history::tehranTime(e.at), history::whoText(e), history::actionName(e.action), c.column,
                                 history::shownValue(c.column, c.before), history::shownValue(c.column, c.after), e.reason};
    }
    return lines;
}

QString value(const history::Entry& e, int column) {
    const QString name = QString::fromUtf8(schema::kRecordColumns[column]);
    for (const history::Change& c : e.changes)
        if (c.column == name) return c.before.toString();
    return {};
}

}  // namespace

HistoryWindow::HistoryWindow(qint64 id, const QList<history::Entry>& entries, QWidget* parent)
    : QDialog(parent), id_(id), table_(newLineTable(kHistoryTitles, this)) {
    setWindowTitle(QStringLiteral("تاريخچه ركورد %1").arg(id));
    setLayoutDirection(Qt::RightToLeft);
    for (const QStringList& line : historyLines(entries)) addLine(table_, line);
    table_->resizeColumnsToContents();
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* print = buttons->addButton(QStringLiteral("چاپ"), QDialogButtonBox::ActionRole);
    QPushButton* pdf = buttons->addButton(QStringLiteral("PDF"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QStringLiteral("بستن"), QDialogButtonBox::RejectRole);
    connect(print, &QPushButton::clicked, this, &HistoryWindow::print);
    connect(pdf, &QPushButton::clicked, this, [this] {
        const QString path = chooseOfficeFile(
            this, {QStringLiteral("PDF"),
                   QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/history-%1.pdf").arg(id_),
                   QStringLiteral("PDF (*.pdf)"), true});
        if (!path.isEmpty()) saveAsPdf(path);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* page = new QVBoxLayout(this);
    page->addWidget(table_);
    page->addWidget(buttons);
    resize(1000, 480);
}

HistoryWindow::~HistoryWindow() = default;

std::unique_ptr<QTextDocument> HistoryWindow::document() const {
    QString html = QStringLiteral("<html dir=\"rtl\"><body dir=\"rtl\"><h3 align=\"right\">%1</h3>"
                                  "<table dir=\"rtl\" width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>")
                       .arg(windowTitle().toHtmlEscaped());
    for (const QString& title : kHistoryTitles) html += QStringLiteral("<th>%1</th>").arg(title.toHtmlEscaped());
    html += QStringLiteral("</tr>");
    for (int r = 0; r < table_->rowCount(); ++r) {
        html += QStringLiteral("<tr>");
        // Each value keeps its own direction among its Farsi neighbours.
        for (int c = 0; c < table_->columnCount(); ++c)
            html += QStringLiteral("<td>%1</td>").arg(isolated(table_->item(r, c)->text()).toHtmlEscaped());
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table></body></html>");
    auto doc = std::make_unique<QTextDocument>();
    QTextOption option = doc->defaultTextOption();
    option.setTextDirection(Qt::RightToLeft);
    doc->setDefaultTextOption(option);
    doc->setHtml(html);
    return doc;
}

bool HistoryWindow::print() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return false;
    document()->print(&printer);
    return true;
}

bool HistoryWindow::saveAsPdf(const QString& path) {
    // Written whole under another name and then renamed: a failure leaves no half a file.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setResolution(300);
        pdf.setTitle(windowTitle());
        document()->print(&pdf);
    }
    written = written && file.commit();
    if (!written) showMessage(QStringLiteral("فايل PDF زير نوشته نشد:\n%1").arg(isolatedPath(path)));
    return written;
}

DeletedRecordsWindow::DeletedRecordsWindow(TDM& dm, QWidget* parent)
    : QDialog(parent), dm_(dm), table_(newLineTable(kDeletedTitles, this)) {
    setWindowTitle(QStringLiteral("ركوردهاي حذف شده"));
    setLayoutDirection(Qt::RightToLeft);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* restore = buttons->addButton(QStringLiteral("بازگرداني"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QStringLiteral("بستن"), QDialogButtonBox::RejectRole);
    restore->setEnabled(false);
    // Only a registrar brings a record back: for anyone else the command stays greyed and says so.
    const bool may = access::may(dm_.Maincon.rights(), access::Action::Restore);
    if (!may) restore->setToolTip(access::onlyRoleText(access::leastRoleFor(access::Action::Restore)));
    connect(table_, &QTableWidget::itemSelectionChanged, restore,
            [this, restore, may] { restore->setEnabled(may && !table_->selectedItems().isEmpty()); });
    connect(restore, &QPushButton::clicked, this, &DeletedRecordsWindow::restoreChosen);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* page = new QVBoxLayout(this);
    page->addWidget(table_);
    page->addWidget(buttons);
    resize(860, 420);
}

bool DeletedRecordsWindow::reload() {
    std::optional<QList<history::Entry>> deleted;
    dm_.worker().call([&](StoreLink& link) {
        deleted = withLink(link, [&] { return history::deletedRecords(link.database()); });
    });
    if (!deleted) {
        showMessage(QStringLiteral("تاريخچه %1 خوانده نشد.").arg(storeNoun(dm_.Maincon)));
        return false;
    }
    deleted_ = *deleted;
    table_->setRowCount(0);
    for (const history::Entry& e : deleted_)
        addLine(table_, {QString::number(e.recordId), value(e, 0), value(e, schema::kHerdColumnIndex), value(e, 10),
                        history::tehranTime(e.at), history::whoText(e)});
    table_->resizeColumnsToContents();
    return true;
}

bool DeletedRecordsWindow::restoreChosen() {
    const QModelIndexList chosen = table_->selectionModel()->selectedRows();
    const int row = chosen.isEmpty() ? table_->currentRow() : chosen.first().row();
    if (row < 0 || row >= deleted_.size()) return false;
    if (!access::may(dm_.Maincon.rights(), access::Action::Restore)) {
        showMessage(access::onlyRoleText(access::leastRoleFor(access::Action::Restore)));
        return false;
    }
    const qint64 id = deleted_.at(row).recordId;
    QString error;
    bool restored = false;
    // A write: the window waits for it, still painting, before the list is read again.
    dm_.worker().call([&](StoreLink& link) {
        linkReady(link);
        QSqlDatabase db = link.database();
        restored = history::restoreRecord(db, id, &error);
    });
    if (!restored) {
        showMessage(QStringLiteral("ركورد %1 بازگردانده نشد.\n%2").arg(id).arg(error));
        return false;
    }
    dm_.TVascor.refresh();
    dm_.TVascor.locateId(id);
    reload();
    return true;
}

void addHistoryCommands(TForm1& window, TDM& dm) {
    window.addOfficeCommand(QStringLiteral("تاريخچه"), QKeySequence(QStringLiteral("Ctrl+H")), [&window, &dm] {
        const qint64 id = dm.TVascor.id();
        if (id <= 0) return;
        // Read by the store's worker, the window still painting while it waits.
        std::optional<QList<history::Entry>> entries;
        dm.worker().call([&](StoreLink& link) {
            entries = withLink(link, [&] { return history::recordHistory(link.database(), id); });
        });
        if (!entries) {
            showMessage(QStringLiteral("تاريخچه %1 خوانده نشد.").arg(storeNoun(dm.Maincon)));
            return;
        }
        HistoryWindow history(id, *entries, &window);
        history.exec();
    });
    window.addOfficeCommand(QStringLiteral("ركوردهاي حذف شده"), QKeySequence(QStringLiteral("Ctrl+Shift+H")), [&window, &dm] {
        DeletedRecordsWindow deleted(dm, &window);
        if (deleted.reload()) deleted.exec();
    });
}

}  // namespace zartav
