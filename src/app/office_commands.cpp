#include "app/office_commands.h"
#include "dates/ui/file_dialog.h"

#include "app/main_window.h"
#include "data/transfer/record_import.h"
#include "data/transfer/daily_copies.h"
#include "data/transfer/store_backup.h"
#include "data/transfer/store_restore.h"
#include "data/tdm.h"
#include "dates/calendar.h"
#include "entry/catalogue_import.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"
#include "util/ui/dialog_helpers.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <memory>

namespace zartav {
namespace {

FileChooser& chooser() {
    static FileChooser installed;
    return installed;
}

}  // namespace

QString chooseOfficeFile(QWidget* parent, const FileQuestion& question) {
    if (chooser()) return chooser()(question);
    return question.toSave ? chooseFileToSave(parent, question.caption, question.suggested, question.filter)
                           : chooseFileToOpen(parent, question.caption, question.suggested, question.filter);
}

namespace {

QString documentsFolder() { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); }

const QString kDatabaseFilter = QStringLiteral("فايل اطلاعات (*.db);;همه فايلها (*)");

// A backup or a restore shows how far it has come, as an export does, and "انصراف" stops it
// with nothing left behind.
class BackupProgressWindow {
public:
    BackupProgressWindow(const QString& title, const QString& label, QWidget* parent)
        : window_(progressWindow(title, label, QStringLiteral("انصراف"), 1000, parent)) {
        // Up until the work is done, checking included: a full bar is not the end of it.
        window_->setAutoReset(false);
        window_->setAutoClose(false);
        window_->show();
    }
    BackupProgress progress() {
        return [this](qint64 done, qint64 total) {
            window_->setValue(int(done * 1000 / std::max<qint64>(1, total)));
            QApplication::processEvents();
            return !window_->wasCanceled();
        };
    }

private:
    std::unique_ptr<QProgressDialog> window_;
};

// As the list knows it, without reading the store again; a list narrowed by a herd or a find
// may hide records, so it counts as holding some.
bool storeHoldsRecords(const TDM& dm) {
    const RecordTable& list = dm.TVascor;
    return list.rowCount() > 0 || list.isFiltered() || !list.findText().isEmpty();
}

bool storeIsOpen(const TDM& dm) {
    if (dm.TVascor.isOpen()) return true;
    showMessage(QStringLiteral("%1 باز نيست.").arg(storeNoun(dm.Maincon)));
    return false;
}

void importRecords(TForm1& window, TDM& dm) {
    if (!storeIsOpen(dm)) return;
    const QString path = chooseOfficeFile(&window, {QStringLiteral("ورود ركوردها"), documentsFolder(),
                                          QStringLiteral("فايل CSV (*.csv);;همه فايلها (*)"), false});
    if (path.isEmpty()) return;
    // A large file shows how far it has come and may be stopped; nothing is added then.
    const auto progress =
        progressWindow(QStringLiteral("ورود ركوردها"), QStringLiteral("ورود ركوردها ..."), QStringLiteral("انصراف"), 1000, &window);
    progress->setMinimumDuration(1000);
    linkReady(dm.Maincon);
    const RecordImportReport report = importRecordsCsvFile(dm.Maincon, path, [&](qint64 done, qint64 total) {
        progress->setValue(total > 0 ? int(done * 1000 / total) : 0);
        QApplication::processEvents();
        return !progress->wasCanceled();
    });
    progress->close();
    dm.TVascor.refresh();
    if (report.cancelled) return;
    if (report.ok) {
        showMessage(recordImportSummary(report, path));
    } else {
        showError(recordImportSummary(report, path));
    }
}

void backUp(TForm1& window, TDM& dm) {
    if (!storeIsOpen(dm)) return;
    const QString suggested = QDir(documentsFolder()).filePath(
        dailyBackupName(calendar::fromGregorian(calendar::todayGregorian())));
    const QString path = chooseOfficeFile(&window, {QStringLiteral("پشتيبان گيري"), suggested, kDatabaseFilter, true});
    if (path.isEmpty()) return;
    BackupReport report;
    {
        BackupProgressWindow progress(QStringLiteral("پشتيبان گيري"), QStringLiteral("نوشتن پشتيبان ..."), &window);
        // The dialog has asked before a file there is replaced.
        report = backupStore(dm.Maincon.address(), path, true, progress.progress());
    }
    if (report.cancelled) return;
    if (report.ok) showMessage(backupSummary(report));
    else showError(backupSummary(report));
}

void restore(TForm1& window, TDM& dm) {
    if (!storeIsOpen(dm)) return;
    const QString path = chooseOfficeFile(&window, {QStringLiteral("بازگرداني"), dailyBackupFolder(), kDatabaseFilter, false});
    if (path.isEmpty()) return;
    const StoreAddress store = dm.Maincon.address();
    {
        const BackupCheck check = checkBackupFile(path);
        if (!check.ok) {
            BackupReport refused;
            refused.reason = check.reason;
            refused.engineWords = check.engineWords;
            showError(restoreSummary(refused));
            return;
        }
        // A copy without records would empty a store that holds some: said so in the question.
        const QString question =
            check.records == 0 && storeHoldsRecords(dm)
                ? QStringLiteral("اين پشتيبان هيچ ركوردي ندارد؛ با بازگرداني آن همه ركوردهاي %1 كنار گذاشته مي شود و "
                                 "%1 خالي مي ماند. باز هم بازگرداني شود؟")
                      .arg(storeNoun(dm.Maincon))
                : QStringLiteral("همه ركوردها و كاتالوگ %1 با %2 ركورد اين پشتيبان جايگزين شود؟")
                      .arg(storeNoun(dm.Maincon))
                      .arg(check.records);
        if (askYesNo(question) != kAnswerYes) return;
    }
    BackupReport report;
    {
        BackupProgressWindow progress(QStringLiteral("بازگرداني"), QStringLiteral("بازگرداني پشتيبان ..."), &window);
        if (store.isServer()) {
            report = restoreStore(store, path, EmptyCopy::Allow, progress.progress());
        } else {
            // The file is put back while nothing of ours holds it open.
            dm.QAsk.close();
            dm.TDosSperm.close();
            dm.TVascor.close();
            dm.Maincon.close();
            report = restoreStore(store, path, EmptyCopy::Allow, progress.progress());
        }
    }
    if (store.isServer()) dm.TVascor.refresh();
    else window.openStore(store);
    if (report.cancelled) return;
    if (report.ok) showMessage(restoreSummary(report));
    else showError(restoreSummary(report));
}

// A catalogue export is a few thousand rows; anything this big is not one.
constexpr qint64 kMaxCatalogueBytes = 64ll * 1024 * 1024;

void importCatalogue(TForm1& window, TDM& dm) {
    if (!storeIsOpen(dm)) return;
    const QString path = chooseOfficeFile(&window, {QStringLiteral("ورود كاتالوگ"), documentsFolder(),
                                          QStringLiteral("فايل CSV (*.csv);;همه فايلها (*)"), false});
    if (path.isEmpty()) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxCatalogueBytes) {
        showError(withEngineWords(QStringLiteral("اين فايل كاتالوگ خوانده نشد:\n%1").arg(isolatedPath(path)),
                                  file.isOpen() ? QStringLiteral("larger than a catalogue can be") : file.errorString()));
        return;
    }
    const QByteArray csv = file.readAll();
    const auto progress =
        progressWindow(QStringLiteral("ورود كاتالوگ"), QStringLiteral("ورود كاتالوگ گاوها ..."), QString(), 1000, &window);
    progress->setMinimumDuration(500);
    // A long write by the store's worker; the window waits, painting the progress it is told.
    catalogue::ImportResult result;
    QProgressDialog* shown = progress.get();
    dm.worker().call([&](StoreLink& link) {
        linkReady(link);
        result = catalogue::importCatalogueCsv(link.database(), csv, [shown](int done, int total) {
            const int value = total > 0 ? done * 1000 / total : 0;
            QMetaObject::invokeMethod(shown, [shown, value] { shown->setValue(value); }, Qt::QueuedConnection);
        });
    });
    // The last of what it was told, before it closes: none may show it again.
    QCoreApplication::sendPostedEvents(shown, QEvent::MetaCall);
    progress->close();
    if (!result.ok()) {
        const QString where = result.errorLine > 0 ? QStringLiteral("، سطر %1").arg(result.errorLine) : QString();
        showError(withEngineWords(QStringLiteral("كاتالوگ %1 عوض نشد؛ اين فايل%2 پذيرفته نشد:\n%3")
                                      .arg(storeNoun(dm.Maincon), where, isolatedPath(path)),
                                  result.error));
        return;
    }
    dm.TDosSperm.reload();
    showMessage(QStringLiteral("%1 گاو از اين فايل در كاتالوگ %2 جاي كاتالوگ پيشين را گرفت:\n%3")
                    .arg(result.rows)
                    .arg(storeNoun(dm.Maincon), isolatedPath(path)));
}

}  // namespace

