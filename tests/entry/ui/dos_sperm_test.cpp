#include "entry_fixture.h"

#include "entry/catalogue_import.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>
#include <QTableView>

using namespace zartav;
using namespace zartav::test;

namespace {

class PickerTest : public EntryFixture {
protected:
    QColor searchColour() const { return picker->Edit1->palette().color(QPalette::Base); }
    int gridRow() const { return picker->DBGrid1->selectionModel()->currentIndex().row(); }
    int currentRow() const { return dm->TDosSperm.currentRow(); }
    const QColor white = QColor(Qt::white);
    const QColor pink = QColor(0xFF, 0xF0, 0xF8);
};

}  // namespace

TEST_F(PickerTest, SearchAsYouTypeByForeignRegistrationPrefix) {
    EXPECT_EQ(searchColour(), pink);  // until first shown
    struct Step {
        const char* typed;
        int row;
        bool found;
    };
    const Step steps[] = {
        {"U", 0, true},          {"USA0003", 2, true},      {"USA00033", 2, true},
        {"USA000334", 2, false},  // one more character: pink, the selection stays
        {"CAN", 1, true},        {"can000", 1, true},       {"CAN'%", 1, false},
        {"   ", 0, true},        // only blanks: the first row
        {"USA0003", 2, true},    {"", 0, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.typed);
        picker->Edit1->setText(QString::fromUtf8(s.typed));
        EXPECT_EQ(currentRow(), s.row);
        EXPECT_EQ(gridRow(), s.row);
        EXPECT_EQ(searchColour(), s.found ? white : pink);
    }
}

TEST_F(PickerTest, ReopeningKeepsTextAndRowAndShowsWhite) {
    int result = 0;
    whenShown(*picker, [&] {
        EXPECT_EQ(searchColour(), white);
        EXPECT_EQ(currentRow(), 0);  // where opening the catalogue left it
        picker->Edit1->setText(QStringLiteral("USA0003"));
        // A place to look at it: ZARTAV_SCREENS=folder keeps a picture.
        if (const QString folder = qEnvironmentVariable("ZARTAV_SCREENS"); !folder.isEmpty())
            picker->grab().save(folder + QStringLiteral("/picker.png"));
        picker->Edit1->setText(QStringLiteral("USA0003X"));
        EXPECT_EQ(searchColour(), pink);
        picker->dxButton1->click();  // Cancel
    });
    result = picker->exec();
    EXPECT_EQ(result, TDosSperm::kCancel);
    EXPECT_EQ(currentRow(), 2);  // Cancel leaves the catalogue where it was

    whenShown(*picker, [&] {
        EXPECT_EQ(picker->Edit1->text(), QStringLiteral("USA0003X"));
        EXPECT_EQ(searchColour(), white);  // even though the text matches nothing
        EXPECT_EQ(currentRow(), 2);
        EXPECT_EQ(gridRow(), 2);
        EXPECT_EQ(picker->focusWidget(), picker->Edit1);
        picker->dxButton2->click();  // OK
    });
    result = picker->exec();
    EXPECT_EQ(result, TDosSperm::kOk);
}

