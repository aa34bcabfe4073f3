#include "dates/calendar.h"
#include "dates/calendar_date_text.h"
#include "dates/color_matrix.h"
#include "dates/holiday_file.h"
#include "dates/month_grid.h"
#include "message_recorder.h"

#include <QDir>
#include <QFile>
#include <QPoint>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using zartav::MonthGrid;
using zartav::TColor2DOpenArray;
using zartav::test::MessageRecorder;
namespace calendar = zartav::calendar;
namespace text = zartav::calendar_text;

namespace {

constexpr QRgb kOff = 0xFFFF0000;      // red
constexpr QRgb kDisable = 0xFF808080;  // grey
constexpr QRgb kEnable = 0xFFFFFF00;   // yellow

// 8 Dec 2026 is 1405/09/17.
class MonthGridTest : public ::testing::Test {
protected:
    void SetUp() override { calendar::setTodayForTesting(QDate(2026, 12, 8)); }
    void TearDown() override { calendar::setTodayForTesting(std::nullopt); }

    // The grid on `date`, with no message expected.
    static MonthGrid on(const QString& date, const QStringList& holidays = {}) {
        MessageRecorder recorder;
        MonthGrid grid(holidays);
        EXPECT_TRUE(grid.SetDate(date)) << date.toStdString();
        EXPECT_TRUE(recorder.boxes().isEmpty());
        return grid;
    }
    // The days of one row, column 0 (Saturday) first.
    static std::vector<int> row(const MonthGrid& grid, int r) {
        std::vector<int> days;
        for (int c = 0; c < MonthGrid::kColumns; ++c) days.push_back(grid.dayAt(c, r));
        return days;
    }
};

TEST_F(MonthGridTest, OpensOnTodayOfTheRealCalendar) {
    MonthGrid grid;
    EXPECT_EQ(grid.SelectedDate(), QStringLiteral("1405/09/17"));
    EXPECT_EQ(grid.referenceDate(), QStringLiteral("1405/09/17"));
    EXPECT_EQ(grid.monthName(), QStringLiteral("آذر"));
    EXPECT_EQ(grid.yearText(), QStringLiteral("1405"));
    EXPECT_EQ(grid.navigatorPosition(), 9);
    // Tuesday, third week.
    EXPECT_EQ(grid.currentColumn(), 3);
    EXPECT_EQ(grid.dayAt(grid.currentColumn(), grid.currentRow()), 17);
    EXPECT_EQ(grid.OffDayColor(), kOff);
    EXPECT_EQ(grid.DisableColor(), kDisable);
    EXPECT_EQ(grid.EnableColor(), kEnable);
    EXPECT_EQ(grid.FocusedCellColor(), 0xFF0000FFu);
    EXPECT_EQ(grid.cellText(0, 0), QStringLiteral("شنبه"));
    EXPECT_EQ(grid.cellText(1, 0), QStringLiteral("1شنبه"));
    EXPECT_EQ(grid.cellText(6, 0), QStringLiteral("جمعه"));
}

TEST_F(MonthGridTest, WeekdayIsTheColumn) {
    struct Case { const char* date; int column; };
    for (const Case c : {Case{"1381/09/23", 0}, Case{"1381/09/29", 6}, Case{"1397/01/01", 4},
                         Case{"1404/01/01", 6}, Case{"1405/09/17", 3}}) {
        const MonthGrid grid = on(QString::fromLatin1(c.date));
        EXPECT_EQ(grid.currentColumn(), c.column) << c.date;
    }
}

TEST_F(MonthGridTest, MonthStartingOnSaturdayShowsAWholePreviousWeek) {
    const MonthGrid grid = on(QStringLiteral("1404/06/10"));  // 1 Shahrivar 1404 was a Saturday
    EXPECT_EQ(row(grid, 1), (std::vector<int>{25, 26, 27, 28, 29, 30, 31}));
    EXPECT_EQ(grid.dayAt(0, 2), 1);
    EXPECT_EQ(grid.cellColor(0, 1), kDisable);
    EXPECT_EQ(grid.cellColor(0, 2), kEnable);
    EXPECT_EQ(grid.monthName(), QStringLiteral("شهريور"));
}

TEST_F(MonthGridTest, EsfandHasThirtyDaysOnlyInLeapYears) {
    struct Case { const char* date; int lastDay; };
    for (const Case c : {Case{"1403/12/01", 30}, Case{"1404/12/01", 29}, Case{"1399/12/01", 30},
                         Case{"1400/12/01", 29}}) {
        const MonthGrid grid = on(QString::fromLatin1(c.date));
        int last = 0;
        for (int r = 1; r < MonthGrid::kRows; ++r)
            for (int col = 0; col < MonthGrid::kColumns; ++col)
                if (MonthGrid::cellMonth(grid.dayAt(col, r), r) == MonthGrid::CellMonth::Shown)
                    last = std::max(last, grid.dayAt(col, r));
        EXPECT_EQ(last, c.lastDay) << c.date;
    }
    // Farvardin shows the previous Esfand's last days.
    struct Prev { const char* date; int lastOfEsfand; };
    for (const Prev p : {Prev{"1404/01/01", 30}, Prev{"1405/01/01", 29}}) {
        const MonthGrid grid = on(QString::fromLatin1(p.date));
        const int firstCell = grid.currentColumn() - 1;  // day 1 is selected
        const int r = firstCell < 0 ? 1 : grid.currentRow();
        EXPECT_EQ(grid.dayAt(firstCell < 0 ? 6 : firstCell, r), p.lastOfEsfand) << p.date;
    }
}

TEST_F(MonthGridTest, EveryCellClickSelectsTheDateItShows) {
    // The day-15 rule must agree with the real layout in every month shape.
    for (const char* date : {"1404/06/10", "1404/07/10", "1403/12/10", "1404/12/10", "1405/01/10",
                             "1405/09/17", "1399/12/15", "1406/11/01"}) {
        for (int r = 1; r < MonthGrid::kRows; ++r) {
            for (int c = 0; c < MonthGrid::kColumns; ++c) {
                MonthGrid grid = on(QString::fromLatin1(date));
                const calendar::SolarDate shown = text::normalise(QString::fromLatin1(date)).value();
                int lead = calendar::weekdayFromSaturday(calendar::SolarDate{shown.year, shown.month, 1});
                if (lead == 0) lead = 7;
                const qint64 first = calendar::toDayNumber({shown.year, shown.month, 1}) - lead;
                const auto expected = calendar::fromDayNumber(first + (r - 1) * 7 + c);
                grid.clickCell(c, r);
                EXPECT_EQ(grid.SelectedDate(), text::format(expected)) << date << " " << c << "," << r;
                EXPECT_EQ(grid.shownMonth(), expected.month);
                EXPECT_EQ(grid.navigatorPosition(), expected.month);
                EXPECT_EQ(grid.dayAt(grid.currentColumn(), grid.currentRow()), expected.day);
            }
        }
    }
}

TEST_F(MonthGridTest, DayFifteenAlwaysBelongsToTheShownMonth) {
    using M = MonthGrid::CellMonth;
    struct Case { int day; int row; M month; };
    for (const Case c : {Case{15, 1, M::Shown}, Case{15, 6, M::Shown}, Case{14, 5, M::Next},
                         Case{1, 6, M::Next}, Case{14, 4, M::Shown}, Case{16, 2, M::Previous},
                         Case{31, 1, M::Previous}, Case{16, 3, M::Shown}}) {
        EXPECT_EQ(MonthGrid::cellMonth(c.day, c.row), c.month) << c.day << " row " << c.row;
    }
}

TEST_F(MonthGridTest, ClickingNeighbouringMonthCells) {
    // Mehr 1404 starts on a Tuesday: Shahrivar 29-31 precede it, Aban 1-9 follow.
    MonthGrid grid = on(QStringLiteral("1404/07/10"));
    EXPECT_EQ(row(grid, 1), (std::vector<int>{29, 30, 31, 1, 2, 3, 4}));
    grid.clickCell(1, 1);  // Shahrivar 30 equals Mehr's length: still that exact day
    EXPECT_EQ(grid.SelectedDate(), QStringLiteral("1404/06/30"));
    EXPECT_EQ(grid.monthName(), QStringLiteral("شهريور"));

    grid = on(QStringLiteral("1404/07/10"));
    EXPECT_EQ(grid.dayAt(5, 5), 1);
    grid.clickCell(5, 5);
    EXPECT_EQ(grid.SelectedDate(), QStringLiteral("1404/08/01"));

    // Across the year, both ways.
    grid = on(QStringLiteral("1404/12/10"));
    grid.clickCell(6, 6);
    EXPECT_EQ(grid.shownYear(), 1405);
    EXPECT_EQ(grid.shownMonth(), 1);
    grid = on(QStringLiteral("1405/01/10"));
    grid.clickCell(0, 1);
    EXPECT_EQ(grid.shownYear(), 1404);
    EXPECT_EQ(grid.shownMonth(), 12);
    // The reference date stays where SetDate put it.
    EXPECT_EQ(grid.referenceDate(), QStringLiteral("1405/01/10"));
}

TEST_F(MonthGridTest, NavigatorKeepsTheLastDayAndStepsAcrossYears) {
    struct Case { const char* from; int step; const char* to; };
    for (const Case c : {Case{"1404/06/31", 1, "1404/07/30"}, Case{"1404/07/30", 1, "1404/08/30"},
                         Case{"1404/06/30", 1, "1404/07/30"}, Case{"1404/07/15", -1, "1404/06/15"},
                         Case{"1405/01/31", -1, "1404/12/29"}, Case{"1404/01/31", -1, "1403/12/30"},
                         Case{"1404/12/29", 1, "1405/01/31"}, Case{"1403/12/29", 1, "1404/01/29"},
                         // Farvardin 30 into a 29-day Esfand: the day that exists, no message.
                         Case{"1405/01/30", -1, "1404/12/29"}, Case{"1404/11/30", 1, "1404/12/29"}}) {
        MessageRecorder recorder;
        MonthGrid grid = on(QString::fromLatin1(c.from));
        grid.stepMonth(c.step);
        EXPECT_EQ(grid.SelectedDate(), QString::fromLatin1(c.to)) << c.from << " " << c.step;
        EXPECT_EQ(grid.navigatorPosition(), grid.shownMonth());
        EXPECT_TRUE(recorder.boxes().isEmpty()) << c.from;
    }
}

TEST_F(MonthGridTest, NavigatorStopsAtTheFirstAndLastYear) {
    MonthGrid grid = on(QStringLiteral("0001/01/05"));
    grid.stepMonth(-1);
    EXPECT_EQ(grid.SelectedDate(), QStringLiteral("0001/01/05"));
    // Cells before the first year are shown but lead nowhere.
    grid.clickCell(0, 1);
    EXPECT_EQ(grid.SelectedDate(), QStringLiteral("0001/01/05"));

    grid = on(QString::number(text::kLastYear) + QStringLiteral("/12/05"));
    grid.stepMonth(1);
    EXPECT_EQ(grid.shownYear(), text::kLastYear);
    EXPECT_EQ(grid.shownMonth(), 12);
}

TEST_F(MonthGridTest, TodayLinkReturnsToTheReferenceDate) {
    MonthGrid grid = on(QStringLiteral("1385/01/01"));
    grid.stepMonth(1);
    grid.stepMonth(1);
    grid.clickCell(3, 3);
    grid.backToReference();
    EXPECT_EQ(grid.SelectedDate(), QStringLiteral("1385/01/01"));
    grid.stepMonth(1);
    EXPECT_EQ(grid.monthName(), QStringLiteral("ارديبهشت"));
    EXPECT_EQ(grid.yearText(), QStringLiteral("1385"));
}

TEST_F(MonthGridTest, FridaysAndListedHolidaysAreOffDays) {
    const MonthGrid grid = on(QStringLiteral("1404/07/10"), {QStringLiteral("1404/07/13"), QStringLiteral("1404/06/30"),
                                                             QStringLiteral("1404/7/14"), QStringLiteral("junk")});
    EXPECT_EQ(grid.holidays(), (QStringList{QStringLiteral("1404/06/30"), QStringLiteral("1404/07/13")}));
    for (int r = 1; r < MonthGrid::kRows; ++r) EXPECT_EQ(grid.cellColor(6, r), kOff) << r;
    EXPECT_EQ(grid.cellColor(1, 1), kOff);       // Shahrivar 30, listed, neighbouring month
    EXPECT_EQ(grid.cellColor(0, 1), kDisable);   // Shahrivar 29
    EXPECT_EQ(grid.cellColor(1, 3), kOff);       // Mehr 13, listed
    EXPECT_EQ(grid.cellColor(5, 3), kEnable);    // Mehr 17
}

TEST_F(MonthGridTest, DoubleClickTogglesShownMonthDaysOnly) {
    MonthGrid grid = on(QStringLiteral("1404/07/10"));
    // Mehr 17 is column 5, row 3.
    ASSERT_EQ(grid.dayAt(5, 3), 17);
    EXPECT_TRUE(grid.doubleClickCell(5, 3));
    EXPECT_EQ(grid.cellColor(5, 3), kOff);
    EXPECT_EQ(grid.holidays(), QStringList{QStringLiteral("1404/07/17")});
    // The mark survives refilling the grid and coming back to the month.
    grid.stepMonth(1);
    grid.stepMonth(-1);
    EXPECT_EQ(grid.cellColor(5, 3), kOff);
    EXPECT_TRUE(grid.doubleClickCell(5, 3));
    EXPECT_EQ(grid.cellColor(5, 3), kEnable);
    EXPECT_TRUE(grid.holidays().isEmpty());

    // Fridays and neighbouring-month cells change nothing.
    for (const QPoint cell : {QPoint(6, 3), QPoint(1, 1), QPoint(5, 5)}) {
        const QRgb before = grid.cellColor(cell.x(), cell.y());
        EXPECT_FALSE(grid.doubleClickCell(cell.x(), cell.y()));
        EXPECT_EQ(grid.cellColor(cell.x(), cell.y()), before);
    }
    EXPECT_TRUE(grid.holidays().isEmpty());
}

TEST_F(MonthGridTest, ColourChangesRecolourTheGrid) {
    MonthGrid grid = on(QStringLiteral("1404/07/10"));
    grid.setOffDayColor(qRgb(1, 2, 3));
    grid.setEnableColor(qRgb(4, 5, 6));
    grid.setDisableColor(qRgb(7, 8, 9));
    EXPECT_EQ(grid.cellColor(6, 2), qRgb(1, 2, 3));
    EXPECT_EQ(grid.cellColor(5, 3), qRgb(4, 5, 6));
    EXPECT_EQ(grid.cellColor(0, 1), qRgb(7, 8, 9));
}

TEST_F(MonthGridTest, NormaliserCompletesOrNamesTheWrongField) {
    struct Case { const char* typed; const char* result; QString message; };
    const Case cases[] = {
        {"85/1/1", "1385/01/01", {}},
        {"1385/1/1", "1385/01/01", {}},
        {"1385/01/01", "1385/01/01", {}},
        {"۱۳۸۵/۱/۲", "1385/01/02", {}},
        {"5/1/1", "1405/01/01", {}},
        {"400/1/1", "1400/01/01", {}},
        {"1403/12/30", "1403/12/30", {}},
        {"", nullptr, text::kYearMessage},
        {"1385", nullptr, text::kYearMessage},
        {"x/1/1", nullptr, text::kYearMessage},
        {"99999/1/1", nullptr, text::kYearMessage},
        {"1385/13/01", nullptr, text::kMonthMessage},
        {"1385/0/1", nullptr, text::kMonthMessage},
        {"1385/1", nullptr, text::kMonthMessage},
        {"1385/1/", nullptr, text::kDateMessage},
        {"1385/1/1/2", nullptr, text::kDateMessage},
        {"1404/12/30", nullptr, text::kEsfandMessage},
        {"1384/12/30", nullptr, text::kEsfandMessage},
        {"1385/07/31", nullptr, text::kDayMessage},
        {"1385/01/32", nullptr, text::kDayMessage},
        {"1385/01/0", nullptr, text::kDayMessage},
        {"1403/12/31", nullptr, text::kDayMessage},
    };
    for (const Case& c : cases) {
        MessageRecorder recorder;
        const auto date = text::normalise(QString::fromUtf8(c.typed));
        if (c.result) {
            ASSERT_TRUE(date.has_value()) << c.typed;
            EXPECT_EQ(text::format(*date), QString::fromLatin1(c.result));
            EXPECT_TRUE(recorder.boxes().isEmpty()) << c.typed;
        } else {
            EXPECT_FALSE(date.has_value()) << c.typed;
            EXPECT_EQ(recorder.texts(), QStringList{c.message}) << c.typed;
            // The standard error box: error icon, one button.
            ASSERT_EQ(recorder.boxes().size(), 1);
            EXPECT_EQ(recorder.boxes().front().icon, zartav::MessageIcon::Critical) << c.typed;
            EXPECT_EQ(recorder.boxes().front().buttons.size(), 1) << c.typed;
        }
    }
}

TEST_F(MonthGridTest, RejectedSetDateChangesNothing) {
    MonthGrid grid = on(QStringLiteral("1385/05/05"));
    MessageRecorder recorder;
    EXPECT_FALSE(grid.SetDate(QStringLiteral("1384/12/30")));
    EXPECT_EQ(recorder.texts(), QStringList{text::kEsfandMessage});
    EXPECT_EQ(grid.SelectedDate(), QStringLiteral("1385/05/05"));
    EXPECT_EQ(grid.referenceDate(), QStringLiteral("1385/05/05"));
    EXPECT_EQ(grid.shownMonth(), 5);
}

TEST_F(MonthGridTest, InitialDateOnlyWhileLoading) {
    MonthGrid grid;
    grid.setInitialDate(QStringLiteral("1385/01/01"));
    EXPECT_EQ(grid.InitialDate(), QString());
    EXPECT_EQ(grid.SelectedDate(), QStringLiteral("1405/09/17"));
    grid.setLoading(true);
    grid.setInitialDate(QStringLiteral("85/1/1"));
    EXPECT_EQ(grid.InitialDate(), QStringLiteral("1385/01/01"));
    EXPECT_EQ(grid.SelectedDate(), QStringLiteral("1385/01/01"));
    MessageRecorder recorder;
    grid.setInitialDate(QStringLiteral("1385/13/01"));
    EXPECT_EQ(grid.InitialDate(), QString());
    EXPECT_EQ(recorder.texts(), QStringList{text::kMonthMessage});
}

// The holiday list is read from the working directory, whatever the letter case of its name.
TEST(HolidayFile, ReadsExactDateLinesFromTheWorkingDirectory) {
    const QString saved = QDir::currentPath();
    for (const char* name : {"OffDays.Txt", "offdays.txt"}) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        EXPECT_TRUE(zartav::readHolidayFile(zartav::holidayFilePath()).isEmpty());  // no file yet
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF" "1385/01/13\r\n1385/1/14\r\n 1385/01/15\r\n1404/12/30\r\n"
                   "1403/12/30\r\nholiday\r\n\r\n1385/02/02");
        file.close();
        EXPECT_EQ(zartav::readHolidayFile(zartav::holidayFilePath()),
                  (QStringList{QStringLiteral("1385/01/13"), QStringLiteral("1403/12/30"),
                               QStringLiteral("1385/02/02")}))
            << name;
        ASSERT_TRUE(QDir::setCurrent(saved));
    }
}

