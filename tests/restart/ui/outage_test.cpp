// The server gone while the window is open: stopped by its administrator, or paused (its
// processes stopped by a signal: a link that stays up and never answers, as a dead VPN does).
// The window keeps painting throughout, says so over the list, a save fails within seconds and
// keeps what was typed, and once the server is back the line goes and the next save works. Run
// alone: the other tests' connections share the server.
#include "app/history_window.h"
#include "app/main_window.h"
#include "app/splash_form.h"
#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/tdm.h"
#include "entry/ui/pedigree_form.h"
#include "print/ui/certificate_preview.h"
#include "services/ttools.h"
#include "util/app_paths.h"

#include "message_recorder.h"
#include "modal_window.h"
#include "pinned.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/types.h>

using namespace zartav;

namespace {

const QString kHerd = QStringLiteral("كد گله");

// The longest pause between two paints of a widget, while it is asked to repaint every 20 ms.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) : widget_(widget) {
        widget->installEventFilter(this);
        ticker_.setInterval(20);
        connect(&ticker_, &QTimer::timeout, widget, qOverload<>(&QWidget::update));
        ticker_.start();
        clock_.start();
    }
    qint64 longestPause() const { return longest_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            longest_ = std::max(longest_, clock_.restart());
        }
        return false;
    }

private:
    QWidget* widget_;
    QTimer ticker_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

// The restart command the test server names; with "stop" in place of "restart" it stops the
// server, and restarting a stopped one starts it with the options it had.
QString serverCommand(const QString& verb) {
    QString command = qEnvironmentVariable("ZARTAV_PG_RESTART");
    command.chop(QStringLiteral("restart").size());
    return command + verb;
}

// The window's events go on while the command runs, as they would while an administrator types it.
bool run(const QString& command) {
    QProcess shell;
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    return QTest::qWaitFor([&] { return shell.state() == QProcess::NotRunning; }, 60000) &&
           shell.exitStatus() == QProcess::NormalExit && shell.exitCode() == 0;
}

// The server's processes: the postmaster (first line of its pid file) and its children.
QList<pid_t> serverProcesses() {
    const QString command = qEnvironmentVariable("ZARTAV_PG_RESTART");
    const QString data = command.section(QStringLiteral(" -D "), 1).section(QLatin1Char(' '), 0, 0);
    QFile pidFile(data + QStringLiteral("/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly)) return {};
    const pid_t postmaster = pid_t(pidFile.readLine().trimmed().toLongLong());
    QList<pid_t> all{postmaster};
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // pid (name) state ppid ...: the name may hold blanks, so the fields after its ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (after.size() > 1 && after[1].toLongLong() == postmaster) all << pid_t(entry.toLongLong());
    }
    return all;
}

bool signalServer(int signal) {
    const QList<pid_t> processes = serverProcesses();
    if (processes.isEmpty()) return false;
    for (const pid_t pid : processes)
        if (::kill(pid, signal) != 0) return false;
    return true;
}

using test::whenModal;

struct Outage {
    const char* name;
    std::function<bool()> begin;
    std::function<bool()> end;
};

}  // namespace

// The main window on the test server, shown and with its list read.
class OutageTest : public testing::Test {
protected:
    void SetUp() override {
        ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
        ASSERT_FALSE(qEnvironmentVariable("ZARTAV_PG_RESTART").isEmpty()) << "the test server names no restart command";
        form.setStoreAddress(store->address());
        form.resize(900, 500);
        form.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dm.TVascor.isOpen() && dm.worker().isIdle(); }, 5000));
    }

    std::unique_ptr<test::TestStore> store;
    test::MessageRecorder messages;
    TDM dm{StoreWorker::Mode::Threaded};
    TTools tools;
    TForm1 form{dm};
};

