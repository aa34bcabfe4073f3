#pragma once

#include <QString>
#include <functional>

namespace zartav {

class TForm2;

// How the main window shows a message box ("پيام" / "بازگشت").
using ShowMessageFn = std::function<void(const QString&)>;

// The text shown when a record cannot be saved (it ends in one blank).
QString saveFailureText();

// "جديد": a new record through the entry form; posted on OK, dropped otherwise. The main window
// rebuilds its herd tabs afterwards, so a new herd code gets its tab.
void newRecord(TForm2& form, const ShowMessageFn& showMsg);

// "اصلاح": the current record through the entry form; nothing when the list shows no record.
void editRecord(TForm2& form, const ShowMessageFn& showMsg);

}  // namespace zartav
