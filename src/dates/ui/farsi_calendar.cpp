#include "dates/ui/farsi_calendar.h"

#include "dates/holiday_file.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace zartav {

namespace {
constexpr int kPitch = TMyStringGrid::kCellSize + TMyStringGrid::kLineWidth;
const QColor kHeaderColor(0, 128, 192);
}  // namespace

// ---------------------------------------------------------------------------------------------
TMyStringGrid::TMyStringGrid(SCalendar* calendar) : QWidget(calendar), calendar_(calendar) {
    setObjectName(QStringLiteral("dayGrid"));
    setLayoutDirection(Qt::RightToLeft);
    setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    setFont(QFont(QStringLiteral("Times New Roman"), 10, QFont::Bold));
}

QRect TMyStringGrid::cellRect(int column, int row) const {
    const int left = width() - column * kPitch - kCellSize;
    return {left, row * kPitch, kCellSize, kCellSize};
}

QPoint TMyStringGrid::cellAt(QPoint pos) const {
    for (int row = 0; row < MonthGrid::kRows; ++row)
        for (int column = 0; column < MonthGrid::kColumns; ++column)
            if (cellRect(column, row).contains(pos)) return {column, row};
    return {-1, -1};
}

void TMyStringGrid::paintEvent(QPaintEvent*) {
    const MonthGrid& grid = calendar_->grid_;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());

    // Header row: a fixed row with lines between its cells and under it.
    p.setPen(Qt::black);
    for (int column = 0; column < MonthGrid::kColumns; ++column) {
        const QRect r = cellRect(column, 0);
        p.fillRect(r, kHeaderColor);
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, grid.cellText(column, 0));
        if (column > 0) p.fillRect(QRect(r.right() + 1, 0, kLineWidth, kCellSize + kLineWidth), Qt::black);
    }
    p.fillRect(QRect(0, kCellSize, width(), kLineWidth), Qt::black);

    for (int row = 1; row < MonthGrid::kRows; ++row) {
        for (int column = 0; column < MonthGrid::kColumns; ++column) {
            const QRect r = cellRect(column, row);
            p.fillRect(r, QColor(grid.cellColor(column, row)));
            const QString text = grid.cellText(column, row);
            p.setPen(Qt::black);
            const int x = r.left() + 2 + (r.width() - metrics.horizontalAdvance(text)) / 2;
            p.drawText(x, r.top() + 2 + metrics.ascent(), text);
            if (column == grid.currentColumn() && row == grid.currentRow()) {
                p.setPen(QPen(QColor(grid.FocusedCellColor()), 2));
                p.setBrush(Qt::NoBrush);
                p.drawEllipse(QRectF(r.left(), r.top() + 1, r.width(), r.height() - 4));
            }
        }
    }
}

void TMyStringGrid::mousePressEvent(QMouseEvent* event) {
    pressChangedMonth_ = false;
    if (event->button() != Qt::LeftButton) return;
    const QPoint cell = cellAt(event->position().toPoint());
    if (cell.y() < 1) return;
    MonthGrid& grid = calendar_->grid_;
    const int month = grid.shownMonth();
    const int year = grid.shownYear();
    grid.clickCell(cell.x(), cell.y());
    pressChangedMonth_ = month != grid.shownMonth() || year != grid.shownYear();
    calendar_->refresh();
}

void TMyStringGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressChangedMonth_) return;
    const QPoint cell = cellAt(event->position().toPoint());
    if (cell.y() < 1) return;
    if (calendar_->grid_.doubleClickCell(cell.x(), cell.y())) update();
}

void TMyStringGrid::keyPressEvent(QKeyEvent* event) {
    MonthGrid& grid = calendar_->grid_;
    int column = grid.currentColumn();
    int row = grid.currentRow();
    switch (event->key()) {
    case Qt::Key_Left: ++column; break;  // right to left: the next day is to the left
    case Qt::Key_Right: --column; break;
    case Qt::Key_Up: --row; break;
    case Qt::Key_Down: ++row; break;
    default: QWidget::keyPressEvent(event); return;
    }
    if (column < 0 || column >= MonthGrid::kColumns || row < 1 || row >= MonthGrid::kRows) return;
    grid.clickCell(column, row);
    calendar_->refresh();
}