TEST_F(OutageTest, TheWindowPaintsThroughAnOutageAndTheNextSaveWorks) {
    store->closeSide();

    const Outage outages[] = {
        {"stopped", [] { return run(serverCommand(QStringLiteral("stop"))); },
         [] { return run(serverCommand(QStringLiteral("restart"))); }},
        {"paused", [] { return signalServer(SIGSTOP); }, [] { return signalServer(SIGCONT); }},
    };
    int saved = 0;
    for (const Outage& outage : outages) {
        SCOPED_TRACE(outage.name);
        PaintWatch watch(form.DBGrid1->viewport());
        if (!outage.begin()) {
            ADD_FAILURE() << "the server could not be " << outage.name << " (rights to signal its processes?)";
            continue;
        }
        // Keys in the find box: reads that meet no answer.
        QTest::keyClicks(form.FindBox, QStringLiteral("12"));
        ASSERT_TRUE(dm.TVascor.insert());
        dm.TVascor.setValue(kHerd, QString::fromLatin1(outage.name));
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(dm.TVascor.post());
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(dm.TVascor.saveFailure(), SaveFailure::Unreachable);
        EXPECT_EQ(dm.TVascor.value(kHerd), QString::fromLatin1(outage.name));  // what was typed stays
        EXPECT_TRUE(QTest::qWaitFor([&] { return form.LinkLine->isVisible(); }, 6000));
        EXPECT_EQ(form.LinkLine->text(), QStringLiteral("ارتباط با سرور قطع است؛ تلاش دوباره ..."));
        QTest::qWait(500);

        ASSERT_TRUE(outage.end());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form.LinkLine->isVisible(); }, 15000));
        EXPECT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
        ++saved;
        dm.TVascor.cancel();
        form.FindBox->clear();
        EXPECT_LE(watch.longestPause(), 100);
    }
    EXPECT_EQ(store->scalar("SELECT COUNT(*) FROM \"VaskorTemp\"").toInt(), saved);
    // A lost link is the line's to tell, never a box's.
    EXPECT_TRUE(messages.boxes().isEmpty()) << messages.texts().join("|").toStdString();
}

// A herd tab clicked and a find typed while the server does not answer stay as they were asked
// for: the tab does not jump back, and once the server answers again the list shows that herd
// and that find (the last request wins).
TEST_F(OutageTest, WhatIsAskedForDuringAnOutageIsShownWhenTheLinkComesBack) {
    for (const auto& [herd, number] : {std::pair{"1", "R-10"}, std::pair{"2", "R-20"}, std::pair{"2", "S-21"}}) {
        ASSERT_TRUE(dm.TVascor.insert());
        dm.TVascor.setValue(kHerd, QString::fromLatin1(herd));
        dm.TVascor.setValue(QStringLiteral("شماره ثبت"), QString::fromLatin1(number));
        ASSERT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
    }
    form.FillTabIt();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.TabControl1->count() == 3 && dm.worker().isIdle(); }, 5000));
    store->closeSide();

    ASSERT_TRUE(signalServer(SIGSTOP)) << "the server's processes could not be paused";
    form.TabControl1->setCurrentIndex(2);  // herd 2
    QTest::keyClicks(form.FindBox, QStringLiteral("R"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.LinkLine->isVisible(); }, 8000));
    QTest::qWait(5000);  // past the time a read is given
    EXPECT_EQ(form.TabControl1->currentIndex(), 2);
    EXPECT_EQ(form.FindBox->text(), QStringLiteral("R"));

    ASSERT_TRUE(signalServer(SIGCONT));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.LinkLine->isVisible(); }, 15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return dm.TVascor.rowCount() == 1 && dm.worker().isIdle(); }, 10000))
        << dm.TVascor.rowCount();
    EXPECT_EQ(form.TabControl1->currentIndex(), 2);
    dm.TVascor.first();
    EXPECT_EQ(dm.TVascor.value(QStringLiteral("شماره ثبت")), QStringLiteral("R-20"));
    EXPECT_TRUE(messages.boxes().isEmpty()) << messages.texts().join("|").toStdString();
}

