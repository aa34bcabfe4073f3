#include "util/ui/line_cell_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextOption>

namespace zartav {

namespace {
// Enough for every value on a few screens of a wide list.
constexpr int kShapedTexts = 8192;
}  // namespace

LineCellDelegate::LineCellDelegate(QObject* parent)
    : QStyledItemDelegate(parent), shaped_(kShapedTexts) {}

const QStaticText& LineCellDelegate::shaped(const QString& text, const QFont& font,
                                            Qt::LayoutDirection direction) const {
    if (font != font_ || direction != direction_) {
        shaped_.clear();
        font_ = font;
        direction_ = direction;
    }
    if (QStaticText* hit = shaped_.object(text)) return *hit;
    auto* entry = new QStaticText(text);
    QTextOption option;
    option.setTextDirection(direction);
    option.setWrapMode(QTextOption::NoWrap);
    entry->setTextOption(option);
    entry->setPerformanceHint(QStaticText::AggressiveCaching);
    entry->prepare(QTransform(), font);
    shaped_.insert(text, entry);
    return *entry;
}

void LineCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
    } else {
        const QVariant background = index.data(Qt::BackgroundRole);
        if (background.isValid()) painter->fillRect(option.rect, background.value<QBrush>());
    }

    QString text = index.data(Qt::DisplayRole).toString();
    // One line per cell: a stored line break shows as a space.
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        text.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (!text.isEmpty()) {
        const QWidget* widget = option.widget;
        const QStyle* style = widget ? widget->style() : QApplication::style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect box = option.rect.adjusted(margin, 0, -margin, 0);
        QColor pen = option.palette.color(QPalette::Text);
        if (selected) {
            pen = option.palette.color(QPalette::HighlightedText);
        } else if (const QVariant foreground = index.data(Qt::ForegroundRole); foreground.isValid()) {
            pen = foreground.value<QColor>();
        }
        // The view hands every cell the same painter: state is changed only when it differs.
        if (painter->pen().color() != pen) painter->setPen(pen);
        if (painter->font() != option.font) painter->setFont(option.font);
        // Text starts at the reading side: the right in a right-to-left list.
        const QStaticText& line = shaped(text, option.font, option.direction);
        const QSizeF size = line.size();
        if (size.width() <= box.width()) {
            const qreal x = option.direction == Qt::RightToLeft ? box.right() + 1 - size.width()
                                                                : box.left();
            const qreal y = box.top() + (box.height() - size.height()) / 2;
            painter->drawStaticText(QPointF(x, y), line);
        } else {
            const Qt::Alignment align = QStyle::visualAlignment(
                option.direction, Qt::AlignLeading | Qt::AlignVCenter);
            painter->drawText(box, int(align) | Qt::TextSingleLine,
                              option.fontMetrics.elidedText(text, Qt::ElideRight, box.width()));
        }
    }

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}

}  // namespace zartav
