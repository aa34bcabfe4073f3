#pragma once

#include "dates/calendar.h"
#include "dates/color_matrix.h"

#include <QRgb>
#include <QString>
#include <QStringList>
#include <array>
#include <set>

namespace zartav {

// Everything the calendar grid decides without a window: which day goes in which cell, each
// cell's colour, what a click, a double click or a navigator step selects, the holiday list and
// the texts of the labels. The widget draws this state and forwards its events here.
//
// The grid has 7 columns (0 = Saturday, drawn rightmost, .. 6 = Friday) and 7 rows; row 0 is the
// weekday header, rows 1-6 hold 42 day cells, with days of the neighbouring months around the
// shown month.
class MonthGrid {
public:
    static constexpr int kColumns = 7;
    static constexpr int kRows = 7;
    static constexpr int kFridayColumn = 6;

    enum class CellMonth { Previous, Shown, Next };

    // Starts on today's date with `holidays` (normalised date texts; others are dropped).
    explicit MonthGrid(const QStringList& holidays = {});

    static const std::array<QString, 12>& monthNames();
    static const std::array<QString, kColumns>& headerTexts();

    // --- what is shown -------------------------------------------------------------------------
    int shownYear() const { return year_; }
    int shownMonth() const { return month_; }
    int selectedDay() const { return day_; }
    // The navigator's position: the shown month.
    int navigatorPosition() const { return navigatorPosition_; }
    QString monthName() const { return monthNames()[month_ - 1]; }
    QString yearText() const;
    QString referenceDate() const;
    QString SelectedDate() const { return selectedDate_; }

    // Day cells: row 1-6. Out of range answers 0.
    int dayAt(int column, int row) const;
    QString cellText(int column, int row) const;  // header texts in row 0
    QRgb cellColor(int column, int row) const { return colors_.color(column, row); }
    const TColor2DOpenArray& colors() const { return colors_; }
    int currentColumn() const { return currentColumn_; }
    int currentRow() const { return currentRow_; }
    // Which month a day cell belongs to, by its day and row: small days at the bottom are the
    // next month's, large days at the top the previous month's; day 15 is always the shown month's.
    static CellMonth cellMonth(int day, int row);

    // --- holidays ------------------------------------------------------------------------------
    QStringList holidays() const { return {holidays_.begin(), holidays_.end()}; }
    // Fridays, and the dates in the holiday list.
    bool isHoliday(calendar::SolarDate date) const;

    // --- colours ---------------------------------------------------------------------------------
    QRgb OffDayColor() const { return offDayColor_; }
    QRgb DisableColor() const { return disableColor_; }
    QRgb EnableColor() const { return enableColor_; }
    QRgb FocusedCellColor() const { return focusedCellColor_; }
    void setOffDayColor(QRgb color) { setColor(offDayColor_, color); }
    void setDisableColor(QRgb color) { setColor(disableColor_, color); }
    void setEnableColor(QRgb color) { setColor(enableColor_, color); }
    void setFocusedCellColor(QRgb color) { setColor(focusedCellColor_, color); }

    // --- what the user and the host do -----------------------------------------------------------
    // Reads the text as typed; on success it becomes the reference date and the selected date and
    // its month is shown. A wrong text shows its message and changes nothing.
    bool SetDate(const QString& text);
    // The today link and the reference-date label.
    void backToReference();
    // A click on a day cell: neighbouring-month cells move to that month.
    void clickCell(int column, int row);
    // A double click: toggles a day of the shown month in the holiday list (never a Friday).
    // Answers whether anything changed.
    bool doubleClickCell(int column, int row);
    // The navigator is about to take `position` (0 and 13 step into the neighbouring years).
    void navigate(int position);
    void stepMonth(int delta) { navigate(navigatorPosition_ + delta); }

    // Only while a saved layout is being loaded does InitialDate set the date.
    void setLoading(bool loading) { loading_ = loading; }
    QString InitialDate() const { return initialDate_; }
    void setInitialDate(const QString& text);

private:
    struct Cell {
        calendar::SolarDate date;
        bool inRange = true;  // false beyond the first and last year the grid browses
    };

    void setColor(QRgb& member, QRgb color);
    // Shows (year_, month_, day_): it becomes the selected date and the grid is refilled.
    void showSelected();
    void fill();
    static bool inRange(calendar::SolarDate date);

    int year_ = 0;
    int month_ = 1;
    int day_ = 1;
    int navigatorPosition_ = 1;
    calendar::SolarDate reference_;
    QString selectedDate_;
    QString initialDate_;
    bool loading_ = false;
    std::set<QString> holidays_;

    QRgb offDayColor_;
    QRgb disableColor_;
    QRgb enableColor_;
    QRgb focusedCellColor_;

    std::array<Cell, 42> cells_{};
    TColor2DOpenArray colors_{kColumns, kRows};
    int currentColumn_ = 0;
    int currentRow_ = 1;
};

}  // namespace zartav
