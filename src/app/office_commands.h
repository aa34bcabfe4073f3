#pragma once

// The office commands around the records: bringing records in from a spreadsheet's CSV file,
// backing the store up, restoring it from a backup, and the daily copy kept without asking.

#include <QString>
#include <functional>

class QWidget;

namespace zartav {

class TDM;
class TForm1;

// What an office command asks the user for a file.
struct FileQuestion {
    QString caption;
    QString suggested;  // a folder, or a file name to save under
    QString filter;
    bool toSave = false;
};
// Answers the chosen file's path, empty when the user declined. Tests answer in place of the
// file dialogs; an empty function brings the dialogs back.
using FileChooser = std::function<QString(const FileQuestion&)>;
void setOfficeFileChooser(FileChooser chooser);
// The file the user chose (through the chooser installed, else a file dialog).
QString chooseOfficeFile(QWidget* parent, const FileQuestion& question);

// "ورود ركوردها": a CSV file's records into the store in use; the list keeps its place.
void addRecordImportCommand(TForm1& window, TDM& dm);
// "ورود كاتالوگ": the bull catalogue an office receives as a CSV file, in place of the one the
// store holds, with progress; the sire picker shows it at once.
void addCatalogueImportCommand(TForm1& window, TDM& dm);
// "پشتيبان گيري" and "بازگرداني".
void addBackupCommands(TForm1& window, TDM& dm);
// Once the store is open: today's copy in the per-user backups/ folder, off the window's
// thread; the user hears of it only when it fails.
void startDailyBackup(TForm1& window, TDM& dm);

}  // namespace zartav
