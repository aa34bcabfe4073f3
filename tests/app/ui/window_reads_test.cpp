// The office's windows read and write the store through the list's worker, on both engines: with
// the window's own connection closed under them they still get their rows, the link is never
// made again on the window's thread, and each keeps to its budget of exchanges.
#include "app/certificate_windows.h"
#include "app/history_window.h"
#include "app/main_window.h"
#include "app/office_commands.h"
#include "data/certificates/certificate_register.h"
#include "data/engine/pg_driver.h"
#include "data/link/store_choice.h"
#include "data/tdm.h"
#include "entry/ui/pedigree_form.h"
#include "print/ui/certificate_preview.h"
#include "services/ttools.h"
#include "util/app_paths.h"

#include "message_recorder.h"
#include "modal_window.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace zartav;
using test::whenModal;

namespace {

class WindowReadsTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        paths::setProgramFolderForTesting(dir.path());
        paths::setUserDataFolderForTesting(dir.path());
        // A desk without a signing key.
        store::setSettingsFileForTesting(dir.filePath(QStringLiteral("Zartav.conf")));
    }
    void TearDown() override {
        setOfficeFileChooser({});
        store::setSettingsFileForTesting(std::nullopt);
        paths::setProgramFolderForTesting(std::nullopt);
        paths::setUserDataFolderForTesting(std::nullopt);
    }

    quint64 exchanges() { return dm.worker().exchanges() + pg::roundTrips(dm.Maincon.database()); }

    QTemporaryDir dir;
    TTools tools;
    TDM dm{StoreWorker::Mode::Threaded};
};

