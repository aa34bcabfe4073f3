#include "app/legacy_import_dialog.h"

#include "data/legacy/legacy_import.h"
#include "data/schema/store_upgrade.h"
#include "data/tdm.h"
#include "util/dialogs.h"
#include "util/ui/dialog_helpers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSqlDatabase>
#include <QSqlError>
#include <QUuid>

#include <algorithm>
#include <climits>

namespace zartav {

bool importLegacyDatabaseIfPresent(QWidget* parent, const QString& mdbPath, const QString& dbPath) {
    if (!QFileInfo(mdbPath).isFile() || QFileInfo::exists(dbPath)) return false;

    // Refuse an unusable file before anything is created.
    QString error;
    if (!legacy::checkMdbFile(mdbPath, &error)) {
        legacy::ImportReport refused;
        refused.error = error;
        showMessage(legacy::farsiRefusal(mdbPath, refused));
        return false;
    }
    QDir().mkpath(QFileInfo(dbPath).absolutePath());

    const auto progress = progressWindow(QStringLiteral("انتقال اطلاعات"), QStringLiteral("انتقال اطلاعات از فايل قديمي ..."),
                                         QStringLiteral("انصراف"), 100, parent);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setValue(0);

    const QString connection = QStringLiteral("legacy-import-") + QUuid::createUuid().toString();
    legacy::ImportReport report;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(dbPath);
        if (!db.open()) {
            report.error = db.lastError().text();
        } else if (!createRecordSchema(db, &error)) {
            report.error = error;
        } else {
            // Repainting for every row would cost more than the import itself.
            report = legacy::importMdbFile(mdbPath, db, [&](qint64 done, qint64 total) {
                if (done % 50 == 0 || done == total) {
                    progress->setMaximum(int(std::min<qint64>(total, INT_MAX)));
                    progress->setValue(int(std::min<qint64>(done, INT_MAX)));
                    QApplication::processEvents();
                }
                return !progress->wasCanceled();
            });
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    progress->close();

    if (!report.ok) {
        // The half-made database goes, so the next start begins afresh.
        QFile::remove(dbPath);
        showMessage(legacy::farsiRefusal(mdbPath, report));
        return false;
    }
    showMessage(legacy::farsiSummary(report));
    return true;
}

}  // namespace zartav