void setOfficeFileChooser(FileChooser installed) { chooser() = std::move(installed); }

void addCatalogueImportCommand(TForm1& window, TDM& dm) {
    window.addOfficeCommand(QStringLiteral("ورود كاتالوگ"), QKeySequence(), [&window, &dm] { importCatalogue(window, dm); });
}

void addRecordImportCommand(TForm1& window, TDM& dm) {
    window.addOfficeCommand(QStringLiteral("ورود ركوردها"), QKeySequence(QStringLiteral("Ctrl+I")),
                            [&window, &dm] { importRecords(window, dm); }, access::Action::SaveNew);
}

void addBackupCommands(TForm1& window, TDM& dm) {
    window.addOfficeCommand(QStringLiteral("پشتيبان گيري"), QKeySequence(QStringLiteral("Ctrl+B")),
                            [&window, &dm] { backUp(window, dm); });
    // A restore puts a copy in place of what the store holds: on the server, an administrator's.
    window.addOfficeCommand(QStringLiteral("بازگرداني"), QKeySequence(), [&window, &dm] { restore(window, dm); },
                            access::Action::CopyOntoServer);
}

void startDailyBackup(TForm1& window, TDM& dm) {
    // After the first screen is up, so the start is not slowed by it.
    QTimer::singleShot(3000, &window, [&dm] {
        // On a server only a desk whose user may keeps the office's daily copies.
        if (!dm.Maincon.isOpen() || !access::may(dm.Maincon.rights(), access::Action::DailyCopies)) return;
        auto report = std::make_shared<BackupReport>();
        QThread* worker = QThread::create([report, store = dm.Maincon.address()] { *report = runDailyBackup(store); });
        QObject::connect(worker, &QThread::finished, worker, [worker, report] {
            worker->deleteLater();
            if (!report->ok)
                showError(QStringLiteral("نسخه روزانه پشتيبان در اين پوشه نوشته نشد:\n%1\n").arg(isolatedPath(dailyBackupFolder())) +
                          backupSummary(*report));
        });
        // The program does not end under a copy being written.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, worker, [worker] { worker->wait(); });
        worker->start(QThread::LowPriority);
    });
}

}  // namespace zartav