TEST_P(WindowReadsTest, EachWindowGetsItsRowsWithTheWindowsConnectionClosed) {
    test::MessageRecorder messages;
    TForm1 form(dm);
    addHistoryCommands(form, dm);
    addCatalogueImportCommand(form, dm);
    form.setStoreAddress(store->address());
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dm.TVascor.isOpen() && dm.worker().isIdle(); }, 5000));
    // A calf with a history, and a record deleted.
    auto save = [&](const char* number) {
        EXPECT_TRUE(dm.TVascor.insert());
        dm.TVascor.setValue(QStringLiteral("شماره ثبت"), QString::fromLatin1(number));
        dm.TVascor.setValue(QStringLiteral("نام گوساله"), QStringLiteral("آزمون"));
        EXPECT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
        return dm.TVascor.id();
    };
    const qint64 gone = save("R-2");
    ASSERT_TRUE(dm.TVascor.remove());
    const qint64 calf = save("R-1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dm.worker().isIdle(); }, 5000));
    messages.clear();

    // Any statement on the window's own connection fails now, and making it again counts.
    const quint64 openings = dm.Maincon.openings();
    dm.Maincon.database().close();
    const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));
    // Each budget is what the same command cost on the window's own connection.
    const struct {
        const char* name;
        std::function<bool()> use;
        quint64 budget;
    } commands[] = {
        {"تاريخچه",
         [&] {
             int lines = 0;
             QString title;
             const auto watch = whenModal<HistoryWindow>([&](HistoryWindow& w) {
                 lines = w.table()->rowCount();
                 title = w.windowTitle();
             });
             test::chooseItem(*form.PopupMenu1, "تاريخچه");
             return lines > 0 && title == QStringLiteral("تاريخچه ركورد %1").arg(calf);
         },
         1},
        {"an entry list read by its statement",
         [&] {
             QStringList items;
             return dm.FillCombo(QStringLiteral("Select Distinct [نام گوساله] as Res From VaskorTemp "), items) &&
                    items == QStringList{QStringLiteral("آزمون")};
         },
         1},
        {"print to PDF, entered in the register",
         [&] {
             bool saved = false;
             const auto watch = whenModal<print::CertificatePreview>([&](print::CertificatePreview& preview) {
                 preview.choosePdfFile = [&](QWidget*) { return pdf; };
                 saved = preview.saveAsPdf();
             });
             print::printCurrentCertificate(&form, dm);
             QSqlDatabase side = store->side();
             return saved && certificates::findIssue(side, 1).has_value();
         },
         4},
        {"بررسي گواهي",
         [&] {
             CertificateCheckForm check(dm.worker());
             QSignalSpy checked(&check, &CertificateCheckForm::checked);
             check.checkFile(pdf);
             return checked.wait(20000) && check.verification().verdict == print::Verdict::Unsigned &&
                    check.FactsTable->rowCount() > 1 && check.FactsTable->item(1, 2)->text() == QStringLiteral("R-1");
         },
         5},
        {"ركوردهاي حذف شده، بازگرداني",
         [&] {
             DeletedRecordsWindow deleted(dm);
             if (!deleted.reload() || deleted.table()->rowCount() != 1) return false;
             deleted.table()->setCurrentCell(0, 0);
             return deleted.restoreChosen() && deleted.table()->rowCount() == 0 && dm.TVascor.id() == gone;
         },
         10},
        {"چاپ، مشخصات صادر كننده نوشته و خوانده",
         [&] {
             const auto watch = whenModal<IssuerDetailsDialog>([](IssuerDetailsDialog& d) {
                 for (const char* name : {"ministry", "centre", "union", "registry", "office"})
                     d.Boxes.value(QString::fromLatin1(name))->setText(QStringLiteral("اتحاديه دامداران استان مركزي"));
                 d.save();
             });
             const bool ready = officeReadyToPrint(dm.worker(), &form);
             const QList<BoardPost> about = officeAboutLines(dm.worker());
             return ready && about.size() == 1 && about[0].key == QStringLiteral("صادر كننده") &&
                    about[0].value == QStringLiteral("اتحاديه دامداران استان مركزي");
         },
         15},
        {"شجره",
         [&] {
             TPedigreeForm pedigree(dm, &form);
             return pedigree.showRecord(calf);
         },
         2},
        {"ورود كاتالوگ",
         [&] {
             const QString csv = dir.filePath(QStringLiteral("bulls.csv"));
             QFile file(csv);
             if (!file.open(QIODevice::WriteOnly) || file.write("Name_Sp,RegNo_SPF\nAlpha,USA1\nBravo,CAN2\n") < 0) return false;
             file.close();
             setOfficeFileChooser([csv](const FileQuestion&) { return csv; });
             test::chooseItem(*form.PopupMenu1, "ورود كاتالوگ");
             return !messages.texts().isEmpty() &&
                    messages.texts().last().startsWith(QStringLiteral("2 گاو از اين فايل در كاتالوگ")) &&
                    dm.TDosSperm.rowCount() == 2;
         },
         5},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.name);
        const quint64 before = exchanges();
        EXPECT_TRUE(c.use()) << messages.texts().join("|").toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dm.worker().isIdle(); }, 5000));
        EXPECT_LE(exchanges() - before, c.budget);
    }
    EXPECT_EQ(dm.Maincon.openings(), openings);
    // Nothing told but, once a run, that a desk without a key prints unsigned codes.
    QStringList told = messages.texts();
    told.removeAll(QStringLiteral("اين رايانه كليد امضاي گواهي ندارد؛ كد شناسنامه ها بدون امضا چاپ مي شود."));
    told.removeIf([](const QString& t) { return t.startsWith(QStringLiteral("2 گاو از اين فايل در كاتالوگ")); });
    // Told once, before the office's texts were written.
    told.removeOne(QStringLiteral("سربرگ و پاي شناسنامه هنوز متن هاي جانشين نمونه را دارند و متن هاي اين دفتر در "
                                  "«مشخصات صادر كننده» نوشته نشده است؛ تا آن ها نوشته نشوند شناسنامه رسمي چاپ نمي شود."));
    EXPECT_TRUE(told.isEmpty()) << told.join("|").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, WindowReadsTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);

}  // namespace
