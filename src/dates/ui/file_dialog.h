#pragma once

// The program's file dialogs: Qt's own rather than the desktop's, so that whatever the system's
// locale each file's date reads Solar Hijri, its size and kind in Farsi words, and the locale
// of the rest of the program (Latin digits in its number boxes) is left as it is.

#include <QFileDialog>
#include <QString>

class QWidget;

namespace zartav {

// Gives `dialog` the Farsi file list; the dialog owns what it adds.
void useFarsiFileList(QFileDialog& dialog);

// An existing file to open, or to save under (a file there is asked about before it is
// replaced); empty when the user declined. `suggested` is a folder or a file's path; `filter`
// names the kinds as "اكسل (*.xlsx);;CSV (*.csv)", shown without their patterns.
QString chooseFileToOpen(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter);
QString chooseFileToSave(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter);

}  // namespace zartav
