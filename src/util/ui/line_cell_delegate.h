#pragma once

#include <QCache>
#include <QFont>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace zartav {

// Draws read-only list cells as one line of text on the cell's background colour.
// The stock delegate lays every cell out as a paragraph (line breaking, then eliding) on every
// paint, which for a screen of Farsi cells costs tens of milliseconds. Here each distinct text
// is shaped once and kept, so the values that recur down a list (herds, sires, dates, colours)
// cost almost nothing to draw again; a text too wide for its cell is elided as before, and the
// elided form is kept too.
class LineCellDelegate : public QStyledItemDelegate {
public:
    explicit LineCellDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    const QStaticText& shaped(const QString& text, const QFont& font) const;

    // What a text too wide for its cell shows, by cell width and text.
    const QString& elided(const QString& text, const QFontMetrics& metrics, int width) const;

    mutable QCache<QString, QStaticText> shaped_;
    mutable QCache<QString, QString> elided_;
    // The shaped texts hold for one font; another font empties the caches.
    mutable QFont font_;
};

}  // namespace zartav
