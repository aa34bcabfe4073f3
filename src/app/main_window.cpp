#include "app/main_window.h"

#include "data/certificates/certificate_register.h"
#include "data/records/ui/record_list_model.h"
#include "data/tdm.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "util/keyboard_layout.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>

// The main window's record list and its commands: the list's place and selection, New, Edit,
// Delete, Print, About and Exit.

namespace zartav {
namespace {

// The question names the record, so the clerk sees which one goes before saying yes.
QString deleteQuestion(const QString& registration, const QString& calf) {
    auto shown = [](const QString& value) { return value.trimmed().isEmpty() ? QStringLiteral("(خالي)") : isolated(value); };
    return QStringLiteral("ركورد با شماره ثبت %1 و نام گوساله %2 حذف مي شود.\nآيا براي حذف اطمينان داريد؟")
        .arg(shown(registration), shown(calf));
}

}  // namespace

TForm1::~TForm1() = default;

void TForm1::bindRecordList() {
    if (bound_) return;
    bound_ = true;
    // The list's model, "DVascor" as the program knows it.
    auto* list = new RecordListModel(dm_.TVascor, DBGrid1);
    list->setObjectName(QStringLiteral("DVascor"));
    DBGrid1->setModel(list);
    applyColumnWidths();
    // The list's selection is the record table's current record, both ways.
    auto follow = [this](int row) {
        if (syncingSelection_ || row < 0 || row == dm_.TVascor.currentRow()) return;
        if (!dm_.TVascor.setCurrentRow(row)) selectRowInList(dm_.TVascor.currentRow());
    };
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [follow](const QModelIndex& current) { follow(current.isValid() ? current.row() : -1); });
    connect(&dm_.TVascor, &RecordTable::currentChanged, this, &TForm1::selectRowInList);
    // Others' work: the list keeps its current record, selection and scrolling; the tabs follow.
    connect(&dm_.TVascor, &RecordTable::aboutToRefresh, this, &TForm1::rememberListPlace);
    connect(&dm_.TVascor, &RecordTable::refreshed, this, [this] {
        FillTabIt();
        restoreListPlace();
    });
    connect(&dm_.TVascor, &RecordTable::readFailed, this, [](const QString& text) { showError(text); });
    // A tab or a find whose rows could not be read: the strip shows the rows the list shows.
    connect(&dm_.TVascor, &RecordTable::viewRefused, this, &TForm1::showTabOfFilter);
    connect(&dm_.worker(), &StoreWorker::linkLost, LinkLine, &QWidget::show);
    connect(&dm_.worker(), &StoreWorker::linkBack, LinkLine, &QWidget::hide);
}

void TForm1::rememberListPlace() {
    topIdBeforeRefresh_ = dm_.TVascor.idAt(DBGrid1->rowAt(0));
    dm_.TVascor.keepInView(topIdBeforeRefresh_);
    verticalBeforeRefresh_ = DBGrid1->verticalScrollBar()->value();
    horizontalBeforeRefresh_ = DBGrid1->horizontalScrollBar()->value();
}

void TForm1::restoreListPlace() {
    const int top = topIdBeforeRefresh_ > 0 ? dm_.TVascor.rowOfId(topIdBeforeRefresh_) : -1;
    if (top >= 0) {
        DBGrid1->scrollTo(DBGrid1->model()->index(top, 0), QAbstractItemView::PositionAtTop);
    } else {
        DBGrid1->verticalScrollBar()->setValue(verticalBeforeRefresh_);
    }
    DBGrid1->horizontalScrollBar()->setValue(horizontalBeforeRefresh_);
}