// ---------------------------------------------------------------------------------------------
void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    QLabel::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------------------------------------
SCalendar::SCalendar(QWidget* parent)
    : QWidget(parent), grid_(readHolidayFile(holidayFilePath())) {
    setFixedSize(221, 290);
    setLayoutDirection(Qt::RightToLeft);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 128, 0));
    setPalette(pal);
    setFont(QFont(QStringLiteral("Times New Roman"), 16, QFont::Bold));

    auto makeLabel = [this](QLabel* label, const char* name, QRect geometry) {
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(geometry);
        label->setAlignment(Qt::AlignCenter);
        label->setLayoutDirection(Qt::RightToLeft);
    };
    monthLabel_ = new QLabel(this);
    makeLabel(monthLabel_, "monthLabel", {75, 10, 75, 24});
    yearLabel_ = new QLabel(this);
    makeLabel(yearLabel_, "yearLabel", {5, 10, 62, 24});
    referenceLabel_ = new ClickLabel(this);
    makeLabel(referenceLabel_, "referenceLabel", {10, 260, 116, 24});
    todayLink_ = new ClickLabel(QStringLiteral("امروز"), this);
    makeLabel(todayLink_, "todayLink", {162, 260, 41, 24});
    for (QLabel* link : {static_cast<QLabel*>(referenceLabel_), static_cast<QLabel*>(todayLink_)})
        link->setCursor(Qt::PointingHandCursor);

    // The navigator: in a right-to-left calendar the later month is to the left.
    nextMonth_ = new QToolButton(this);
    nextMonth_->setObjectName(QStringLiteral("nextMonth"));
    nextMonth_->setArrowType(Qt::LeftArrow);
    nextMonth_->setGeometry(160, 10, 23, 21);
    previousMonth_ = new QToolButton(this);
    previousMonth_->setObjectName(QStringLiteral("previousMonth"));
    previousMonth_->setArrowType(Qt::RightArrow);
    previousMonth_->setGeometry(183, 10, 23, 21);
    for (QToolButton* b : {nextMonth_, previousMonth_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    connect(nextMonth_, &QToolButton::clicked, this, [this] { grid_.stepMonth(1); refresh(); });
    connect(previousMonth_, &QToolButton::clicked, this, [this] { grid_.stepMonth(-1); refresh(); });

    dayGrid_ = new TMyStringGrid(this);
    dayGrid_->setGeometry(2, 40, 217, 216);

    connect(referenceLabel_, &ClickLabel::clicked, this, [this] { grid_.backToReference(); refresh(); });
    connect(todayLink_, &ClickLabel::clicked, this, [this] { grid_.backToReference(); refresh(); });
    refresh();
}

bool SCalendar::SetDate(const QString& text) {
    const bool accepted = grid_.SetDate(text);
    refresh();
    return accepted;
}

void SCalendar::setInitialDate(const QString& text) {
    grid_.setInitialDate(text);
    refresh();
}

void SCalendar::setOffDayColor(const QColor& c) { grid_.setOffDayColor(c.rgb()); refresh(); }
void SCalendar::setDisableColor(const QColor& c) { grid_.setDisableColor(c.rgb()); refresh(); }
void SCalendar::setEnableColor(const QColor& c) { grid_.setEnableColor(c.rgb()); refresh(); }
void SCalendar::setFocusedCellColor(const QColor& c) { grid_.setFocusedCellColor(c.rgb()); refresh(); }

void SCalendar::refresh() {
    monthLabel_->setText(grid_.monthName());
    yearLabel_->setText(grid_.yearText());
    referenceLabel_->setText(grid_.referenceDate());
    dayGrid_->update();
}

}  // namespace zartav
