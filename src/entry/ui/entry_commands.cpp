#include "entry/ui/entry_commands.h"

#include "data/tdm.h"
#include "entry/ui/entry_form.h"
#include "util/ttools.h"

namespace zartav {

namespace {

// Posts on OK; a failed save, or any other answer, drops the changes.
void finish(RecordTable& table, int result, const ShowMessageFn& showMsg) {
    if (result != TForm2::kOk) {
        table.cancel();
        return;
    }
    if (!table.post()) {
        table.cancel();
        if (showMsg) showMsg(saveFailureText());
    }
}

}  // namespace

QString saveFailureText() { return QStringLiteral("خطا در ذخيره سازي اطلاعات "); }

void newRecord(TForm2& form, const ShowMessageFn& showMsg) {
    RecordTable& table = form.dataModule().TVascor;
    form.FillLists();
    if (!table.insert()) {
        // No open table (the database failed to open at start): there is nowhere to save to.
        if (showMsg) showMsg(saveFailureText());
        return;
    }
    table.setValue(QStringLiteral("تاريخ چاپ"), TTools::instance().FarsiToday());
    finish(table, form.ShowModal(), showMsg);
}

void editRecord(TForm2& form, const ShowMessageFn& showMsg) {
    RecordTable& table = form.dataModule().TVascor;
    if (table.isEmpty() || table.currentRow() < 0) return;
    form.FillLists();
    if (!table.edit()) {
        if (showMsg) showMsg(saveFailureText());
        return;
    }
    finish(table, form.ShowModal(), showMsg);
}

}  // namespace zartav