std::optional<QList<qint64>> TForm1::chosenRecordIds() const {
    QList<qint64> ids;
    if (!DBGrid1->selectionModel()) return ids;
    for (const QItemSelectionRange& range : DBGrid1->selectionModel()->selection()) {
        QString why;
        const std::optional<QList<qint64>> rows = dm_.TVascor.idsOfRows(range.top(), range.bottom(), &why);
        if (!rows) {
            showError(withEngineWords(QStringLiteral("ركوردهاي انتخاب شده از %1 خوانده نشد.").arg(storeNoun(dm_.Maincon)), why));
            return std::nullopt;
        }
        ids << *rows;
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

void TForm1::selectRowInList(int row) {
    if (!DBGrid1->model()) return;
    // The list moved the record itself (a click, Ctrl or Shift with it): the rows chosen stay.
    if (row >= 0 && DBGrid1->currentIndex().row() == row) return;
    syncingSelection_ = true;
    if (row < 0) {
        DBGrid1->selectionModel()->clear();
    } else {
        const QModelIndex index = DBGrid1->model()->index(row, std::max(0, DBGrid1->currentIndex().column()));
        DBGrid1->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        DBGrid1->scrollTo(index);
    }
    syncingSelection_ = false;
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
    QWidget::changeEvent(event);
}

void TForm1::FormActivate() { activateKeyboardLayout(QString::fromLatin1(kPersianLayout)); }

void TForm1::dxWinXPBar1Items0Click() {
    if (!dm_.TVascor.isOpen()) {
        ShowMsg(QStringLiteral("%1 باز نيست؛ ركوردي را نمي توان افزود.").arg(storeNoun(dm_.Maincon)));
        return;
    }
    if (!NewCommand) return;
    NewCommand();
    FillTabIt();
}

bool TForm1::mayTake(access::Action action) {
    if (access::may(dm_.Maincon.rights(), action)) return true;
    ShowMsg(access::onlyRoleText(access::leastRoleFor(action)));
    return false;
}

void TForm1::dxWinXPBar1Items1Click() {
    // Enter in the list edits too, greyed command or not.
    if (!EditCommand || !mayTake(access::Action::EditUncertified)) return;
    EditCommand();
    // An edit may give a herd its first record or take its last one.
    FillTabIt();
}

void TForm1::dxWinXPBar1Items2Click() {
    RecordTable& table = dm_.TVascor;
    if (table.isEmpty() || !mayTake(access::Action::EditUncertified)) return;
    // A certified record is a registrar's to delete; the server refuses anyone else, but the
    // desk is told before it asks.
    if (!access::may(dm_.Maincon.rights(), access::Action::Delete)) {
        const qint64 record = table.id();
        std::optional<bool> certified;
        dm_.worker().call([&](StoreLink& link) {
            certified = withLink(link, [&] {
                QSqlDatabase db = link.database();
                return certificates::hasCurrentIssue(db, record);
            });
        });
        if (certified.value_or(false)) {
            ShowMsg(access::onlyRoleText(access::leastRoleFor(access::Action::Delete)));
            return;
        }
    }
    if (askYesNo(deleteQuestion(table.value(QStringLiteral("شماره ثبت")), table.value(QStringLiteral("نام گوساله"))), kAnswerNo) !=
        kAnswerYes)
        return;
    if (!table.remove()) {
        if (table.saveFailure() == SaveFailure::NotAllowed) showError(table.errorText());
        else showError(withEngineWords(QStringLiteral("حذف انجام نشد؛ ركورد در %1 باقي ماند.").arg(storeNoun(dm_.Maincon)), table.errorText()));
        return;
    }
    // The herd's last record takes its tab with it.
    FillTabIt();
}

void TForm1::dxWinXPBar1Items4Click() {
    if (PrintCommand) PrintCommand();
}

void TForm1::dxWinXPBar1Items7Click() {
    if (AboutCommand) AboutCommand();
}

void TForm1::dxWinXPBar1Items6Click() {
    if (ExitCommand) ExitCommand();
}

void TForm1::ShowMsg(const QString& text) { showMessage(text); }

int TForm1::AskYesNo(const QString& text) { return askYesNo(text); }

}  // namespace zartav
