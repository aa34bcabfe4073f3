#include "app/correction_requests_window.h"

#include "app/line_table.h"
#include "app/main_window.h"
#include "data/access/store_rights.h"
#include "data/history/history_text.h"
#include "data/tdm.h"
#include "util/dialogs.h"
#include "util/message_sink.h"

#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zartav {
namespace {

const QStringList kTitles = {QStringLiteral("شماره"),     QStringLiteral("شماره ثبت"), QStringLiteral("نام گوساله"),
                             QStringLiteral("درخواست كننده"), QStringLiteral("زمان"),     QStringLiteral("علت"),
                             QStringLiteral("ستون"),      QStringLiteral("پيش از"),    QStringLiteral("پس از")};

bool decidesHere(const Connection& connection) {
    return connection.isServer() && access::may(connection.rights(), access::Action::DecideRequests);
}

}  // namespace

QString refusalQuestion() { return QStringLiteral("علت رد اين درخواست را بنويسيد (متصدي آن را مي بيند):"); }

CorrectionRequestsWindow::CorrectionRequestsWindow(TDM& dm, QWidget* parent)
    : QDialog(parent), dm_(dm), table_(newLineTable(kTitles, this)), mayDecide_(decidesHere(dm.Maincon)) {
    setWindowTitle(QStringLiteral("درخواست هاي اصلاح"));
    setLayoutDirection(Qt::RightToLeft);
    auto* buttons = new QDialogButtonBox(this);
    approve_ = buttons->addButton(QStringLiteral("تاييد"), QDialogButtonBox::ActionRole);
    refuse_ = buttons->addButton(QStringLiteral("رد"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QStringLiteral("بستن"), QDialogButtonBox::RejectRole);
    // The server decides who may; a desk that may not is not offered it.
    if (!mayDecide_)
        for (QPushButton* b : {approve_, refuse_}) b->setToolTip(access::onlyRoleText(access::Role::Registrar));
    showChoice();
    connect(table_, &QTableWidget::itemSelectionChanged, this, &CorrectionRequestsWindow::showChoice);
    connect(approve_, &QPushButton::clicked, this, &CorrectionRequestsWindow::approveChosen);
    connect(refuse_, &QPushButton::clicked, this, &CorrectionRequestsWindow::refuseChosen);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* page = new QVBoxLayout(this);
    page->addWidget(table_);
    page->addWidget(buttons);
    resize(1100, 460);
}

void CorrectionRequestsWindow::showChoice() {
    const bool any = chosen() != nullptr;
    approve_->setEnabled(mayDecide_ && any);
    refuse_->setEnabled(mayDecide_ && any);
}

bool CorrectionRequestsWindow::reload() {
    std::optional<QList<corrections::Request>> open;
    QString error;
    dm_.worker().call([&](StoreLink& link) {
        open = withLink(link, [&] { return corrections::openRequests(link.database(), &error); });
    });
    if (!open) {
        showMessage(QStringLiteral("درخواست هاي اصلاح از %1 خوانده نشد.\n%2").arg(storeNoun(dm_.Maincon), error));
        return false;
    }
    requests_ = *open;
    lineRequest_.clear();
    table_->setRowCount(0);
    // A line per changed column, the request's own facts on each.
    for (int i = 0; i < requests_.size(); ++i) {
        const corrections::Request& r = requests_.at(i);
        for (const history::Change& c : r.changes) {
            addLine(table_, {QString::number(r.number), r.registration, r.calfName, r.requester, history::tehranTime(r.at), r.reason,
                             c.column, history::shownValue(c.column, c.before), history::shownValue(c.column, c.after)});
            lineRequest_ << i;
        }
    }
    table_->resizeColumnsToContents();
    showChoice();
    return true;
}

const corrections::Request* CorrectionRequestsWindow::chosen() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    const int line = rows.isEmpty() ? -1 : rows.first().row();
    if (line < 0 || line >= lineRequest_.size()) return nullptr;
    return &requests_.at(lineRequest_.at(line));
}

bool CorrectionRequestsWindow::approveChosen() {
    const corrections::Request* r = chosen();
    return r && mayDecide_ && decide(*r, true, {});
}

bool CorrectionRequestsWindow::refuseChosen() {
    const corrections::Request* r = chosen();
    if (!r || !mayDecide_) return false;
    QString answer;
    if (!messageSink().input({QStringLiteral("رد درخواست اصلاح %1").arg(r->number), refusalQuestion()}, answer) ||
        answer.trimmed().isEmpty())
        return false;
    return decide(*r, false, answer.trimmed());
}

bool CorrectionRequestsWindow::decide(const corrections::Request& request, bool approve, const QString& answer) {
    const qint64 number = request.number, record = request.recordId;
    QString error;
    bool decided = false;
    // A write: the window waits for it, still painting, before the lists are read again.
    dm_.worker().call([&](StoreLink& link) {
        if (linkReady(link)) decided = corrections::decide(link.database(), number, approve, answer, &error);
        else error = link.technicalError();
    });
    if (!decided) {
        showMessage(QStringLiteral("درخواست اصلاح %1 %2 نشد.\n%3").arg(number).arg(approve ? QStringLiteral("تاييد") : QStringLiteral("رد"), error));
        reload();
        return false;
    }
    if (approve) {
        dm_.TVascor.refresh();
        dm_.TVascor.locateId(record);
    }
    reload();
    return true;
}

void addCorrectionRequestCommands(TForm1& window, TDM& dm) {
    window.addOfficeCommand(QStringLiteral("درخواست هاي اصلاح"), QKeySequence(QStringLiteral("Ctrl+Shift+R")), [&window, &dm] {
        if (!dm.Maincon.isServer()) {
            showMessage(QStringLiteral("درخواست اصلاح فقط در اطلاعات روي سرور هست؛ در فايل اطلاعات هر اصلاحي مستقيم ثبت مي شود."));
            return;
        }
        CorrectionRequestsWindow requests(dm, &window);
        if (requests.reload()) requests.exec();
    });
    // The answers to this desk's requests: read and marked seen in one statement, then told.
    auto lookedAt = std::make_shared<quint64>(0);
    const auto look = [&dm] {
        const access::StoreRights& rights = dm.Maincon.rights();
        if (!dm.Maincon.isServer() || !rights.rolesInForce) return;
        auto decided = std::make_shared<std::optional<QList<corrections::Request>>>();
        dm.worker().post(
            [decided](StoreLink& link) {
                if (linkReady(link)) *decided = corrections::takeDecided(link.database());
            },
                         [decided] {
                             if (!*decided || (*decided)->isEmpty()) return;
                             QStringList lines;
                             for (const corrections::Request& r : **decided) lines << corrections::decisionText(r);
                             showMessage(lines.join(QLatin1Char('\n')));
                         });
    };
    QObject::connect(&dm.Maincon, &Connection::changedElsewhere, &window, look);
    QObject::connect(&dm.TVascor, &RecordView::rowsReset, &window, [&dm, lookedAt, look] {
        if (!dm.TVascor.isOpen() || *lookedAt == dm.Maincon.openings()) return;
        *lookedAt = dm.Maincon.openings();
        look();
    });
}

}  // namespace zartav
