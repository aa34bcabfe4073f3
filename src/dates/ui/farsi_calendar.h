#pragma once

#include "dates/month_grid.h"

#include <QColor>
#include <QLabel>
#include <QWidget>

class QToolButton;

namespace zartav {

class SCalendar;

// The 7 x 7 day grid inside the calendar: draws the calendar's month and hands clicks, double
// clicks and arrow keys to it. Column 0 (Saturday) is the rightmost.
class TMyStringGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCellSize = 30;
    static constexpr int kLineWidth = 1;

    explicit TMyStringGrid(SCalendar* calendar);

    // The cell's rectangle in grid coordinates (right to left).
    QRect cellRect(int column, int row) const;
    // Column and row under a point, or (-1, -1).
    QPoint cellAt(QPoint pos) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    SCalendar* calendar_;
    // Set when the press of a double click moved the grid to another month: the second click of
    // that double click then lands on a day the user did not aim at, so it is ignored.
    bool pressChangedMonth_ = false;
};

// A label that reacts to a click (the today link and the reference-date label).
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();
protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The Solar Hijri month calendar: month and year labels, month navigator, day grid, reference
// date and today link. All decisions are MonthGrid's; this class draws and forwards.
class SCalendar : public QWidget {
    Q_OBJECT
public:
    explicit SCalendar(QWidget* parent = nullptr);

    bool SetDate(const QString& text);
    QString SelectedDate() const { return grid_.SelectedDate(); }

    // Takes effect only while a saved layout is being loaded (between these two calls).
    void beginLoading() { grid_.setLoading(true); }
    void endLoading() { grid_.setLoading(false); }
    QString InitialDate() const { return grid_.InitialDate(); }
    void setInitialDate(const QString& text);

    QColor OffDayColor() const { return QColor(grid_.OffDayColor()); }
    QColor DisableColor() const { return QColor(grid_.DisableColor()); }
    QColor EnableColor() const { return QColor(grid_.EnableColor()); }
    QColor FocusedCellColor() const { return QColor(grid_.FocusedCellColor()); }
    void setOffDayColor(const QColor& c);
    void setDisableColor(const QColor& c);
    void setEnableColor(const QColor& c);
    void setFocusedCellColor(const QColor& c);

    const MonthGrid& monthGrid() const { return grid_; }
    TMyStringGrid* dayGrid() const { return dayGrid_; }

private:
    friend class TMyStringGrid;
    // Brings the labels and the grid up to the month grid's state.
    void refresh();

    MonthGrid grid_;
    QLabel* monthLabel_;
    QLabel* yearLabel_;
    QToolButton* previousMonth_;
    QToolButton* nextMonth_;
    TMyStringGrid* dayGrid_;
    ClickLabel* referenceLabel_;
    ClickLabel* todayLink_;
};

// The calendar as forms use it, with its colours as properties.
class TFarsiCalendar : public SCalendar {
    Q_OBJECT
    Q_PROPERTY(QColor OffDayColor READ OffDayColor WRITE setOffDayColor)
    Q_PROPERTY(QColor DisableColor READ DisableColor WRITE setDisableColor)
    Q_PROPERTY(QColor EnableColor READ EnableColor WRITE setEnableColor)
    Q_PROPERTY(QColor FocusedCellColor READ FocusedCellColor WRITE setFocusedCellColor)
public:
    using SCalendar::SCalendar;
};

}  // namespace zartav
