#pragma once

#include <QString>
#include <functional>

namespace zartav {

class TForm2;

// How New and Edit report a save that failed: the program shows the error box.
using ShowMessageFn = std::function<void(const QString&)>;

// The text shown when a record cannot be saved (it ends in one blank).
QString saveFailureText();
// The question when the record being saved was changed at another desk meanwhile.
QString changedElsewhereText();
// Why a clerk's change to a certified record cannot carry a new photo.
QString photoNotRequestedText();
// The save-failure text when the server `store` cannot be reached; the form stays open.
QString unreachableText(const QString& store);

// "جديد": a new record through the entry form; posted on OK, dropped otherwise. The main window
// rebuilds its herd tabs afterwards, so a new herd code gets its tab. The save is made while the
// form is still open: when another desk changed the record meanwhile the user chooses to keep
// their version, read the record again or go back to the form; when the server cannot be
// reached the form stays open with everything typed.
void newRecord(TForm2& form, const ShowMessageFn& showMsg);

// "اصلاح": the current record through the entry form; nothing when the list shows no record. A
// clerk's change to a certified record is sent to a registrar as a correction request, with the
// reason the form asks for, and the record stays as it was.
void editRecord(TForm2& form, const ShowMessageFn& showMsg);

}  // namespace zartav