TEST_F(PickerTest, GridShowsTheWholeCatalogueAndFollowsTheTable) {
    QTableView* grid = picker->DBGrid1;
    QAbstractItemModel* model = grid->model();
    ASSERT_EQ(model->columnCount(), 31);
    EXPECT_EQ(model->rowCount(), 3);
    // Farsi titles; the catalogue's own names are their tooltips.
    const struct {
        int column;
        const char* title;
        const char* name;
    } titles[] = {{0, "نام اسپرم", "Name_Sp"},         {1, "كد اسپرم", "Code_Sp"},    {2, "شماره ثبت خارجي", "RegNo_SPF"},
                  {3, "شماره ثبت داخلي", "RegNo_Sp"}, {4, "نام پدر", "Sire_Name"}, {16, "خانواده", "Family"},
                  {29, "پرورش دهنده", "Breeder"}};
    for (const auto& t : titles) {
        EXPECT_EQ(model->headerData(t.column, Qt::Horizontal).toString(), QString::fromUtf8(t.title)) << t.name;
        EXPECT_EQ(model->headerData(t.column, Qt::Horizontal, Qt::ToolTipRole).toString(), QString::fromLatin1(t.name));
    }
    for (int c = 0; c < model->columnCount(); ++c)
        EXPECT_FALSE(model->headerData(c, Qt::Horizontal).toString().contains(QRegularExpression(QStringLiteral("[A-Za-z]")))) << c;
    EXPECT_EQ(model->index(1, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(0xF0, 0xFF, 0xF0));
    EXPECT_EQ(model->index(1, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(0xFF, 0xFF, 0xF0));
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);

    // Moving in the grid moves the catalogue, so OK picks the clicked bull.
    grid->setCurrentIndex(model->index(2, 4));
    EXPECT_EQ(currentRow(), 2);
    EXPECT_EQ(dm->TDosSperm.value(QStringLiteral("name_sp")), QStringLiteral("Charlie"));
}

// Moving to another row, by click or by the Down key, keeps the column the user was reading.
TEST_F(PickerTest, RowChangesKeepTheCurrentColumn) {
    QTableView* grid = picker->DBGrid1;
    QAbstractItemModel* model = grid->model();
    grid->setCurrentIndex(model->index(0, 7));
    grid->setCurrentIndex(model->index(1, 7));  // a click on the next row
    EXPECT_EQ(grid->currentIndex().column(), 7);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(currentRow(), 2);
    EXPECT_EQ(grid->currentIndex(), model->index(2, 7));
    picker->Edit1->setText(QStringLiteral("CAN"));  // the search moves the row, not the column
    EXPECT_EQ(grid->currentIndex(), model->index(1, 7));
}

class UnicodePickerTest : public PickerTest {
protected:
    void SetUp() override {
        open("Name_Sp,RegNo_SPF\nAlpha,USA000111\nBeta,ÄRZ-7\nGamma,IRN1234\n");
    }
};

// The search answers from the catalogue in memory by one rule, and touches the file's schema
// never: no index appears, whatever is typed.
TEST_F(UnicodePickerTest, SearchFoldsEveryLetterAndChangesNoSchema) {
    struct Step {
        const char* typed;
        int row;
        bool found;
    };
    for (const Step& s : {Step{"är", 1, true}, Step{"IRN۱۲", 2, true}, Step{"IRN۱۲۹", 2, false}, Step{"usa", 0, true}}) {
        SCOPED_TRACE(s.typed);
        picker->Edit1->setText(QString::fromUtf8(s.typed));
        EXPECT_EQ(currentRow(), s.row);
        EXPECT_EQ(searchColour(), s.found ? white : pink);
    }
    QSqlQuery q(dm->Maincon.database());
    // The store's own folded registration numbers aside.
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'DosSperm' "
                       "AND name NOT LIKE 'ix_DosSperm_number_%'") && q.next());
    EXPECT_EQ(q.value(0).toInt(), 0);
}

// A catalogue replaced elsewhere (the command line, another desk) is the one the next showing
// offers, with the chosen bull kept when it is still there; registration numbers show whole.
TEST_F(PickerTest, ANewCatalogueFromElsewhereShowsAtTheNextShowing) {
    ASSERT_TRUE(dm->TDosSperm.setCurrentRow(1));  // Bravo
    {
        Connection other;
        ASSERT_TRUE(other.open(dir.filePath("Data.db")));
        const catalogue::ImportResult r = catalogue::importCatalogueCsv(
            other.database(), "Name_Sp,RegNo_SPF\nBravo,CAN000222\nDelta,HOUSAM000123456789\n");
        ASSERT_TRUE(r.ok()) << r.error.toStdString();
    }
    QStringList shown;
    QString current;
    whenShown(*picker, [&] {
        for (int row = 0; row < picker->DBGrid1->model()->rowCount(); ++row)
            shown << picker->DBGrid1->model()->index(row, 0).data().toString();
        current = dm->TDosSperm.value(QStringLiteral("Name_Sp"));
        picker->dxButton1->click();
    });
    picker->exec();
    EXPECT_EQ(shown, QStringList({"Bravo", "Delta"}));
    EXPECT_EQ(current, QStringLiteral("Bravo"));  // found again by its foreign registration number
    const QFontMetrics metrics(picker->DBGrid1->font());
    const int column = CatalogueTable::columnIndex(QStringLiteral("RegNo_SPF"));
    EXPECT_GE(picker->DBGrid1->columnWidth(column), metrics.horizontalAdvance(QStringLiteral("HOUSAM000123456789")));
}