TEST(Outage, EveryWindowReadsAndPrintsAgainAfterARestart) {
    std::unique_ptr<test::TestStore> store;
    ZARTAV_REQUIRE_STORE(store, test::Engine::PostgreSQL, false);
    ASSERT_FALSE(qEnvironmentVariable("ZARTAV_PG_RESTART").isEmpty()) << "the test server names no restart command";
    QTemporaryDir dir;
    const test::Pinned programFolder(paths::setProgramFolderForTesting, dir.path());
    const test::Pinned userFolder(paths::setUserDataFolderForTesting, dir.path());
    test::MessageRecorder messages;
    TDM dm(StoreWorker::Mode::Threaded);
    TTools tools;
    TForm1 form(dm);
    addHistoryCommands(form, dm);
    form.setStoreAddress(store->address());
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dm.TVascor.isOpen() && dm.worker().isIdle(); }, 5000));
    {
        // The office's texts are set, so printing is an office's ordinary print.
        QHash<QString, QString> texts;
        for (const certificates::OfficeText& t : certificates::officeTexts())
            texts.insert(QString::fromLatin1(t.name), QStringLiteral("اداره آزمون"));
        QSqlDatabase side = store->side();
        ASSERT_TRUE(certificates::writeOfficeTexts(side, texts));
    }
    store->closeSide();
    // A calf with a history, and a record deleted.
    QList<qint64> ids;
    for (const char* number : {"R-2", "R-1"}) {
        ASSERT_TRUE(dm.TVascor.insert());
        dm.TVascor.setValue(QStringLiteral("شماره ثبت"), QString::fromLatin1(number));
        dm.TVascor.setValue(QStringLiteral("نام گوساله"), QStringLiteral("آزمون"));
        ASSERT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
        ids << dm.TVascor.id();
    }
    const qint64 calf = ids.last();
    ASSERT_TRUE(dm.TVascor.locateId(ids.first()) && dm.TVascor.remove());
    ASSERT_TRUE(dm.TVascor.locateId(calf));
    TPedigreeForm pedigree(dm, &form);
    const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));

    auto menuCommand = [&](const char* caption) { test::chooseItem(*form.PopupMenu1, caption); };
    struct Command {
        const char* name;
        std::function<bool()> use;
    };
    const Command commands[] = {
        {"تاريخچه",
         [&] {
             int lines = 0;
             const auto watch = whenModal<HistoryWindow>([&](HistoryWindow& w) { lines = w.table()->rowCount(); });
             menuCommand("تاريخچه");
             return lines > 0;
         }},
        {"ركوردهاي حذف شده",
         [&] {
             int deleted = 0;
             const auto watch = whenModal<DeletedRecordsWindow>([&](DeletedRecordsWindow& w) { deleted = w.table()->rowCount(); });
             menuCommand("ركوردهاي حذف شده");
             return deleted == 1;
         }},
        {"شجره", [&] { return pedigree.showRecord(calf) && pedigree.chart().calf.number == QStringLiteral("R-1"); }},
        {"print to PDF",
         [&] {
             QFile::remove(pdf);
             bool saved = false;
             const auto watch = whenModal<print::CertificatePreview>([&](print::CertificatePreview& preview) {
                 preview.choosePdfFile = [&](QWidget*) { return pdf; };
                 saved = preview.saveAsPdf();
             });
             print::printCurrentCertificate(&form, dm);
             QFile file(pdf);
             return saved && file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-";
         }},
    };
    // Once before any restart: what a desk without a signing key is told once, and the proof
    // that the commands work at all.
    for (const Command& c : commands) EXPECT_TRUE(c.use()) << c.name;
    messages.clear();
    for (const Command& c : commands) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(run(serverCommand(QStringLiteral("restart"))));
        const bool used = c.use();
        EXPECT_TRUE(used && messages.boxes().isEmpty()) << messages.texts().join("|").toStdString();
        messages.clear();
    }
}
