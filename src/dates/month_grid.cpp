#include "dates/month_grid.h"

#include "dates/calendar_date_text.h"

#include <algorithm>

namespace zartav {

namespace {
constexpr int kDayCells = 42;
}

const std::array<QString, 12>& MonthGrid::monthNames() {
    static const std::array<QString, 12> names = {
        QStringLiteral("فروردين"), QStringLiteral("ارديبهشت"), QStringLiteral("خرداد"),
        QStringLiteral("تير"),     QStringLiteral("مرداد"),    QStringLiteral("شهريور"),
        QStringLiteral("مهر"),     QStringLiteral("آبان"),     QStringLiteral("آذر"),
        QStringLiteral("دي"),      QStringLiteral("بهمن"),     QStringLiteral("اسفند")};
    return names;
}

const std::array<QString, MonthGrid::kColumns>& MonthGrid::headerTexts() {
    static const std::array<QString, kColumns> texts = {
        QStringLiteral("شنبه"),  QStringLiteral("1شنبه"), QStringLiteral("2شنبه"),
        QStringLiteral("3شنبه"), QStringLiteral("4شنبه"), QStringLiteral("5شنبه"),
        QStringLiteral("جمعه")};
    return texts;
}

MonthGrid::MonthGrid(const QStringList& holidays)
    : offDayColor_(qRgb(255, 0, 0)),
      disableColor_(qRgb(128, 128, 128)),
      enableColor_(qRgb(255, 255, 0)),
      focusedCellColor_(qRgb(0, 0, 255)) {
    for (const QString& text : holidays)
        if (calendar_text::isNormalisedText(text)) holidays_.insert(text);

    calendar::SolarDate today = calendar::fromGregorian(calendar::todayGregorian());
    if (!inRange(today)) today = {1400, 1, 1};  // a clock far off the calendar's years
    reference_ = today;
    backToReference();
}

QString MonthGrid::yearText() const { return QStringLiteral("%1").arg(year_, 4, 10, QChar(u'0')); }

QString MonthGrid::referenceDate() const { return calendar_text::format(reference_); }

int MonthGrid::dayAt(int column, int row) const {
    if (column < 0 || column >= kColumns || row < 1 || row >= kRows) return 0;
    return cells_[static_cast<std::size_t>((row - 1) * kColumns + column)].date.day;
}

QString MonthGrid::cellText(int column, int row) const {
    if (row == 0) return column >= 0 && column < kColumns ? headerTexts()[column] : QString();
    const int day = dayAt(column, row);
    return day > 0 ? QString::number(day) : QString();
}

MonthGrid::CellMonth MonthGrid::cellMonth(int day, int row) {
    if (day < 15 && row >= 5) return CellMonth::Next;
    if (day > 15 && row <= 2) return CellMonth::Previous;
    return CellMonth::Shown;
}

bool MonthGrid::isHoliday(calendar::SolarDate date) const {
    return calendar::weekdayFromSaturday(date) == kFridayColumn ||
           holidays_.contains(calendar_text::format(date));
}

bool MonthGrid::inRange(calendar::SolarDate date) {
    return date.year >= calendar_text::kFirstYear && date.year <= calendar_text::kLastYear;
}

void MonthGrid::setColor(QRgb& member, QRgb color) {
    if (member == color) return;
    member = color;
    fill();
}

bool MonthGrid::SetDate(const QString& text) {
    const auto date = calendar_text::normalise(text);
    if (!date) return false;
    reference_ = *date;
    backToReference();
    return true;
}

void MonthGrid::backToReference() {
    year_ = reference_.year;
    month_ = reference_.month;
    day_ = reference_.day;
    navigatorPosition_ = month_;
    showSelected();
}

void MonthGrid::clickCell(int column, int row) {
    const int day = dayAt(column, row);
    if (day == 0) return;
    const Cell& cell = cells_[static_cast<std::size_t>((row - 1) * kColumns + column)];
    if (!cell.inRange) return;  // beyond the first or last year the grid browses
    int month = month_;
    int year = year_;
    switch (cellMonth(day, row)) {
    case CellMonth::Next:
        if (++month == 13) { month = 1; ++year; }
        break;
    case CellMonth::Previous:
        if (--month == 0) { month = 12; --year; }
        break;
    case CellMonth::Shown:
        break;
    }
    day_ = day;
    month_ = month;
    year_ = year;
    navigatorPosition_ = month_;
    showSelected();
}

bool MonthGrid::doubleClickCell(int column, int row) {
    const int day = dayAt(column, row);
    if (day == 0 || column == kFridayColumn || cellMonth(day, row) != CellMonth::Shown) return false;
    const QString text = calendar_text::format({year_, month_, day});
    const bool nowHoliday = !holidays_.contains(text);
    if (nowHoliday)
        holidays_.insert(text);
    else
        holidays_.erase(text);
    colors_.setColor(column, row, nowHoliday ? offDayColor_ : enableColor_);
    return true;
}

void MonthGrid::navigate(int position) {
    const int oldLength = calendar::monthLength(year_, month_);
    if (position <= 0) {
        if (year_ <= calendar_text::kFirstYear) return;
        --year_;
        month_ = 12;
    } else if (position <= 12) {
        month_ = position;
    } else {
        if (year_ >= calendar_text::kLastYear) return;
        ++year_;
        month_ = 1;
    }
    navigatorPosition_ = month_;

    // The last day stays the last day; any other day keeps its number where the new month has it
    // (Farvardin 30 into a 29-day Esfand lands on the 29th rather than on a day that isn't there).
    const int newLength = calendar::monthLength(year_, month_);
    int day = dayAt(currentColumn_, currentRow_);
    if (day == oldLength) day = newLength;
    day_ = std::clamp(day, 1, newLength);
    showSelected();
}

void MonthGrid::setInitialDate(const QString& text) {
    if (!loading_) return;
    const auto date = calendar_text::normalise(text);
    if (!date) {
        initialDate_.clear();
        return;
    }
    initialDate_ = calendar_text::format(*date);
    SetDate(initialDate_);
}

void MonthGrid::showSelected() {
    day_ = std::clamp(day_, 1, calendar::monthLength(year_, month_));
    selectedDate_ = calendar_text::format({year_, month_, day_});
    fill();
}

void MonthGrid::fill() {
    const calendar::SolarDate first{year_, month_, 1};
    int lead = calendar::weekdayFromSaturday(first);
    if (lead == 0) lead = 7;  // always show some of the previous month in the first row
    const int length = calendar::monthLength(year_, month_);
    const qint64 firstCell = calendar::toDayNumber(first) - lead;

    for (int k = 0; k < kDayCells; ++k) {
        Cell& cell = cells_[static_cast<std::size_t>(k)];
        cell.date = calendar::fromDayNumber(firstCell + k);
        cell.inRange = inRange(cell.date);
        const bool shown = k >= lead && k < lead + length;
        QRgb color = disableColor_;
        if (cell.inRange && isHoliday(cell.date))
            color = offDayColor_;
        else if (shown)
            color = enableColor_;
        colors_.setColor(k % kColumns, 1 + k / kColumns, color);
    }

    const int selected = lead + day_ - 1;
    currentColumn_ = selected % kColumns;
    currentRow_ = 1 + selected / kColumns;
}

}  // namespace zartav
