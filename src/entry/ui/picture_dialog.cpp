#include "entry/ui/picture_dialog.h"
#include "dates/ui/file_dialog.h"

#include <QFileDialog>
#include <QStandardPaths>

namespace zartav {

TOpenPictureDialog::TOpenPictureDialog(QWidget* parent) : QObject(parent), parentWidget_(parent) {
    setObjectName(QStringLiteral("OpenPictureDialog1"));
}

TOpenPictureDialog::~TOpenPictureDialog() = default;

QString TOpenPictureDialog::nameFilters() {
    return QStringLiteral(
        "All (*.jpg *.jpeg *.bmp *.ico *.emf *.wmf);;"
        "JPEG Image File (*.jpg *.jpeg);;"
        "Bitmaps (*.bmp);;"
        "Icons (*.ico);;"
        "Enhanced Metafiles (*.emf);;"
        "Metafiles (*.wmf)");
}

std::optional<QString> TOpenPictureDialog::Execute() {
    if (chooser) return chooser();
    if (!dialog_) {
        dialog_ = new QFileDialog(parentWidget_);
        dialog_->setObjectName(QStringLiteral("OpenPictureDialog1Window"));
        dialog_->setAcceptMode(QFileDialog::AcceptOpen);
        dialog_->setFileMode(QFileDialog::ExistingFile);
        dialog_->setNameFilter(nameFilters());
        dialog_->setDirectory(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
        useFarsiFileList(*dialog_);
    }
    if (dialog_->exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog_->selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.first();
}

}  // namespace zartav
