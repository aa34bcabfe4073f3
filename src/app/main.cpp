#include "app/certificate_windows.h"
#include "app/correction_requests_window.h"
#include "app/export_command.h"
#include "app/history_window.h"
#include "app/main_window.h"
#include "app/message_board_form.h"
#include "app/office_commands.h"
#include "app/splash_form.h"
#include "app/store_dialog.h"
#include "data/engine/store_address.h"
#include "data/link/store_choice.h"
#include "data/tdm.h"
#include "dates/date_picker_hook.h"
#include "dates/ui/date_picker_form.h"
#include "entry/ui/dos_sperm_form.h"
#include "entry/ui/entry_commands.h"
#include "entry/ui/control_kinds.h"
#include "entry/ui/entry_form.h"
#include "entry/ui/pedigree_form.h"
#include "util/about_text.h"
#include "util/dialogs.h"
#include "util/message_sink.h"
#include "util/program_info.h"
#include "util/qt_translation.h"
#include "services/ttools.h"
#include "util/ui/program_fonts.h"
#include "util/ui/widget_message_sink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QKeySequence>
#include <QScreen>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <algorithm>
#include <functional>
#include <memory>

namespace {

const char kHelp[] =
    "Usage: zartav [OPTION]...\n"
    "Keeps the Holstein calf records of a dairy farm or breeding office and prints their\n"
    "birth certificates. The program's windows are in Farsi and every date is Solar Hijri.\n"
    "\n"
    "      --store ADDRESS  keep the records in ADDRESS: a database file, or an office's\n"
    "                       server as postgresql://USER@HOST:PORT/DATABASE?sslmode=require\n"
    "      --help     display this help and exit\n"
    "      --version  output version information and exit\n"
    "\n"
    "Without --store the records are where \"اتصال به سرور\" last pointed this user, else in\n"
    "Data.db, beside the program when its folder can be written, otherwise in the per-user\n"
    "data folder (~/.local/share/Zartav/Zartav); a Data.mdb found beside the program at the\n"
    "first start is imported. zartav-cli(1) does the same work without windows.\n";

// For the start-up benchmark only (ZARTAV_EXIT_AFTER_FIRST_PAINT=1): once the record list has
// painted its first screen, print the time since main() began, the peak resident memory and the
// bytes read so far, then quit.
class FirstPaintProbe : public QObject {
public:
    FirstPaintProbe(QWidget* list, const QElapsedTimer& clock, std::function<bool()> ready)
        : clock_(clock), ready_(std::move(ready)) {
        list->installEventFilter(this);
        // The longest the window's thread goes without turning its event loop on the way.
        turns_.setTimerType(Qt::PreciseTimer);
        turns_.setInterval(1);
        connect(&turns_, &QTimer::timeout, this, [this] { noteTurn(); });
        turns_.start();
        lastTurn_ = clock_.nsecsElapsed();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The first screen is the list drawn with its rows (or with none when there are none).
        if (event->type() == QEvent::Paint && !done_ && ready_()) {
            done_ = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                noteTurn();
                std::printf("first-paint-ms %.1f cpu-ms %.1f peak-rss-kb %lld read-bytes %lld longest-stall-ms %.1f\n",
                            clock_.nsecsElapsed() / 1e6, 1000.0 * double(std::clock()) / CLOCKS_PER_SEC,
                            procValue("/proc/self/status", "VmHWM:"), procValue("/proc/self/io", "rchar:"),
                            longestStall_ / 1e6);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    static long long procValue(const char* file, const QByteArray& key) {
        QFile f(QString::fromLatin1(file));
        if (!f.open(QIODevice::ReadOnly)) return -1;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
        return -1;
    }
    void noteTurn() {
        const qint64 now = clock_.nsecsElapsed();
        longestStall_ = std::max(longestStall_, now - lastTurn_);
        lastTurn_ = now;
    }

    const QElapsedTimer& clock_;
    std::function<bool()> ready_;
    QTimer turns_;
    qint64 lastTurn_ = 0;
    qint64 longestStall_ = 0;
    bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    if (const auto status = zartav::answerHelpOrVersion(argc, argv, QStringLiteral("zartav"), QString::fromUtf8(kHelp)))
        return *status;
    Q_INIT_RESOURCE(zartav_assets);
    QApplication app(argc, argv);
    // One settings file for the program and zartav-cli, whatever opens it.
    QApplication::setOrganizationName(QString::fromLatin1(zartav::store::kSettingsOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(zartav::store::kSettingsApplication));
    QApplication::setApplicationVersion(zartav::programVersion());
    QApplication::setDesktopFileName(QStringLiteral(ZARTAV_APP_ID));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));
    zartav::installQtTranslation(app);
    // A password in --store is in the process list for as long as the program runs.
    for (const QString& line : zartav::passwordInArgumentsWarning(app.arguments().mid(1)))
        std::fprintf(stderr, "zartav: %s\n", line.toUtf8().constData());
    // The program's title, before any window exists: the desktop shows it for the running
    // program and plain message boxes take it as their caption.
    QApplication::setApplicationDisplayName(QStringLiteral("زرتاو"));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    zartav::installProgramFonts();

    zartav::WidgetMessageSink messages;
    zartav::setMessageSink(&messages);

    // The objects of the run, each created once. The data module comes first so every window is
    // handed it; creating it touches no file.
    zartav::TDM dm(zartav::StoreWorker::Mode::Threaded);
    zartav::TForm1 form1(dm);
    zartav::TForm2 form2(dm, &form1);
    zartav::TDosSperm dosSperm(dm, &form1);
    form2.setCataloguePicker(&dosSperm);
    zartav::TPedigreeForm pedigreeForm(dm, &form1);
    form2.setPedigreeWindow(&pedigreeForm);
    zartav::TTools tools;
    tools.FormCreate();
    zartav::installWidgetControlAccess();
    zartav::TDatePickerForm datePicker(&form1);
    zartav::setDatePicker(&datePicker);
    zartav::TMessageBoardForm messageBoard(&form1);
    zartav::TForm3 splash;

    form1.setSplash(&splash);
    // --store ADDRESS, else this user's saved choice, else the Data.db of the data folder.
    form1.setStoreAddress(zartav::store::chosenAddress(QCoreApplication::arguments()));
    zartav::addStoreConnectionCommand(form1);
    zartav::addPrintCommands(form1, dm);
    zartav::addRecordImportCommand(form1, dm);
    zartav::addCatalogueImportCommand(form1, dm);
    zartav::addBackupCommands(form1, dm);
    zartav::addExportCommand(form1, dm);
    zartav::addHistoryCommands(form1, dm);
    zartav::addCorrectionRequestCommands(form1, dm);
    zartav::addCertificateCommands(form1, dm);
    form1.AboutCommand = [&] { zartav::showAbout(messageBoard, zartav::officeAboutLines(dm.worker())); };
    // A save that failed is an error, not news: the error box, on the file and on the server.
    form1.NewCommand = [&] { zartav::newRecord(form2, zartav::showError); };
    form1.EditCommand = [&] { zartav::editRecord(form2, zartav::showError); };
    form1.addOfficeCommand(QStringLiteral("شجره"), QKeySequence(QStringLiteral("Ctrl+G")), [&] {
        const qint64 id = dm.TVascor.id();
        if (id <= 0 || !pedigreeForm.showRecord(id)) return;
        // An ancestor opened in the window becomes the list's current record, where it is shown.
        pedigreeForm.recordOpened = [&](qint64 opened) { dm.TVascor.locateId(opened); };
        pedigreeForm.exec();
        pedigreeForm.recordOpened = {};
    });

    // Without a window manager (a virtual display) "maximised" means nothing: size it ourselves.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) form1.setGeometry(screen->availableGeometry());

    std::unique_ptr<FirstPaintProbe> probe;
    if (qEnvironmentVariableIntValue("ZARTAV_EXIT_AFTER_FIRST_PAINT") == 1)
        probe = std::make_unique<FirstPaintProbe>(form1.DBGrid1->viewport(), clock, [&] {
            return !form1.isOpeningStore() &&
                   (!dm.TVascor.isOpen() ||
                    (!dm.TVascor.isViewPending() && (dm.TVascor.rowCount() == 0 || dm.TVascor.isRowRead(0))));
        });
    form1.showMaximized();
    zartav::startDailyBackup(form1, dm);
    const int result = app.exec();
    zartav::setDatePicker(nullptr);
    zartav::setMessageSink(nullptr);
    return result;
}
