#include "dates/calendar.h"
#include "dates/calendar_date_text.h"
#include "dates/date_validation.h"
#include "dates/ui/date_picker_form.h"
#include "dates/ui/farsi_calendar.h"
#include "message_recorder.h"
#include "services/ttools.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

using namespace zartav;
using zartav::test::MessageRecorder;

namespace {

// Mouse and key input as the window system delivers it to a widget.
void sendMouse(QWidget* w, QEvent::Type type, QPoint pos) {
    QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}
void click(QWidget* w, QPoint pos = {}) {
    if (pos.isNull()) pos = w->rect().center();
    sendMouse(w, QEvent::MouseButtonPress, pos);
    sendMouse(w, QEvent::MouseButtonRelease, pos);
}
// The second half of a double click (the first press and release come before it).
void doubleClick(QWidget* w, QPoint pos) {
    sendMouse(w, QEvent::MouseButtonDblClick, pos);
    sendMouse(w, QEvent::MouseButtonRelease, pos);
}

// 8 Dec 2026 is 1405/09/17.
class DatePickerTest : public ::testing::Test {
protected:
    void SetUp() override {
        calendar::setTodayForTesting(QDate(2026, 12, 8));
        tools_.InitToday();
    }
    void TearDown() override { calendar::setTodayForTesting(std::nullopt); }

    // Runs PickDateFromDate on `box`, doing `inDialog` once the dialog is up.
    void pick(QLineEdit& box, const std::function<void()>& inDialog) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            EXPECT_TRUE(picker_.isVisible());
            inDialog();
            ran = true;
            if (picker_.isVisible()) picker_.done(TDatePickerForm::kCancel);  // never hang a test
        });
        tools_.PickDateFromDate(&box);
        EXPECT_TRUE(ran);
        EXPECT_FALSE(picker_.isVisible());
    }
    void clickOk() { click(picker_.dxButton1); }
    void clickCancel() { click(picker_.dxButton2); }
    TMyStringGrid* grid() { return picker_.FarsiCalendar1->dayGrid(); }
    QPoint cellCentre(int column, int row) { return grid()->cellRect(column, row).center(); }
    QString label(const char* name) {
        return picker_.FarsiCalendar1->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

    TTools tools_;
    TDatePickerForm picker_;
};

TEST_F(DatePickerTest, BlankBoxAndOkGivesToday) {
    MessageRecorder recorder;
    QLineEdit box(QStringLiteral("   "));
    pick(box, [&] { clickOk(); });
    EXPECT_EQ(box.text(), QStringLiteral("1405/09/17"));
    EXPECT_TRUE(recorder.boxes().isEmpty());
}

TEST_F(DatePickerTest, ShortTypedDateOpensCompletedAndOkWritesIt) {
    MessageRecorder recorder;
    QLineEdit box(QStringLiteral("85/1/1"));
    pick(box, [&] {
        EXPECT_EQ(label("monthLabel"), QStringLiteral("فروردين"));
        EXPECT_EQ(label("yearLabel"), QStringLiteral("1385"));
        clickOk();
    });
    EXPECT_EQ(box.text(), QStringLiteral("1385/01/01"));
    EXPECT_TRUE(recorder.boxes().isEmpty());
}

TEST_F(DatePickerTest, InvalidTextShowsTheMessageOpensOnThePreviousDateAndCancelKeepsTheBox) {
    QLineEdit first(QStringLiteral("1385/02/10"));
    pick(first, [&] { clickOk(); });
    ASSERT_EQ(first.text(), QStringLiteral("1385/02/10"));

    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("1385/13/01"), dates::dateMessage(QStringLiteral("1385/13/01"), dates::kMonthReason)},
        // A day the month does not have: 1404 is a common year.
        {QStringLiteral("1404/12/30"), QStringLiteral(" تاريخ  1404/12/30  صحيح نمي باشد\rاين ماه بيش از 29 روز ندارد")},
    };
    for (const auto& [text, message] : cases) {
        MessageRecorder recorder;
        QLineEdit box(text);
        pick(box, [&] {
            EXPECT_EQ(picker_.FarsiCalendar1->SelectedDate(), QStringLiteral("1385/02/10"));
            clickCancel();
        });
        EXPECT_EQ(box.text(), text);
        EXPECT_EQ(recorder.texts(), QStringList{message});
    }
}

TEST_F(DatePickerTest, CancelAndEscapeNeverTouchTheBox) {
    QLineEdit box(QStringLiteral("1390/05/05"));
    pick(box, [&] {
        click(grid(), cellCentre(3, 3));
        clickCancel();
    });
    EXPECT_EQ(box.text(), QStringLiteral("1390/05/05"));
    pick(box, [&] { QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&picker_, &escape); });
    EXPECT_EQ(box.text(), QStringLiteral("1390/05/05"));
}

