#include "entry_fixture.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
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
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name_Sp"));
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("RegNo_SPF"));
    EXPECT_EQ(model->headerData(30, Qt::Horizontal).toString(), QStringLiteral("BP"));
    EXPECT_EQ(model->index(1, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(0xF0, 0xFF, 0xF0));
    EXPECT_EQ(model->index(1, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(0xFF, 0xFF, 0xF0));
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);

    // Moving in the grid moves the catalogue, so OK picks the clicked bull.
    grid->setCurrentIndex(model->index(2, 4));
    EXPECT_EQ(currentRow(), 2);
    EXPECT_EQ(dm->TDosSperm.value(QStringLiteral("name_sp")), QStringLiteral("Charlie"));
}
