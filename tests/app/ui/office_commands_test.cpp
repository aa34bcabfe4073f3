// Import, backup and restore as the main window's office commands offer them.
#include "app/main_window.h"
#include "app/office_commands.h"
#include "data/transfer/daily_copies.h"
#include "data/tdm.h"
#include "message_recorder.h"
#include "util/app_paths.h"
#include "services/ttools.h"
#include "util/ui/widget_message_sink.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QDir>
#include <QFileDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QTreeView>
#include <QtTest/QTest>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>

static void registerOfficePictures() { Q_INIT_RESOURCE(zartav_assets); }

using namespace zartav;

namespace {

QString isolatedPath(const QString& path) { return QChar(0x2068) + path + QChar(0x2069); }

class OfficeCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerOfficePictures();
        paths::setProgramFolderForTesting(dir.path());
        paths::setUserDataFolderForTesting(dir.path());
        form = std::make_unique<TForm1>(dm);
        form->setStoreAddress(store());
        addRecordImportCommand(*form, dm);
        addCatalogueImportCommand(*form, dm);
        addBackupCommands(*form, dm);
        ASSERT_TRUE(form->FormShow());
        for (int n = 0; n < 40; ++n) {
            ASSERT_TRUE(dm.TVascor.insert());
            dm.TVascor.setValue(QStringLiteral("بدن"), QString::number(n));
            ASSERT_TRUE(dm.TVascor.post());
        }
        form->resize(1000, 600);
        form->show();
    }
    void TearDown() override {
        setOfficeFileChooser({});
        paths::setProgramFolderForTesting(std::nullopt);
        paths::setUserDataFolderForTesting(std::nullopt);
    }
    QString store() const { return dir.filePath(QStringLiteral("Data.db")); }

    // Chooses the context menu's item, the file dialog answering `file`.
    void run(const QString& caption, const QString& file) {
        setOfficeFileChooser([file](const FileQuestion&) { return file; });
        QAction* command = nullptr;
        for (QAction* a : form->PopupMenu1->actions())
            if (a->text() == caption) command = a;
        ASSERT_NE(command, nullptr) << caption.toStdString();
        command->trigger();
    }

    // A picture of the window with the message over it, when ZARTAV_SCREENS names a folder.
    void picture(const QString& caption, const QString& file, const QString& name) {
        const QString folder = qEnvironmentVariable("ZARTAV_SCREENS");
        if (folder.isEmpty()) return;
        WidgetMessageSink boxes;
        setMessageSink(&boxes);
        QTimer::singleShot(500, [&] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            const QPixmap shot = QGuiApplication::platformName() == QLatin1String("xcb")
                                     ? QGuiApplication::primaryScreen()->grabWindow(0)
                                     : box->grab();
            shot.save(folder + QLatin1Char('/') + name);
            box->close();
        });
        run(caption, file);
        setMessageSink(nullptr);
    }

    QTemporaryDir dir;
    TTools tools;
    TDM dm;
    std::unique_ptr<TForm1> form;
};

}  // namespace

