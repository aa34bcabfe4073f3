#include "dates/ui/file_dialog.h"

#include "dates/calendar.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QStyle>
#include <QTreeView>

#include <array>

namespace zartav {
namespace {

// The columns of Qt's file list.
enum Column { Name, Size, Kind, Modified };

QString sizeText(qint64 bytes) {
    static const std::array<const char*, 5> units = {"بايت", "كيلوبايت", "مگابايت", "گيگابايت", "ترابايت"};
    double value = double(bytes);
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < units.size()) {
        value /= 1024;
        ++unit;
    }
    const int decimals = unit > 0 && value < 10 ? 1 : 0;
    return QStringLiteral("%1 %2").arg(QString::number(value, 'f', decimals), QString::fromUtf8(units[unit]));
}

QString dateText(const QDateTime& when) {
    const calendar::SolarDate day = calendar::fromGregorian(when.date());
    if (day.year == 0) return {};
    return QString::asprintf("%04d/%02d/%02d ", day.year, day.month, day.day) + when.time().toString(QStringLiteral("HH:mm"));
}

class FarsiFileList : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files || role != Qt::DisplayRole || index.column() == Name) return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const bool folder = files->isDir(source);
        switch (index.column()) {
            case Size: return folder ? QString() : sizeText(files->size(source));
            case Kind: {
                if (folder) return QStringLiteral("پوشه");
                const QString suffix = files->fileInfo(source).suffix();
                return suffix.isEmpty() ? QStringLiteral("فايل") : QStringLiteral("فايل ") + suffix;
            }
            case Modified: return dateText(files->lastModified(source));
        }
        return QIdentityProxyModel::data(index, role);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const std::array<const char*, 4> titles = {"نام", "اندازه", "نوع", "تاريخ تغيير"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < int(titles.size()))
            return QString::fromUtf8(titles[size_t(section)]);
        return QIdentityProxyModel::headerData(section, orientation, role);
    }
};

QString chooseFile(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter,
                   QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // A filter's pattern read right to left shows as "(xlsx.*)": the dialog names the kinds only.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(filter);
    const QFileInfo place(suggested);
    if (place.isDir()) {
        dialog.setDirectory(suggested);
    } else if (!suggested.isEmpty()) {
        dialog.setDirectory(place.absolutePath());
        dialog.selectFile(place.fileName());
    }
    useFarsiFileList(dialog);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

}  // namespace

void useFarsiFileList(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new FarsiFileList(&dialog));
    // The columns were sized for the English texts: room for the longest of ours.
    if (auto* list = dialog.findChild<QTreeView*>()) {
        const QFontMetrics metrics(list->font());
        const int margin = 2 * list->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, list) + 8;
        list->header()->resizeSection(Size, metrics.horizontalAdvance(sizeText(1023ll * 1024 * 1024)) + margin);
        list->header()->resizeSection(Modified, metrics.horizontalAdvance(QStringLiteral("1405/09/18 14:32")) + margin);
    }
}

QString chooseFileToOpen(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter) {
    return chooseFile(parent, caption, suggested, filter, QFileDialog::AcceptOpen);
}

QString chooseFileToSave(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter) {
    return chooseFile(parent, caption, suggested, filter, QFileDialog::AcceptSave);
}

}  // namespace zartav
