#include "dates/color_matrix.h"

namespace zartav {

void TColor2DOpenArray::setSize(int colCount, int rowCount) {
    if (colCount < 0) colCount = colCount_;
    if (rowCount < 0) rowCount = rowCount_;
    if (colCount == colCount_ && rowCount == rowCount_) return;
    std::vector<QRgb> cells(static_cast<std::size_t>(colCount) * static_cast<std::size_t>(rowCount), 0u);
    for (int c = 0; c < colCount && c < colCount_; ++c)
        for (int r = 0; r < rowCount && r < rowCount_; ++r)
            cells[static_cast<std::size_t>(c) * rowCount + r] = color(c, r);
    cells_ = std::move(cells);
    colCount_ = colCount;
    rowCount_ = rowCount;
}

void TColor2DOpenArray::setColor(int column, int row, QRgb color) {
    if (!contains(column, row)) return;
    cells_[static_cast<std::size_t>(column) * rowCount_ + row] = color;
}

QRgb TColor2DOpenArray::color(int column, int row) const {
    if (!contains(column, row)) return kOutOfRange;
    return cells_[static_cast<std::size_t>(column) * rowCount_ + row];
}

}  // namespace zartav