TEST_F(OfficeCommandsTest, ImportAddsTheFilesRowsAndTheListKeepsItsPlace) {
    ASSERT_TRUE(dm.TVascor.setCurrentRow(12));
    const qint64 current = dm.TVascor.id();
    const QString csv = dir.filePath(QStringLiteral("rows.csv"));
    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("بدن,كد گله,تاريخ تولد\r\n900,77,1405/9/18\r\n901,77,1405/9/19\r\n902,78,\r\n").toUtf8());
    }
    {
        test::MessageRecorder messages;
        run(QStringLiteral("ورود ركوردها"), csv);
        EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("3 ركورد از اين فايل اضافه شد:\n") + isolatedPath(csv)}));
    }
    EXPECT_EQ(dm.TVascor.rowCount(), 43);
    EXPECT_EQ(dm.TVascor.id(), current);
    EXPECT_EQ(dm.TVascor.currentRow(), 12);
    EXPECT_EQ(dm.TVascor.listValue(40, 9), QStringLiteral("1405/09/18"));
    EXPECT_EQ(dm.TVascor.listValue(41, 9), QStringLiteral("1405/09/19"));
    EXPECT_EQ(dm.TVascor.listValue(42, 9), QString());
    QStringList tabs;
    for (int i = 0; i < form->TabControl1->count(); ++i) tabs << form->TabControl1->tabText(i);
    EXPECT_EQ(tabs, QStringList({"همه", "77", "78"}));

    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("بدن,تاريخ تولد\r\n903,1405/9/18\r\n904,1405/9/33\r\n").toUtf8());
    }
    test::MessageRecorder messages;
    run(QStringLiteral("ورود ركوردها"), csv);
    EXPECT_EQ(messages.texts(),
              QStringList({QStringLiteral("هيچ ركوردي از اين فايل اضافه نشد:\n") + isolatedPath(csv) +
                           QStringLiteral("\nسطر 3، ستون «تاريخ تولد»: تاريخ 1405/9/33 صحيح نمي باشد؛ روز صحيح نيست")}));
    EXPECT_EQ(dm.TVascor.rowCount(), 43);
    picture(QStringLiteral("ورود ركوردها"), csv, QStringLiteral("import-refusal.png"));
    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("بدن,تاريخ تولد\r\n903,1405/9/18\r\n904,1405/9/20\r\n").toUtf8());
    }
    picture(QStringLiteral("ورود ركوردها"), csv, QStringLiteral("import-summary.png"));
}

TEST_F(OfficeCommandsTest, BackupThenRestorePutsTheStoreBackAndKeepsTheReplacedFile) {
    const QString copy = dir.filePath(QStringLiteral("copy.db"));
    {
        test::MessageRecorder messages;
        run(QStringLiteral("پشتيبان گيري"), copy);
        EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("پشتيبان با 40 ركورد نوشته و بررسي شد:\n") + isolatedPath(copy)}));
    }
    for (int n = 0; n < 5; ++n) {
        ASSERT_TRUE(dm.TVascor.insert());
        ASSERT_TRUE(dm.TVascor.post());
    }
    {
        test::MessageRecorder messages;
        messages.answerNext(0);  // "بله"
        run(QStringLiteral("بازگرداني"), copy);
        const QStringList kept = QDir(dir.path()).entryList({QStringLiteral("Data.db.before-restore-*")});
        ASSERT_EQ(kept.size(), 1);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^Data\\.db\\.before-restore-\\d{4}-\\d{2}-\\d{2}-\\d{4}$")).match(kept.first()).hasMatch())
            << kept.first().toStdString();
        EXPECT_EQ(messages.texts(),
                  QStringList({QStringLiteral("همه ركوردها و كاتالوگ فايل اطلاعات با 40 ركورد اين پشتيبان جايگزين شود؟"),
                               QStringLiteral("اطلاعات از اين پشتيبان بازگرداني شد (40 ركورد):\n") + isolatedPath(copy) +
                                   QStringLiteral("\nاطلاعات پيشين در اين فايل نگه داشته شد:\n") +
                                   isolatedPath(dir.filePath(kept.first()))}));
    }
    EXPECT_TRUE(dm.TVascor.isOpen());
    EXPECT_EQ(dm.TVascor.rowCount(), 40);

    // "خير" leaves the store alone; a copy that is not a database is refused before the question.
    ASSERT_TRUE(dm.TVascor.insert());
    ASSERT_TRUE(dm.TVascor.post());
    {
        test::MessageRecorder messages;
        messages.answerNext(1);  // "خير"
        run(QStringLiteral("بازگرداني"), copy);
        EXPECT_EQ(dm.TVascor.rowCount(), 41);
        const QString notes = dir.filePath(QStringLiteral("notes.db"));
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database at all, just some words in a file that is long enough to look like one");
        f.close();
        messages.clear();
        run(QStringLiteral("بازگرداني"), notes);
        ASSERT_EQ(messages.texts().size(), 1);
        EXPECT_TRUE(messages.texts().first().startsWith(QStringLiteral("بازگرداني انجام نشد؛ اطلاعات دست نخورده است.\n"
                                                                       "اين فايل پشتيبان سالم نيست:\n") +
                                                        isolatedPath(notes)));
        EXPECT_EQ(dm.TVascor.rowCount(), 41);
    }
    picture(QStringLiteral("پشتيبان گيري"), dir.filePath(QStringLiteral("shown.db")), QStringLiteral("backup-message.png"));
}

