#include "entry/ui/entry_commands.h"

#include "data/corrections/correction_requests.h"
#include "data/tdm.h"
#include "entry/ui/entry_form.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "util/message_sink.h"
#include "services/ttools.h"

namespace zartav {

namespace {

enum class ConflictChoice { KeepMine, ReadAgain, BackToForm };

ConflictChoice askAboutConflict() {
    MessageBox box;
    box.icon = MessageIcon::Warning;
    box.caption = QStringLiteral("سوال");
    box.text = changedElsewhereText();
    box.buttons = {QStringLiteral("ذخيره نسخه من"), QStringLiteral("خواندن دوباره"), QStringLiteral("بازگشت به فرم")};
    box.escapeButton = 2;
    switch (messageSink().show(box)) {
    case 0:
        return ConflictChoice::KeepMine;
    case 1:
        return ConflictChoice::ReadAgain;
    default:
        return ConflictChoice::BackToForm;
    }
}

// Whether the form may close after a save attempt: a record saved, or a failure that the
// save-failure message reports once it has closed. A record changed at another desk, or a
// server out of reach, keeps the form open with everything typed.
bool mayClose(TForm2& form, RecordTable& table, const ShowMessageFn& showMsg, bool saved) {
    if (saved) return true;
    switch (table.saveFailure()) {
    case SaveFailure::ChangedElsewhere:
        switch (askAboutConflict()) {
        case ConflictChoice::KeepMine:
            return mayClose(form, table, showMsg, table.post(SaveMode::Overwrite));
        case ConflictChoice::ReadAgain:
            if (!table.reloadEdited()) return true;
            form.loadRecord();
            return false;
        case ConflictChoice::BackToForm:
            return false;
        }
        return false;
    case SaveFailure::Unreachable:
        if (showMsg) showMsg(unreachableText(form.dataModule().Maincon.displayName()));
        return false;
    case SaveFailure::NotAllowed:
        // The server's refusal in its words; what was typed stays for another to save.
        if (showMsg) showMsg(table.errorText());
        return false;
    default:
        return true;
    }
}

// A change to a certified record that this desk's role may not correct goes to a registrar as a
// request; the record stays as it is and the form closes once the request is in.
bool sendRequest(TForm2& form, RecordTable& table, const ShowMessageFn& showMsg) {
    if (table.photoReplaced()) {
        showMessage(photoNotRequestedText());
        return false;
    }
    const QList<history::Change> changes = corrections::changedColumns(table.editedOriginal(), table.editedValues());
    if (changes.isEmpty()) {
        table.cancel();
        return true;
    }
    const qint64 id = table.id();
    const QString reason = table.changeReason();
    std::optional<qint64> number;
    QString error;
    form.dataModule().worker().call([&](StoreLink& link) {
        if (linkReady(link)) number = corrections::ask(link.database(), id, changes, reason, &error);
        else error = link.technicalError();
    });
    if (!number) {
        if (showMsg) showMsg(saveFailureText() + QLatin1Char('\n') + error);
        return false;
    }
    table.cancel();
    showMessage(corrections::sentText(*number));
    return true;
}

// Saves on OK while the form is still open; a failed save that closes the form drops the
// changes and says so, any other answer drops them silently.
void runForm(TForm2& form, RecordTable& table, const ShowMessageFn& showMsg) {
    form.setOkConfirmation([&] {
        return table.editsByRequest() ? sendRequest(form, table, showMsg) : mayClose(form, table, showMsg, table.post());
    });
    const int result = form.ShowModal();
    form.setOkConfirmation({});
    if (table.state() == RecordState::Browse) return;  // saved
    table.cancel();
    if (result == TForm2::kOk && showMsg) showMsg(saveFailureText());
}

}  // namespace

QString saveFailureText() { return QStringLiteral("خطا در ذخيره سازي اطلاعات "); }

QString photoNotRequestedText() {
    return QStringLiteral("تصوير ركورد گواهي شده را فقط ثبت كننده عوض مي كند؛ درخواست اصلاح فقط نوشته ها را مي برد.");
}

QString changedElsewhereText() {
    return QStringLiteral("اين ركورد از زماني كه آن را باز كرديد در ميز ديگري تغيير كرده و ذخيره شده است.\n"
                          "نسخه خود را به جاي آن ذخيره مي كنيد، ركورد را دوباره مي خوانيد (آنچه نوشته ايد "
                          "كنار گذاشته مي شود) يا به فرم برمي گرديد؟");
}

QString unreachableText(const QString& store) {
    return saveFailureText() + QStringLiteral("\nاتصال به سرور اطلاعات زير قطع است و دوباره برقرار نشد:\n%1\n"
                                              "آنچه نوشته ايد در فرم مانده است؛ وقتي اتصال برقرار شد دوباره «قبول» را بزنيد.")
                                   .arg(isolated(store));
}

void newRecord(TForm2& form, const ShowMessageFn& showMsg) {
    RecordTable& table = form.dataModule().TVascor;
    form.FillLists();
    if (!table.insert()) {
        // No open table (the database failed to open at start): there is nowhere to save to.
        if (showMsg) showMsg(saveFailureText());
        return;
    }
    table.setValue(QStringLiteral("تاريخ چاپ"), TTools::instance().FarsiToday());
    runForm(form, table, showMsg);
}

void editRecord(TForm2& form, const ShowMessageFn& showMsg) {
    RecordTable& table = form.dataModule().TVascor;
    if (table.isEmpty() || table.currentRow() < 0) return;
    form.FillLists();
    if (!table.edit()) {
        if (showMsg) showMsg(saveFailureText());
        return;
    }
    runForm(form, table, showMsg);
}

}  // namespace zartav
