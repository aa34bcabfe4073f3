// The list's cell painter: where the text lands, that a too-long text stays inside its cell,
// and that the selection and group colours show.
#include "util/ui/line_cell_delegate.h"

#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <gtest/gtest.h>

using zartav::LineCellDelegate;

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 20;

struct Ink {
    int left = kWidth;  // first and last columns holding text-coloured pixels
    int right = -1;
};

// Paints one cell onto white and finds the columns where dark pixels (text) fell.
Ink paintCell(const LineCellDelegate& delegate, const QString& text, Qt::LayoutDirection direction,
              int width, QImage* image = nullptr, bool selected = false,
              QColor background = Qt::white) {
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), text);
    model.setData(model.index(0, 0), background, Qt::BackgroundRole);
    QImage canvas(kWidth, kHeight, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, width, kHeight);
    option.direction = direction;
    option.font = QFont();
    option.fontMetrics = QFontMetrics(option.font);
    option.palette.setColor(QPalette::Text, Qt::black);
    option.palette.setColor(QPalette::Highlight, QColor(0, 0, 128));
    option.palette.setColor(QPalette::HighlightedText, Qt::white);
    option.state = QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
    {
        QPainter painter(&canvas);
        delegate.paint(&painter, option, model.index(0, 0));
    }
    Ink ink;
    for (int x = 0; x < kWidth; ++x) {
        for (int y = 0; y < kHeight; ++y) {
            if (qGray(canvas.pixel(x, y)) < 100 && !selected) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
            }
        }
    }
    if (image) *image = canvas;
    return ink;
}

}  // namespace

TEST(LineCellDelegate, TextStartsAtTheReadingSideAndStaysInItsCell) {
    LineCellDelegate delegate;
    const QString farsi = QStringLiteral("دامپروري سبز");
    const QString longFarsi = QStringLiteral("شركت دامپروري و كشاورزي سبز دشت نجف آباد اصفهان");
    const struct {
        const char* name;
        QString text;
        Qt::LayoutDirection direction;
        int width;
        bool hugsRight;
    } cases[] = {
        {"Farsi in a right-to-left list", farsi, Qt::RightToLeft, 200, true},
        {"a number in a right-to-left list", QStringLiteral("98000434"), Qt::RightToLeft, 200, true},
        {"a date in a right-to-left list", QStringLiteral("1402/12/29"), Qt::RightToLeft, 200, true},
        {"Latin text in a left-to-right list", QStringLiteral("HF04812"), Qt::LeftToRight, 200, false},
        {"too long for its cell", longFarsi, Qt::RightToLeft, 90, true},
        {"two lines stored", QStringLiteral("خط اول\nخط دوم"), Qt::RightToLeft, 200, true},
    };
    // A column dragged narrower than the ellipsis may show nothing, but nothing outside it.
    EXPECT_LT(paintCell(delegate, longFarsi, Qt::RightToLeft, 6).right, 6);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Twice: the second paint comes from the kept shaping and must land in the same place.
        const Ink first = paintCell(delegate, c.text, c.direction, c.width);
        const Ink again = paintCell(delegate, c.text, c.direction, c.width);
        ASSERT_LE(first.left, first.right) << "nothing drawn";
        EXPECT_EQ(first.left, again.left);
        EXPECT_EQ(first.right, again.right);
        EXPECT_LT(first.right, c.width) << "text spills out of its cell";
        if (c.hugsRight) {
            EXPECT_GT(first.right, c.width - 10);
        } else {
            EXPECT_LT(first.left, 10);
        }
    }
}

TEST(LineCellDelegate, SelectionAndGroupColoursFillTheCell) {
    LineCellDelegate delegate;
    QImage image;
    paintCell(delegate, QStringLiteral("نر"), Qt::RightToLeft, 100, &image, false, QColor(230, 255, 230));
    EXPECT_EQ(image.pixelColor(2, 2), QColor(230, 255, 230));
    EXPECT_EQ(image.pixelColor(150, 2), QColor(Qt::white)) << "painted outside the cell";
    paintCell(delegate, QStringLiteral("نر"), Qt::RightToLeft, 100, &image, true);
    EXPECT_EQ(image.pixelColor(2, 2), QColor(0, 0, 128));
}
