#pragma once

#include <QRgb>
#include <vector>

namespace zartav {

// Per-cell colours of the calendar's day grid, indexed [column][row]. Reading a cell outside the
// matrix answers kOutOfRange so a caller can tell "no such cell" from any real colour.
class TColor2DOpenArray {
public:
    static constexpr QRgb kOutOfRange = 2147483647u;  // 0x7FFFFFFF

    TColor2DOpenArray() = default;
    TColor2DOpenArray(int colCount, int rowCount) { setSize(colCount, rowCount); }

    int ColCount() const { return colCount_; }
    int RowCount() const { return rowCount_; }

    // Both counts at once; cells that stay inside keep their colour, new cells are 0. A negative
    // count is ignored.
    void setSize(int colCount, int rowCount);
    void setColCount(int colCount) { setSize(colCount, rowCount_); }
    void setRowCount(int rowCount) { setSize(colCount_, rowCount); }

    // Outside the matrix: setting does nothing, getting answers kOutOfRange.
    void setColor(int column, int row, QRgb color);
    QRgb color(int column, int row) const;

private:
    bool contains(int column, int row) const {
        return column >= 0 && column < colCount_ && row >= 0 && row < rowCount_;
    }

    int colCount_ = 0;
    int rowCount_ = 0;
    std::vector<QRgb> cells_;  // column-major: cells_[column * rowCount_ + row]
};

}  // namespace zartav