// The file dialog reads in Farsi whatever the system's locale: the Solar Hijri day a file was
// changed, its size and kind in Farsi words, "پوشه" for a folder.
TEST_F(OfficeCommandsTest, TheFileDialogShowsSolarHijriDatesAndFarsiSizesAndKinds) {
    const QDir folder(dailyBackupFolder());
    ASSERT_TRUE(folder.mkpath(QStringLiteral("older")));
    QFile copy(folder.filePath(QStringLiteral("Data-1405-09-18.db")));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write(QByteArray(1536, 'x'));
    copy.close();
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    ASSERT_TRUE(copy.setFileTime(QDateTime(QDate(2026, 12, 9), QTime(14, 32)), QFileDevice::FileModificationTime));
    copy.close();
    const QStringList expected[] = {
        {"Data-1405-09-18.db", "1.5 كيلوبايت", "فايل db", "1405/09/18 14:32"},
        {"older", "", "پوشه"},
    };
    QStringList titles;
    QList<QStringList> seen;
    bool native = true;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
        auto* list = dialog->findChild<QTreeView*>();
        ASSERT_NE(list, nullptr);
        const QAbstractItemModel* files = list->model();
        for (int c = 0; c < 4; ++c) titles << files->headerData(c, Qt::Horizontal).toString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return files->rowCount(list->rootIndex()) >= 2; }, 10000));
        for (int r = 0; r < files->rowCount(list->rootIndex()); ++r) {
            QStringList row;
            for (int c = 0; c < 4; ++c) row << files->index(r, c, list->rootIndex()).data().toString();
            seen << row;
        }
        if (const QString folder = qEnvironmentVariable("ZARTAV_SCREENS"); !folder.isEmpty()) {
            dialog->setLayoutDirection(Qt::RightToLeft);  // as the program sets it
            dialog->grab().save(folder + QStringLiteral("/file-dialog.png"));
        }
        dialog->reject();
    });
    test::MessageRecorder messages;
    setOfficeFileChooser({});
    for (QAction* a : form->PopupMenu1->actions())
        if (a->text() == QStringLiteral("بازگرداني")) a->trigger();
    EXPECT_FALSE(native);
    EXPECT_EQ(titles, QStringList({"نام", "اندازه", "نوع", "تاريخ تغيير"}));
    for (const QStringList& want : expected) {
        const auto row = std::find_if(seen.begin(), seen.end(), [&](const QStringList& r) { return r.value(0) == want[0]; });
        ASSERT_NE(row, seen.end()) << want[0].toStdString();
        EXPECT_EQ(row->mid(0, want.size()), want);
    }
    EXPECT_TRUE(messages.texts().isEmpty());
}

