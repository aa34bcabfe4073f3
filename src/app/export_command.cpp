#include "app/export_command.h"
#include "dates/ui/file_dialog.h"

#include "app/main_window.h"
#include "data/tdm.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "util/ui/dialog_helpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QKeySequence>
#include <QProgressDialog>

#include <memory>

namespace zartav {
namespace {

// A screenful of rows is written before the eye could follow a progress window.
constexpr qint64 kScreenful = 64;

}  // namespace

ExportResult exportShownRecords(QWidget* parent, TDM& dm, const QString& path) {
    Connection link;
    if (!link.open(dm.Maincon.address())) {
        ExportResult failed;
        failed.error = link.errorText();
        showError(failed.error);
        return failed;
    }
    RecordTable shown(link);
    const RecordTable& list = dm.TVascor;
    if (!list.filterColumn().isEmpty()) shown.setFilter(list.filterColumn(), list.filterValue());
    shown.setFiltered(list.isFiltered());
    shown.setFind(list.findText());

    std::unique_ptr<QProgressDialog> progress;
    const ExportResult result = exportRecords(shown, path, ExportColumns::Listed, [&](qint64 done, qint64 total) {
        if (!progress && total > kScreenful) {
            progress = progressWindow(QStringLiteral("خروجي اكسل"), QStringLiteral("نوشتن ركوردها در فايل…"),
                                      QStringLiteral("انصراف"), 100, parent);
        }
        if (!progress) return true;
        progress->setValue(int(100 * done / std::max<qint64>(1, total)));
        progress->setLabelText(QStringLiteral("نوشتن ركوردها در فايل: %1 از %2").arg(done).arg(total));
        QCoreApplication::processEvents();
        return !progress->wasCanceled();
    });
    progress.reset();
    if (result.ok)
        showMessage(QStringLiteral("%1 ركورد در فايل زير نوشته شد:\n%2").arg(result.rows).arg(isolatedPath(path)));
    else if (!result.cancelled)
        showError(result.error);
    return result;
}

void addExportCommand(TForm1& window, TDM& dm) {
    window.addOfficeCommand(QStringLiteral("خروجي اكسل"), QKeySequence(QStringLiteral("Ctrl+E")), [&window, &dm] {
        if (!dm.TVascor.isOpen()) {
            showMessage(QStringLiteral("%1 باز نيست؛ ركوردي براي خروجي نيست.").arg(storeNoun(dm.Maincon)));
            return;
        }
        const QString path = chooseFileToSave(&window, QStringLiteral("خروجي اكسل"), QDir::home().filePath(QStringLiteral("Zartav.xlsx")),
                                              QStringLiteral("اكسل (*.xlsx);;CSV (*.csv)"));
        if (!path.isEmpty()) exportShownRecords(&window, dm, path);
    });
}

}  // namespace zartav