TEST_F(DatePickerTest, ClickedDayAndNavigationReachTheBox) {
    // Mehr 1404 starts on a Tuesday; its first row ends with Mehr 1-4 and Friday is Mehr 4.
    QLineEdit box(QStringLiteral("1404/07/20"));
    pick(box, [&] {
        click(grid(), cellCentre(1, 1));  // Shahrivar 30
        EXPECT_EQ(label("monthLabel"), QStringLiteral("شهريور"));
        click(picker_.FarsiCalendar1->findChild<QToolButton*>(QStringLiteral("nextMonth")));
        EXPECT_EQ(label("monthLabel"), QStringLiteral("مهر"));
        EXPECT_EQ(label("referenceLabel"), QStringLiteral("1404/07/20"));
        clickOk();
    });
    EXPECT_EQ(box.text(), QStringLiteral("1404/07/30"));

    // The today link goes back to the date the box opened the calendar on.
    pick(box, [&] {
        click(picker_.FarsiCalendar1->findChild<QToolButton*>(QStringLiteral("previousMonth")));
        click(picker_.FarsiCalendar1->findChild<QLabel*>(QStringLiteral("todayLink")));
        clickOk();
    });
    EXPECT_EQ(box.text(), QStringLiteral("1404/07/30"));
}

TEST_F(DatePickerTest, DoubleClickMarksHolidaysButNotAfterChangingMonth) {
    TFarsiCalendar* cal = picker_.FarsiCalendar1;
    ASSERT_TRUE(cal->SetDate(QStringLiteral("1404/07/10")));
    const QRgb enable = cal->EnableColor().rgb();
    const QRgb off = cal->OffDayColor().rgb();
    ASSERT_EQ(cal->monthGrid().cellColor(5, 3), enable);  // Mehr 17
    click(grid(), cellCentre(5, 3));
    doubleClick(grid(), cellCentre(5, 3));
    EXPECT_EQ(cal->monthGrid().cellColor(5, 3), off);
    EXPECT_EQ(cal->monthGrid().holidays(), QStringList{QStringLiteral("1404/07/17")});

    // A double click on Shahrivar 30: the first click moves to Shahrivar, the second is ignored.
    click(grid(), cellCentre(1, 1));
    doubleClick(grid(), cellCentre(1, 1));
    EXPECT_EQ(cal->SelectedDate(), QStringLiteral("1404/06/30"));
    EXPECT_EQ(cal->monthGrid().holidays(), QStringList{QStringLiteral("1404/07/17")});
}

TEST_F(DatePickerTest, DrawnRightToLeftWithFridaysMarked) {
    TFarsiCalendar* cal = picker_.FarsiCalendar1;
    ASSERT_TRUE(cal->SetDate(QStringLiteral("1404/06/10")));  // starts on Saturday
    EXPECT_EQ(cal->size(), QSize(221, 290));
    const QImage image = cal->grab().toImage();
    // Grid at x 2..218, y 40..255; 30-pixel cells with 1-pixel gaps; column 0 is the rightmost.
    auto cellPixel = [&](int column, int row) {
        const int left = 2 + 217 - column * 31 - 30;
        return image.pixelColor(left + 2, 40 + row * 31 + 27).rgb();
    };
    for (int row = 1; row <= 6; ++row) EXPECT_EQ(cellPixel(6, row), qRgb(255, 223, 223)) << row;
    EXPECT_EQ(cellPixel(0, 1), qRgb(225, 255, 225));  // Mordad 25, previous month, Saturday
    EXPECT_EQ(cellPixel(0, 2), qRgb(157, 255, 157));  // Shahrivar 1, Saturday, rightmost
    EXPECT_EQ(cellPixel(0, 0), qRgb(0, 128, 192));    // header

}

// A picture for review, only when ZARTAV_SCREENS names a folder to save it into.
TEST_F(DatePickerTest, SavesAPictureForReview) {
    const QString folder = qEnvironmentVariable("ZARTAV_SCREENS");
    if (folder.isEmpty()) GTEST_SKIP() << "ZARTAV_SCREENS not set";
    // The program's font substitutes, before the window exists, so the picture shows its look.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("Noto Sans Arabic UI")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"), {QStringLiteral("Noto Naskh Arabic")});
    TDatePickerForm form;
    form.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.grab().save(QDir(folder).filePath(QStringLiteral("date_picker.png"))));
}

}  // namespace