// "انصراف" in the progress window stops a backup with no file left and a restore with the
// store as it was.
TEST_F(OfficeCommandsTest, ABackupOrRestoreStoppedFromItsProgressWindowLeavesNothing) {
    const QString copy = dir.filePath(QStringLiteral("copy.db"));
    run(QStringLiteral("پشتيبان گيري"), copy);
    ASSERT_TRUE(QFileInfo::exists(copy));
    ASSERT_TRUE(dm.TVascor.insert());
    ASSERT_TRUE(dm.TVascor.post());
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QTimer stopper;
    QStringList cancels;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(w); progress && progress->isVisible() && !progress->wasCanceled()) {
                for (QPushButton* b : progress->findChildren<QPushButton*>()) cancels << b->text();
                progress->cancel();
            }
    });
    stopper.start(0);
    test::MessageRecorder messages;
    messages.answerNext(0);  // "بله"
    run(QStringLiteral("پشتيبان گيري"), dir.filePath(QStringLiteral("stopped.db")));
    run(QStringLiteral("بازگرداني"), copy);
    stopper.stop();
    EXPECT_EQ(cancels, QStringList({"انصراف", "انصراف"}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
    EXPECT_EQ(dm.TVascor.rowCount(), 41);
    EXPECT_EQ(messages.texts().size(), 1) << messages.texts().join('\n').toStdString();  // the restore's question alone
}

TEST_F(OfficeCommandsTest, ACopyWithoutRecordsSaysItWouldEmptyTheStoreBeforeItIsRestored) {
    const QString empty = dir.filePath(QStringLiteral("empty.db"));
    {
        Connection made;
        ASSERT_TRUE(made.open(empty));
    }
    const QString question = QStringLiteral("اين پشتيبان هيچ ركوردي ندارد؛ با بازگرداني آن همه ركوردهاي فايل اطلاعات كنار "
                                            "گذاشته مي شود و فايل اطلاعات خالي مي ماند. باز هم بازگرداني شود؟");
    {
        test::MessageRecorder messages;
        messages.answerNext(1);  // "خير"
        run(QStringLiteral("بازگرداني"), empty);
        EXPECT_EQ(messages.texts(), QStringList({question}));
        EXPECT_EQ(dm.TVascor.rowCount(), 40);
    }
    picture(QStringLiteral("بازگرداني"), empty, QStringLiteral("restore-empty-copy.png"));
    test::MessageRecorder messages;
    messages.answerNext(0);  // "بله"
    run(QStringLiteral("بازگرداني"), empty);
    ASSERT_EQ(messages.texts().size(), 2);
    EXPECT_EQ(messages.texts().first(), question);
    EXPECT_TRUE(messages.texts().last().startsWith(QStringLiteral("اطلاعات از اين پشتيبان بازگرداني شد (0 ركورد):\n")))
        << messages.texts().last().toStdString();
    EXPECT_EQ(dm.TVascor.rowCount(), 0);
}

// "ورود كاتالوگ" replaces the store's catalogue with a CSV file's; the sire picker shows it at
// once. A file it refuses leaves the catalogue as it was and says where it is wrong.
TEST_F(OfficeCommandsTest, CatalogueImportReplacesTheCatalogueOrLeavesIt) {
    const struct {
        const char* name;
        QByteArray csv;
        QStringList bulls;  // Name_Sp of each row after it
        QString message;    // the start of what the user is told
    } cases[] = {
        {"a good file", "Name_Sp,RegNo_SPF\nAlpha,USA1\nBravo,CAN2\n", {"Alpha", "Bravo"},
         QStringLiteral("2 گاو از اين فايل در كاتالوگ فايل اطلاعات جاي كاتالوگ پيشين را گرفت:")},
        {"a row too short", "Name_Sp,RegNo_SPF\nCharlie\n", {"Alpha", "Bravo"},
         QStringLiteral("كاتالوگ فايل اطلاعات عوض نشد؛ اين فايل، سطر 2 پذيرفته نشد:")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("bulls.csv"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.csv);
        file.close();
        test::MessageRecorder messages;
        run(QStringLiteral("ورود كاتالوگ"), path);
        ASSERT_EQ(messages.boxes().size(), 1);
        EXPECT_TRUE(messages.boxes()[0].text.startsWith(c.message)) << messages.boxes()[0].text.toStdString();
        EXPECT_TRUE(messages.boxes()[0].text.contains(isolatedPath(path)));
        QStringList bulls;
        for (int row = 0; row < dm.TDosSperm.rowCount(); ++row)
            bulls << dm.TDosSperm.valueAt(row, CatalogueTable::columnIndex(QStringLiteral("Name_Sp")));
        EXPECT_EQ(bulls, c.bulls);
    }
}
