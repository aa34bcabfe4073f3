#include "entry/ui/entry_form.h"

#include "data/pedigree/pedigree.h"
#include "data/pedigree/record_checks.h"
#include "data/records/column_groups.h"
#include "data/records/record_find.h"
#include "data/records/record_text.h"
#include "data/tdm.h"
#include "entry/entry_checks.h"
#include "entry/entry_fields.h"
#include "util/photo_convert.h"
#include "entry/ui/dos_sperm_form.h"
#include "entry/ui/pedigree_form.h"
#include "entry/ui/picture_box.h"
#include "entry/ui/picture_dialog.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "services/ttools.h"
#include "util/ui/dialog_helpers.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTimer>
#include <QToolButton>

#include <span>

namespace zartav {
using entry::Field;
using entry::Kind;

namespace {

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

QStringList TForm2::mannerOfBirthItems() { return entry::mannerOfBirthItems(); }
QStringList TForm2::calfSexItems() { return entry::calfSexItems(); }
QStringList TForm2::serviceTypeItems() { return entry::serviceTypeItems(); }
QStringList TForm2::calvingMannerItems() { return entry::calvingMannerItems(); }
QStringList TForm2::patchColourItems() { return entry::patchColourItems(); }

QString TForm2::photoFailureText() { return QStringLiteral("خطا در ساخت فايل موقت تصوير"); }

QWidget* TForm2::boxOf(const QString& column) const { return boxes_.value(column); }

void TForm2::writeColumn(QWidget* box, const QString& value) {
    if (loading_) return;
    typed_ = true;
    dm_.TVascor.setValue(columns_.value(box), value);
    if (box == DBEdit18 || box == DBEdit19 || box == DBEdit24) inbreedingTimer_->start();
}

void TForm2::showInbreeding() {
    inbreedingTimer_->stop();
    RecordTable& record = dm_.TVascor;
    QStringList values;
    for (const QString& column : pedigree::AnimalReader::recordColumns()) values << record.value(column);
    const pedigree::Animal calf = pedigree::AnimalReader::recordFrom(record.id(), values);
    inbreeding_->clear();
    const quint64 asked = ++inbreedingAsked_;
    if (!calf.sire.known() || !calf.dam.known() || !dm_.TVascor.isOpen()) return;
    // Read by the store worker: the form opens and takes keys meanwhile, and the figure follows.
    auto read = std::make_shared<std::optional<pedigree::Pedigree>>();
    dm_.worker().post(
        [read, calf](StoreLink& link) {
            const pedigree::AnimalReader reader(link);
            *read = withLink(link, [&] { return pedigree::Pedigree::read(reader, calf); });
        },
        [this, read, asked] {
            // The store cannot be read now: nothing is said rather than a wrong figure; an answer
            // for numbers typed over since is nobody's.
            if (asked == inbreedingAsked_ && *read) showInbreeding(**read);
        });
}

void TForm2::showInbreeding(pedigree::Pedigree& p) {
    const double f = p.inbreeding();
    inbreeding_->setText(QStringLiteral("همخوني %1 %  (شجره %2 % كامل)")
                             .arg(QString::number(f * 100, 'f', 1), QString::number(p.completeness() * 100, 'f', 0)));
    QPalette pal = inbreeding_->palette();
    pal.setColor(QPalette::WindowText, f > 0.0625 + 1e-12 ? QColor(Qt::red) : palette().color(QPalette::WindowText));
    inbreeding_->setPalette(pal);
}

void TForm2::showColumn(QWidget* box) {
    const QString value = dm_.TVascor.value(columns_.value(box));
    const bool wasLoading = loading_;
    loading_ = true;
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setText(value);
        line->setCursorPosition(0);
    } else if (auto* combo = qobject_cast<QComboBox*>(box)) {
        const int index = combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
        combo->setCurrentIndex(index);
        // A stored value that is not one of the items shows as typed text (a pick list has none).
        if (index < 0 && combo->isEditable()) combo->setEditText(value);
        if (combo->lineEdit()) combo->lineEdit()->setCursorPosition(0);
    } else if (auto* image = qobject_cast<PictureBox*>(box)) {
        image->showPhoto(dm_.TVascor.photo(columns_.value(box)));
    }
    loading_ = wasLoading;
}

void TForm2::loadRecord() {
    for (QWidget* box : std::as_const(boxes_)) showColumn(box);
    RecordTable& record = dm_.TVascor;
    const bool editing = record.state() == RecordState::Edit;
    reasonBox->setVisible(editing);
    captions_.value(reasonBox)->setVisible(editing);
    // As the edit found it: the register holds a current issue of the record, or a request to
    // correct it goes to a registrar, who reads why.
    reasonRequired_ = editing && (record.editsIssued() || record.editsByRequest());
    for (QLineEdit* box : std::as_const(dateBoxes_)) box->setStyleSheet(QString());
    showInbreeding();
}

void TForm2::FillLists() {
    QStringList unread;
    QString why;
    // Those not held are read together, in one go.
    dm_.storedValues().fetch(entry::storedValueColumns(), &why);
    for (const entry::StoredValueList& list : entry::storedValueLists()) {
        auto* combo = findChild<QComboBox*>(text(list.box));
        auto* model = static_cast<QStringListModel*>(combo->model());
        QStringList items = model->stringList();
        // A failed statement keeps the items, and the user hears which list is an old one. A
        // code is offered once, whatever digits it was stored in.
        if (!dm_.FillStoredValues(text(list.column), items, &why))
            unread << QStringLiteral("«%1»").arg(text(list.column));
        else if (record_text::isNumberColumn(RecordTable::columnIndex(text(list.column))))
            items = find::foldedValues(items);
        const bool wasLoading = loading_;
        loading_ = true;
        model->setStringList(items);
        combo->setCurrentIndex(-1);
        combo->clearEditText();
        loading_ = wasLoading;
    }
    if (!unread.isEmpty())
        showError(withEngineWords(storedValuesUnreadText(unread.join(QStringLiteral("، ")), storeNoun(dm_.Maincon)), why));
}

QString TForm2::storedValuesUnreadText(const QString& lists, const QString& store) {
    return QStringLiteral("فهرست مقدارهاي %1 از %2 خوانده نشد؛ آنچه پيش از اين در فهرست بود مانده است.").arg(lists, store);
}

int TForm2::ShowModal() {
    reasonBox->clear();
    loadRecord();
    typed_ = false;
    const int result = exec();
    ++inbreedingAsked_;  // a figure still on its way is for a form that has closed
    return result;
}

bool TForm2::ConvertJPG2BMP(const QString& fileName) {
    std::optional<QByteArray> bitmap = photo::storedBitmapFromFile(fileName);
    if (!bitmap) return false;
    temporaryBitmap_ = std::move(*bitmap);
    return true;
}

void TForm2::loadPhoto(int photo) {
    const std::optional<QString> file = OpenPictureDialog1->Execute();
    if (!file) return;
    if (!ConvertJPG2BMP(*file)) {
        showPlainBox(MessageIcon::Information, photoFailureText());
        return;
    }
    PictureBox* images[3] = {DBImage1, DBImage2, DBImage3};
    if (!dm_.TVascor.setPhoto(text(entry::kPhotoColumns[photo]), temporaryBitmap_)) return;
    typed_ = true;
    images[photo]->showPhoto(temporaryBitmap_);
}

void TForm2::dxToolButton2Click() { loadPhoto(0); }
void TForm2::dxToolButton3Click() { loadPhoto(1); }
void TForm2::dxToolButton4Click() { loadPhoto(2); }
void TForm2::DBImage1DblClick() { loadPhoto(0); }
void TForm2::DBImage2DblClick() { loadPhoto(1); }
void TForm2::DBImage3DblClick() { loadPhoto(2); }

void TForm2::dxToolButton1Click() {
    if (!picker_) return;
    picker_->setDam(dm_.TVascor.value(QStringLiteral("ثبت مادر تني")));
    if (picker_->exec() != TDosSperm::kOk) return;
    RecordTable& record = dm_.TVascor;
    const CatalogueTable& bulls = dm_.TDosSperm;
    typed_ = true;
    record.setValue(QStringLiteral("HFپدر"), QStringLiteral("100"));
    // A catalogue written elsewhere may hold more than a record column takes: what the boxes
    // show must be what is saved, so the value is cut to fit here, and the user told once.
    const int room = RecordTable::maxLength();
    bool cut = false;
    const std::pair<const char*, const char*> copies[] = {
        {"نام", "Name_SP"}, {"ثبت داخلي", "RegNo_SP"}, {"ثبت خارجي", "RegNo_SPF"}};
    for (const auto& [column, source] : copies) {
        const QString value = bulls.value(QLatin1String(source));
        cut = cut || value.size() > room;
        record.setValue(text(column), value.left(room));
    }
    for (QLineEdit* box : {DBEdit20, DBEdit17, DBEdit18, DBEdit19}) showColumn(box);
    showInbreeding();
    if (cut)
        showMessage(QStringLiteral("اطلاعات اين گاو در كاتالوگ از %1 حرف بلندتر است؛ فقط %1 حرف اول آن در شناسنامه ثبت مي شود.")
                        .arg(room));
}

void TForm2::DBComboBox14Change() {
    const QString chosen = DBComboBox14->currentText().trimmed();
    const int position = calvingMannerItems().indexOf(chosen);
    if (position < 0) return;
    dm_.TVascor.setValue(QStringLiteral("كد نحوه زايش"), QString::number(position + 1));
    showColumn(DBEdit48);
}

void TForm2::DBEdit10DblClick() { TTools::instance().PickDateFromDate(DBEdit10); }

void TForm2::DBEdit44DblClick(QLineEdit* box) { TTools::instance().PickDateFromDate(box ? box : DBEdit44); }

QColor TForm2::wrongBoxColour() { return QColor(0xFF, 0xD6, 0xD6); }

bool TForm2::checkTyped() {
    RecordTable& record = dm_.TVascor;
    entry::OkInput input;
    for (const Field& f : entry::fields()) {
        const QString column = text(f.column);
        // The checked dates as their boxes show them, the rest as the record holds them.
        auto* line = qobject_cast<QLineEdit*>(boxes_.value(column));
        input.typed.insert(column, f.kind == Kind::CheckedDate && line ? line->text() : record.value(column));
    }
    input.editing = record.state() == RecordState::Edit;
    // An issued record left as it was needs no reason; a request always says why.
    input.reasonRequired = reasonRequired_ && (record.editsByRequest() || record.editChanged());
    input.reason = reasonBox->text();
    input.todayYear = TTools::instance().FarsiToday().section(QLatin1Char('/'), 0, 0).toInt();
    const entry::OkOutcome outcome = entry::checkOk(input);

    // What the boxes show is what is saved: a completed date is typed into its box, a value
    // the record keeps otherwise is shown.
    for (auto it = outcome.corrected.cbegin(); it != outcome.corrected.cend(); ++it) {
        QWidget* box = boxes_.value(it.key());
        if (auto* line = qobject_cast<QLineEdit*>(box); line && dateBoxes_.contains(line)) {
            line->setText(it.value());
        } else {
            record.setValue(it.key(), it.value());
            showColumn(box);
        }
    }
    if (!outcome.refusal) {
        if (input.editing) record.setChangeReason(input.reason.trimmed());
        return true;
    }
    const entry::OkRefusal& refusal = *outcome.refusal;
    showMessage(refusal.message, refusal.caption);
    QWidget* box = refusal.field == entry::reasonField() ? reasonBox : boxes_.value(refusal.field);
    box->setFocus();
    // A refused date (the only refusal naming its field in the caption) stays marked until its
    // box is typed in again.
    if (auto* line = qobject_cast<QLineEdit*>(box); line && !refusal.caption.isEmpty()) {
        line->setStyleSheet(QStringLiteral("QLineEdit { background: %1; }").arg(wrongBoxColour().name()));
        connect(line, &QLineEdit::textChanged, line, [line] { line->setStyleSheet(QString()); }, Qt::SingleShotConnection);
    }
    return false;
}

void TForm2::dxButton1Click() {
    // Only the first refusal is reported; the focus is left in its box.
    if (!checkTyped()) return;
    if (!confirmChecks()) return;
    if (confirmOk_ && !confirmOk_()) return;
    done(kOk);
}

bool TForm2::confirmChecks() {
    RecordTable& record = dm_.TVascor;
    // The typed values are taken here; the store is asked by its worker, the form waiting.
    QHash<QString, QString> typed;
    for (int i = 0; i < schema::kListedColumnCount; ++i) {
        const QString column = schema::column(schema::kRecordColumns[i]);
        typed.insert(column, record.value(column));
    }
    // A new record whose save lost its answer may be stored already: it is no duplicate of itself.
    const qint64 id = record.id() > 0 ? record.id() : record.unconfirmedId();
    std::optional<checks::Facts> facts;
    // A store that cannot be read now does not keep the record from being saved.
    dm_.worker().call([&](StoreLink& link) {
        facts = checks::factsOf(link, id, [&typed](const char* column) { return typed.value(QString::fromUtf8(column)); });
    });
    if (!facts) return true;
    const QStringList today = TTools::instance().FarsiToday().split(QLatin1Char('/'));
    if (today.size() != 3) return true;
    const QList<checks::Finding> findings =
        checks::findingsOf(*facts, {today[0].toInt(), today[1].toInt(), today[2].toInt()});
    // Saving past a warning is a choice made on purpose: Enter goes back to the form.
    return findings.isEmpty() || askYesNo(checks::confirmationText(findings), kAnswerNo) == kAnswerYes;
}

void TForm2::dxButton2Click() { done(kCancel); }

void TForm2::reject() {}

QList<std::pair<QString, QStringList>> TForm2::keyboardKeys() {
    return {
        {QStringLiteral("فرم شناسنامه: كادر بعد (در آخرين كادر: قبول)"), {QStringLiteral("Return")}},
        {QStringLiteral("فرم شناسنامه: انصراف"), {QStringLiteral("Esc")}},
        {QStringLiteral("فرم شناسنامه: انتخاب پدر از كاتالوگ (در كادرهاي پدر)"), {QStringLiteral("F4"), QStringLiteral("Alt+Down")}},
    };
}

QString TForm2::dropTypedQuestion() {
    return QStringLiteral("آنچه در اين فرم نوشته ايد ذخيره نمي شود. فرم بسته شود؟");
}

QWidget* TForm2::lastBox() const {
    // The last box a clerk types into; the calving code after it only shows.
    const std::span<const Field> fields = entry::fields();
    for (auto f = fields.rbegin(); f != fields.rend(); ++f) {
        QWidget* box = boxes_.value(text(f->column));
        if (box->isEnabled()) return box;
    }
    return nullptr;
}

void TForm2::enterPressed(QWidget* box) {
    if (box == dxButton1 || box == dxButton2) {
        static_cast<QPushButton*>(box)->click();
    } else if (box == lastBox()) {
        dxButton1Click();
    } else {
        // The next box in tab order after this one, whichever window has the focus right now.
        QWidget* next = box;
        do {
            next = next->nextInFocusChain();
        } while (next != box && (box->isAncestorOf(next) || !isAncestorOf(next) || !next->isEnabled() ||
                                 !next->isVisibleTo(this) || !(next->focusPolicy() & Qt::TabFocus)));
        next->setFocus(Qt::TabFocusReason);
    }
}

void TForm2::escapePressed() {
    // Nothing typed: nothing to lose, no question.
    if (typed_ && askYesNo(dropTypedQuestion()) != kAnswerYes) return;
    dxButton2Click();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == DBEdit10) {
            DBEdit10DblClick();
            return true;
        }
        if (auto* box = qobject_cast<QLineEdit*>(watched); box && dateBoxes_.contains(box)) {
            DBEdit44DblClick(box);
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        // The box itself, for the text box inside an editable list.
        auto* combo = qobject_cast<QComboBox*>(widget);
        if (!combo) combo = qobject_cast<QComboBox*>(widget->parentWidget());
        QWidget* box = combo ? combo : widget;
        // An open list answers Enter and Escape itself: they choose or close it.
        const bool listOpen = combo && combo->view()->isVisible();
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (!listOpen && plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            enterPressed(box);
            return true;
        }
        if (!listOpen && plain && key->key() == Qt::Key_Escape) {
            escapePressed();
            return true;
        }
        // The sire's boxes open the catalogue as a list box opens its list.
        const bool opensList = (plain && key->key() == Qt::Key_F4) ||
                               ((key->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier && key->key() == Qt::Key_Down);
        if (opensList && (box == DBEdit17 || box == DBEdit18 || box == DBEdit19 || box == DBEdit20)) {
            dxToolButton1Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    // Keys no box took: Enter on a button presses it, Escape cancels wherever the focus is.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        enterPressed(focusWidget());
        return;
    }
    if (plain && event->key() == Qt::Key_Escape) {
        escapePressed();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm2::showEvent(QShowEvent* event) {
    centreOnScreen(this);
    QDialog::showEvent(event);
    // The first keys typed go into the first box, whichever box had the focus last time.
    DBEdit1->setFocus(Qt::OtherFocusReason);
}

}  // namespace zartav
