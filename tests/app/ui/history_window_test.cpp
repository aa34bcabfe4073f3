// "تاريخچه" and "ركوردهاي حذف شده" as the main window offers them.
#include "app/history_window.h"
#include "app/main_window.h"
#include "data/tdm.h"
#include "message_recorder.h"
#include "util/app_paths.h"
#include "services/ttools.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QScreen>
#include <QSysInfo>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

static void registerHistoryPictures() { Q_INIT_RESOURCE(zartav_assets); }

using namespace zartav;

namespace {

const QString kCalfName = QStringLiteral("نام گوساله");

class HistoryWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerHistoryPictures();
        paths::setProgramFolderForTesting(dir.path());
        paths::setUserDataFolderForTesting(dir.path());
        form = std::make_unique<TForm1>(dm);
        form->setStoreAddress(dir.filePath(QStringLiteral("Data.db")));
        addHistoryCommands(*form, dm);
        ASSERT_TRUE(form->FormShow());
        form->resize(1000, 600);
        form->show();
    }
    void TearDown() override {
        qputenv("USER", user);
        paths::setProgramFolderForTesting(std::nullopt);
        paths::setUserDataFolderForTesting(std::nullopt);
    }

    // Saves at the desk of `login`: a new record, or with a reason the current one corrected.
    void saveAt(const char* login, const QString& calf, const QString& reason = {}) {
        qputenv("USER", login);
        ASSERT_TRUE(reason.isEmpty() ? dm.TVascor.insert() : dm.TVascor.edit());
        dm.TVascor.setValue(kCalfName, calf);
        dm.TVascor.setValue(QStringLiteral("تاريخ چاپ"), QStringLiteral("1405/09/18"));
        dm.TVascor.setChangeReason(reason);
        ASSERT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
    }

    // Chooses the context menu's item; `inspect` sees the window it opens, which is then closed.
    template <typename Window>
    void open(const QString& caption, const QString& screenshot, const std::function<void(Window&)>& inspect) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
            if (!window) return;
            seen = true;
            if (const QString folder = qEnvironmentVariable("ZARTAV_SCREENS"); !folder.isEmpty())
                window->grab().save(folder + QLatin1Char('/') + screenshot);
            inspect(*window);
            window->reject();
        });
        for (QAction* a : form->PopupMenu1->actions())
            if (a->text() == caption) a->trigger();
        EXPECT_TRUE(seen) << caption.toStdString();
    }

    static QStringList rowOf(const QTableWidget* table, int row) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c) cells << table->item(row, c)->text();
        return cells;
    }

    const QByteArray user = qgetenv("USER");
    QTemporaryDir dir;
    TTools tools;
    TDM dm;
    std::unique_ptr<TForm1> form;
};

}  // namespace

TEST_F(HistoryWindowTest, ARecordEditedAtTwoDesksShowsEveryChangeNewestFirstAndPrintsToPdf) {
    saveAt("ali", QStringLiteral("الف"));
    saveAt("reza", QStringLiteral("ب"), QStringLiteral("غلط تايپي"));
    saveAt("ali", QStringLiteral("پ"), QStringLiteral("نام از شناسنامه"));
    saveAt("reza", QStringLiteral("ت"), QStringLiteral("دوباره"));
    const QString pdf = dir.filePath(QStringLiteral("history.pdf"));
    open<HistoryWindow>(QStringLiteral("تاريخچه"), QStringLiteral("history.png"), [&](HistoryWindow& w) {
        const QTableWidget* t = w.table();
        QStringList titles;
        for (int c = 0; c < t->columnCount(); ++c) titles << t->horizontalHeaderItem(c)->text();
        EXPECT_EQ(titles, QStringList({"تاريخ و ساعت", "كاربر", "عمل", "ستون", "پيش از", "پس از", "علت"}));
        const QString host = QStringLiteral("@") + QSysInfo::machineHostName();
        // The last correction first; the new record lists each value it was given.
        EXPECT_EQ(rowOf(t, 0).mid(1), QStringList({"reza" + host, "اصلاح", kCalfName, "پ", "ت", "دوباره"}));
        EXPECT_EQ(rowOf(t, 1).mid(1), QStringList({"ali" + host, "اصلاح", kCalfName, "ب", "پ", "نام از شناسنامه"}));
        EXPECT_EQ(rowOf(t, 2).mid(1), QStringList({"reza" + host, "اصلاح", kCalfName, "الف", "ب", "غلط تايپي"}));
        EXPECT_EQ(rowOf(t, t->rowCount() - 1).at(2), QStringLiteral("ثبت"));
        EXPECT_TRUE(rowOf(t, 0).at(0).startsWith(QStringLiteral("14"))) << rowOf(t, 0).at(0).toStdString();
        EXPECT_TRUE(w.saveAsPdf(pdf));
    });
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
}

TEST_F(HistoryWindowTest, DeletedRecordsComeBackFromTheirWindow) {
    saveAt("ali", QStringLiteral("الف"));
    const qint64 first = dm.TVascor.id();
    saveAt("ali", QStringLiteral("الف"));
    const qint64 second = dm.TVascor.id();
    qputenv("USER", "reza");
    for (const qint64 id : {first, second}) {
        ASSERT_TRUE(dm.TVascor.locateId(id));
        ASSERT_TRUE(dm.TVascor.remove());
    }
    open<DeletedRecordsWindow>(QStringLiteral("ركوردهاي حذف شده"), QStringLiteral("deleted.png"), [&](DeletedRecordsWindow& w) {
        QTableWidget* t = w.table();
        ASSERT_EQ(t->rowCount(), 2);
        EXPECT_EQ(rowOf(t, 0).at(0), QString::number(second));  // the last deleted first
        EXPECT_EQ(rowOf(t, 0).at(3), QStringLiteral("الف"));
        EXPECT_TRUE(rowOf(t, 0).at(5).startsWith(QStringLiteral("reza@")));
        t->setCurrentCell(1, 0);
        test::MessageRecorder messages;
        EXPECT_TRUE(w.restoreChosen()) << messages.texts().join("|").toStdString();
        EXPECT_EQ(t->rowCount(), 1);
    });
    EXPECT_EQ(dm.TVascor.rowCount(), 1);
    EXPECT_EQ(dm.TVascor.id(), first);
}
