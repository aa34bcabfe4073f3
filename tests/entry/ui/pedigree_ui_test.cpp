#include "entry/ui/pedigree_form.h"
#include "entry_fixture.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

using namespace zartav;
using namespace zartav::test;

namespace {

const QString kBirth = QStringLiteral("تاريخ تولد");
const QString kService = QStringLiteral("تاريخ منجر به باروري");

// Bull Alpha (USA000111) sired the cow D-1; Bravo and Charlie are unrelated to her.
class PedigreeUiTest : public EntryFixture {
protected:
    void SetUp() override {
        EntryFixture::SetUp();
        addRecord({{QStringLiteral("شماره ثبت"), QStringLiteral("D-1")}, {QStringLiteral("نام گوساله"), QStringLiteral("مادر")},
                   {QStringLiteral("جنس گوساله"), QStringLiteral("ماده")}, {kBirth, QStringLiteral("1400/01/01")},
                   {QStringLiteral("ثبت خارجي"), QStringLiteral("USA000111")}});
        window = std::make_unique<TPedigreeForm>(*dm);
        form2->setPedigreeWindow(window.get());
    }
    std::unique_ptr<TPedigreeForm> window;
};

}  // namespace

TEST_F(PedigreeUiTest, ChecksAtOkWarnAndTheUserChooses) {
    const QString question = QStringLiteral("پيش از ثبت اين شناسنامه به اين موارد توجه كنيد:\n"
                                            "• تاريخ تولد بعد از امروز: تاريخ تولد 1405/09/18 است و امروز 1405/09/17\n\n"
                                            "با اين حال ذخيره شود؟");
    struct Case {
        const char* birth;
        std::vector<int> answers;  // 0 yes, 1 no
        int boxes;
        int saved;
    };
    const Case cases[] = {
        {"1405/09/17", {}, 0, 1},      // today: nothing to say
        {"1405/09/18", {0}, 1, 1},     // tomorrow, saved anyway
        {"1405/09/18", {1, 0}, 2, 1},  // back to the form, then saved
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.birth);
        messages.clear();
        for (const int a : c.answers) messages.answerNext(a);
        const int before = dm->TVascor.rowCount();
        whenShown(*form2, [&] {
            form2->DBEdit10->setText(QString::fromLatin1(c.birth));
            form2->DBEdit44->setText(QStringLiteral("1404/12/10"));
            form2->dxButton1->click();
            if (form2->isVisible()) form2->dxButton1->click();
        });
        form1->dxWinXPBar1Items0Click();
        ASSERT_EQ(int(messages.boxes().size()), c.boxes);
        for (const MessageBox& box : messages.boxes()) {
            EXPECT_EQ(box.text, question);
            EXPECT_EQ(box.caption, QStringLiteral("سوال"));
            EXPECT_EQ(box.buttons.value(box.defaultButton), QStringLiteral("خير"));  // Enter goes back
        }
        EXPECT_EQ(dm->TVascor.rowCount() - before, c.saved);
    }
}

TEST_F(PedigreeUiTest, InbreedingBesideTheSireOnceSireAndDamAreKnown) {
    whenShown(*form2, [this] {
        QLabel* label = form2->inbreedingLabel();
        form2->DBEdit19->setText(QStringLiteral("USA000111"));
        form2->showInbreeding();
        EXPECT_EQ(label->text(), QString());  // no dam yet
        form2->DBEdit24->setText(QStringLiteral("d-۱"));
        form2->showInbreeding();
        // Sire x daughter; known: S, D, DS of fourteen.
        EXPECT_EQ(label->text(), QStringLiteral("همخوني 25.0 %  (شجره 21 % كامل)"));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::red));
        form2->DBEdit19->setText(QStringLiteral("CAN000222"));
        form2->showInbreeding();
        EXPECT_EQ(label->text(), QStringLiteral("همخوني 0.0 %  (شجره 21 % كامل)"));
        EXPECT_NE(label->palette().color(QPalette::WindowText), QColor(Qt::red));
        form2->dxButton2->click();
    });
    form1->dxWinXPBar1Items0Click();
}

TEST_F(PedigreeUiTest, PickerSortsBullsByTheInbreedingOfTheirCalf) {
    picker->setDam(QStringLiteral("D-1"));
    whenShown(*picker, [this] {
        QAbstractItemModel* model = picker->DBGrid1->model();
        ASSERT_EQ(model->columnCount(), 32);
        EXPECT_EQ(model->headerData(31, Qt::Horizontal).toString(), QStringLiteral("همخوني گوساله"));
        auto column = [&] {
            QStringList shown;
            for (int r = 0; r < model->rowCount(); ++r)
                shown << model->index(r, 0).data().toString() + QLatin1Char(' ') + model->index(r, 31).data().toString();
            return shown;
        };
        EXPECT_EQ(column(), QStringList({"Alpha 25.0 %", "Bravo 0.0 %", "Charlie 0.0 %"}));  // the catalogue's order
        picker->DBGrid1->horizontalHeader()->sectionClicked(31);
        picker->DBGrid1->horizontalHeader()->sectionClicked(31);
        EXPECT_EQ(column().first(), QStringLiteral("Alpha 25.0 %"));  // most inbred first
        // The grid's selection is still the catalogue's current row.
        dm->TDosSperm.setCurrentRow(0);
        EXPECT_EQ(picker->DBGrid1->currentIndex().data().toString(), QStringLiteral("Alpha"));
        picker->dxButton1->click();
    });
    picker->exec();
    picker->setDam(QString());
    whenShown(*picker, [this] {
        EXPECT_EQ(picker->DBGrid1->model()->columnCount(), 31);  // no dam, no column
        picker->dxButton1->click();
    });
    picker->exec();
}

TEST_F(PedigreeUiTest, PedigreeWindowOpensAncestorsThatAreRecordsAndSavesAPdf) {
    addRecord({{QStringLiteral("شماره ثبت"), QStringLiteral("K-1")}, {QStringLiteral("ثبت خارجي"), QStringLiteral("CAN000222")},
               {QStringLiteral("ثبت مادر تني"), QStringLiteral("D-1")}, {QStringLiteral("HFمادر تني"), QStringLiteral("87")}});
    ASSERT_TRUE(window->showRecord(2));
    const print::PedigreeChart& chart = window->chart();
    EXPECT_EQ(chart.calf.number, QStringLiteral("K-1"));
    ASSERT_EQ(chart.ancestors.size(), 14);
    EXPECT_EQ(chart.ancestors[0].name, QStringLiteral("Bravo"));
    EXPECT_EQ(chart.ancestors[1].name, QStringLiteral("مادر"));
    EXPECT_EQ(chart.ancestors[1].recordId, 1);
    EXPECT_EQ(chart.ancestors[4].name, QStringLiteral("Alpha"));  // DS
    EXPECT_FALSE(chart.ancestors[5].known);                     // DD
    EXPECT_EQ(chart.summary, QStringLiteral("همخوني 0.0 %   ·   شجره 21 % كامل (سه نسل)"));

    qint64 opened = 0;
    window->recordOpened = [&](qint64 id) { opened = id; };
    window->openRecord(1);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(window->chart().calf.number, QStringLiteral("D-1"));

    const QString pdf = dir.filePath(QStringLiteral("window->pdf"));
    window->choosePdfFile = [&](QWidget*) { return pdf; };
    ASSERT_TRUE(window->saveAsPdf());
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
}