TEST(ColorMatrix, OutOfRangeAnswersSentinelInEitherCoordinate) {
    TColor2DOpenArray m(7, 7);
    m.setColor(6, 6, 42);
    EXPECT_EQ(m.color(6, 6), 42u);
    EXPECT_EQ(m.color(0, 0), 0u);
    for (const QPoint p : {QPoint(7, 0), QPoint(0, 7), QPoint(-1, 3), QPoint(3, -1), QPoint(7, 7)}) {
        EXPECT_EQ(m.color(p.x(), p.y()), 2147483647u) << p.x() << "," << p.y();
        m.setColor(p.x(), p.y(), 1);  // ignored, and must not write anywhere
    }
    // Not square: each coordinate is checked against its own count.
    m.setSize(3, 5);
    EXPECT_EQ(m.color(2, 4), 0u);
    EXPECT_EQ(m.color(4, 2), 2147483647u);
    EXPECT_EQ(m.color(2, 5), 2147483647u);
    m.setColor(1, 1, 9);
    m.setColCount(-1);
    m.setRowCount(6);
    EXPECT_EQ(m.ColCount(), 3);
    EXPECT_EQ(m.RowCount(), 6);
    EXPECT_EQ(m.color(1, 1), 9u);  // kept through the resize
    EXPECT_EQ(m.color(1, 5), 0u);  // new cells are 0
}

}  // namespace
