// Issuing from the preview, checking a certificate's picture in "بررسي گواهي", and the office's
// texts in "مشخصات صادر كننده".
#include "app/certificate_windows.h"
#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/link/store_choice.h"
#include "data/tdm.h"
#include "message_recorder.h"
#include "print/certificate_issuer.h"
#include "print/certificate_source.h"
#include "print/ui/certificate_preview.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QApplication>

using namespace zartav;

namespace {

class CertificateWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A desk without a key: settings of its own, naming none.
        store::setSettingsFileForTesting(dir.filePath(QStringLiteral("Zartav.conf")));
        ASSERT_TRUE(dm.Maincon.open(dir.filePath(QStringLiteral("Data.db"))) && dm.TVascor.open());
        ASSERT_TRUE(dm.TVascor.insert());
        dm.TVascor.setValue(QStringLiteral("شماره ثبت"), QStringLiteral("IR9812345678"));
        dm.TVascor.setValue(QStringLiteral("جنس گوساله"), QStringLiteral("ماده"));
        ASSERT_TRUE(dm.TVascor.post());
    }

    void TearDown() override { store::setSettingsFileForTesting(std::nullopt); }

    // The record's certificate saved as PDF from the preview, as the desk does it.
    bool saveFromPreview(const QString& pdf) {
        print::StoredCertificates source(dm.Maincon, {dm.TVascor.id()});
        print::CertificatePreview preview(print::builtinCertificateLayout(), source);
        preview.store = &dm.Maincon;
        preview.choosePdfFile = [pdf](QWidget*) { return pdf; };
        return preview.saveAsPdf();
    }

    QTemporaryDir dir;
    TDM dm;
};

}  // namespace

TEST_F(CertificateWindowsTest, ThePreviewIssuesOnlyWhenSavedAndSaysOnceThatNothingIsSigned) {
    test::MessageRecorder messages;
    const QString noKey = QStringLiteral("اين رايانه كليد امضاي گواهي ندارد؛ كد شناسنامه ها بدون امضا چاپ مي شود.");
    QSqlDatabase db = dm.Maincon.database();
    {
        print::StoredCertificates source(dm.Maincon, {dm.TVascor.id()});
        print::CertificatePreview shownOnly(print::builtinCertificateLayout(), source);
        shownOnly.store = &dm.Maincon;
    }
    EXPECT_FALSE(certificates::findIssue(db, 1));
    ASSERT_TRUE(saveFromPreview(dir.filePath(QStringLiteral("a.pdf"))));
    ASSERT_TRUE(saveFromPreview(dir.filePath(QStringLiteral("b.pdf"))));
    const std::optional<certificates::Issue> issued = certificates::findIssue(db, 1);
    ASSERT_TRUE(issued);
    EXPECT_EQ(issued->copies, 2);
    EXPECT_EQ(messages.texts(), QStringList{noKey});

    // The saved page, checked in the window, its facts beside the stored ones.
    CertificateCheckForm form(dm.Maincon);
    QSignalSpy checked(&form, &CertificateCheckForm::checked);
    form.checkFile(dir.filePath(QStringLiteral("a.pdf")));
    ASSERT_TRUE(checked.wait(20000));
    // Unsigned: the register alone vouches for it, and the window says so.
    EXPECT_EQ(form.verification().verdict, print::Verdict::Unsigned);
    EXPECT_EQ(form.VerdictLabel->text(), QStringLiteral("گواهي 1 بدون امضا صادر شده است: با دفتر صدور و اطلاعات فعلي ركورد "
                                                        "يكي است، اما جز دفتر صدور چيزي آن را تاييد نمي كند."));
    ASSERT_GE(form.FactsTable->rowCount(), 2);
    EXPECT_EQ(form.FactsTable->item(1, 0)->text(), QStringLiteral("شماره ثبت"));
    EXPECT_EQ(form.FactsTable->item(1, 1)->text(), QStringLiteral("IR9812345678"));
    EXPECT_EQ(form.FactsTable->item(1, 2)->text(), QStringLiteral("IR9812345678"));
    if (qEnvironmentVariableIsSet("ZARTAV_SCREENS")) form.grab().save(qEnvironmentVariable("ZARTAV_SCREENS") + "/check.png");

    form.checkFile(dir.filePath(QStringLiteral("missing.png")));
    ASSERT_TRUE(checked.wait(20000));
    EXPECT_EQ(form.VerdictLabel->text(), QStringLiteral("فايل پيدا نشد."));
}

TEST_F(CertificateWindowsTest, IssuerDetailsAreSavedForTheStore) {
    test::MessageRecorder messages;
    IssuerDetailsDialog dialog(dm.worker());
    // A box for every line the page prints, the header's second line among them.
    ASSERT_EQ(dialog.Boxes.size(), 10);
    EXPECT_EQ(dialog.Boxes.value("ministry")->placeholderText(), QStringLiteral("redaz oviv azodeze"));
    EXPECT_EQ(dialog.Boxes.value("deputy")->placeholderText(), QStringLiteral("معاونت امور دام"));
    dialog.Boxes.value("office")->setText(QStringLiteral("اتحاديه دامداران استان مركزي"));
    dialog.Boxes.value("contact")->setText(QStringLiteral("086-3222") + QChar(0x202E) + QStringLiteral("1234"));
    EXPECT_FALSE(dialog.save());
    EXPECT_EQ(messages.texts().size(), 1);
    dialog.Boxes.value("contact")->setText(QStringLiteral("086-32221234"));
    EXPECT_TRUE(dialog.save());
    QSqlDatabase db = dm.Maincon.database();
    EXPECT_EQ(certificates::readOfficeTexts(db)->value("office"), QStringLiteral("اتحاديه دامداران استان مركزي"));
    const QList<BoardPost> about = officeAboutLines(dm.worker());
    ASSERT_EQ(about.size(), 2);
    EXPECT_EQ(about[0].key, QStringLiteral("صادر كننده"));
    EXPECT_EQ(about[1].value, QStringLiteral("086-32221234"));
    if (qEnvironmentVariableIsSet("ZARTAV_SCREENS"))
        IssuerDetailsDialog(dm.worker()).grab().save(qEnvironmentVariable("ZARTAV_SCREENS") + "/issuer.png");
}

TEST_F(CertificateWindowsTest, PrintAsksForTheOfficeTextsFirstWhileThePageWouldPrintStandInWords) {
    const QString why = QStringLiteral("سربرگ و پاي شناسنامه هنوز متن هاي جانشين نمونه را دارند و متن هاي اين دفتر در "
                                       "«مشخصات صادر كننده» نوشته نشده است؛ تا آن ها نوشته نشوند شناسنامه رسمي چاپ نمي شود.");
    const struct {
        QStringList filled;  // the boxes typed before OK; none: the window is cancelled
        bool asked;
        bool ready;
    } cases[] = {
        {{}, true, false},
        {{"ministry", "centre"}, true, false},
        {{"union", "registry"}, true, false},
        {{"office"}, true, true},  // a code names its issuer
        {{}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filled.join(' ').toStdString());
        test::MessageRecorder messages;
        bool asked = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<IssuerDetailsDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            asked = true;
            for (const QString& name : c.filled) dialog->Boxes.value(name)->setText(QStringLiteral("متن دفتر ") + name);
            if (c.filled.isEmpty()) dialog->reject();
            else dialog->save();
        });
        EXPECT_EQ(officeReadyToPrint(dm.worker(), nullptr), c.ready);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(messages.texts(), c.asked ? QStringList(why) : QStringList());
        QCoreApplication::processEvents();  // the timer of a case that opened nothing
    }
}
