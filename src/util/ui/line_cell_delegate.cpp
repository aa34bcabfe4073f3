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
    : QStyledItemDelegate(parent), shaped_(kShapedTexts), elided_(kShapedTexts) {}

const QStaticText& LineCellDelegate::shaped(const QString& text, const QFont& font) const {
    if (font != font_) {
        shaped_.clear();
        elided_.clear();
        font_ = font;
    }
    if (QStaticText* hit = shaped_.object(text)) return *hit;
    auto* entry = new QStaticText(text);
    // Each text reads in its own direction, from its first letter, so a Latin code keeps its
    // punctuation and ellipsis at its end inside a right-to-left list. (Static text does not
    // work this out by itself.)
    QTextOption option;
    option.setTextDirection(text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    option.setWrapMode(QTextOption::NoWrap);
    entry->setTextOption(option);
    entry->setPerformanceHint(QStaticText::AggressiveCaching);
    entry->prepare(QTransform(), font);
    shaped_.insert(text, entry);
    return *entry;
}

const QString& LineCellDelegate::elided(const QString& text, const QFontMetrics& metrics,
                                        int width) const {
    const QString key = QString::number(width) + QChar(0) + text;
    if (QString* hit = elided_.object(key)) return *hit;
    auto* entry = new QString(metrics.elidedText(text, Qt::ElideRight, width));
    elided_.insert(key, entry);
    return *entry;
}

void LineCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
    } else {
        const QVariant background = index.data(Qt::BackgroundRole);
        if (background.isValid()) painter->fillRect(option.rect, background.value<QBrush>());
    }

    QString text = index.data(Qt::DisplayRole).toString();
    // One line per cell: a stored line break shows as a space.
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        for (QChar& c : text) {
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) c = QLatin1Char(' ');
        }
    }
    if (!text.isEmpty()) {
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
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
        const QStaticText* line = &shaped(text, option.font);
        if (line->size().width() > box.width())
            line = &shaped(elided(text, option.fontMetrics, box.width()), option.font);
        const QSizeF size = line->size();
        const qreal x = option.direction == Qt::RightToLeft ? box.right() + 1 - size.width() : box.left();
        const qreal y = box.top() + (box.height() - size.height()) / 2;
        // Only a cell too narrow even for the ellipsis needs clipping.
        const bool spills = size.width() > box.width();
        if (spills) {
            painter->save();
            painter->setClipRect(option.rect, Qt::IntersectClip);
        }
        painter->drawStaticText(QPointF(x, y), *line);
        if (spills) painter->restore();
    }

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}

}  // namespace zartav
