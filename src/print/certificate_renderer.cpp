#include "print/certificate_renderer.h"

#include "util/photo_convert.h"
#include "print/certificate_code.h"
#include "util/bidi_text.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextOption>
#include <algorithm>

namespace zartav::print {

namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;
// Text is measured and drawn at one fixed fine resolution, the PDF's, so that preview, printer
// and PDF agree on the size each value is drawn at and on where each of its letters lands.
constexpr double kLayoutPixelsPerMm = 1200.0 / 25.4;
// Photos are embedded at no more than this resolution: enough for print, keeps PDFs small.
constexpr double kPhotoDpi = 300.0;

// Pixels a photo box needs on a device of `dotsPerMm`: no more than print resolution.
QSize photoPixels(const QRectF& boxMm, double dotsPerMm) {
    return (boxMm.size() * std::min(dotsPerMm, kPhotoDpi / 25.4)).toSize();
}

QFont measureFont(const TextStyle& style, double pointSize) {
    QFont font = certificateFont(style, 10);
    font.setPixelSize(qMax(1, qRound(pointSize * kMmPerPoint * kLayoutPixelsPerMm)));
    return font;
}

double textWidthMm(const TextStyle& style, double pointSize, const QString& text) {
    return QFontMetricsF(measureFont(style, pointSize)).horizontalAdvance(text) / kLayoutPixelsPerMm;
}

// Breaks `text` at blanks into lines no wider than `width` millimetres (a single word wider
// than that keeps a line of its own); empty when some line is still too wide.
QStringList breakLines(const TextStyle& style, double pointSize, const QString& text, double width) {
    const QFontMetricsF metrics(measureFont(style, pointSize));
    auto fits = [&](const QString& s) { return metrics.horizontalAdvance(s) / kLayoutPixelsPerMm <= width; };
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (fits(longer) || line.isEmpty()) {
            line = longer;
        } else {
            lines << line;
            line = word;
        }
    }
    if (!line.isEmpty()) lines << line;
    for (const QString& l : lines)
        if (!fits(l)) return {};
    return lines;
}

double lineHeightMm(const TextStyle& style, double pointSize) {
    return QFontMetricsF(measureFont(style, pointSize)).height() / kLayoutPixelsPerMm;
}

Qt::LayoutDirection layoutDirection(TextDirection direction, const QString& text) {
    switch (direction) {
        case TextDirection::RightToLeft: return Qt::RightToLeft;
        case TextDirection::LeftToRight: return Qt::LeftToRight;
        case TextDirection::Natural: break;
    }
    return text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
}

bool holds(const QString& text, bool rightToLeftLetters) {
    return std::any_of(text.begin(), text.end(), [&](QChar c) {
        const QChar::Direction d = c.direction();
        return rightToLeftLetters ? (d == QChar::DirR || d == QChar::DirAL) : d == QChar::DirL;
    });
}

// Where a line's first word lands. A right-to-left line starts at the right unless it holds
// nothing but Latin letters and digits, which read from the left whatever the line's direction;
// a left-to-right line starts at the left unless it is all Farsi.
bool beginsAtRight(const QString& text, Qt::LayoutDirection direction) {
    if (direction == Qt::RightToLeft) return holds(text, true);
    return holds(text, true) && !holds(text, false);
}

Qt::Alignment alignment(HAlign hAlign, VAlign vAlign) {
    Qt::Alignment a = Qt::AlignAbsolute;  // left means left, whatever the reading direction
    switch (hAlign) {
        case HAlign::Left: a |= Qt::AlignLeft; break;
        case HAlign::Center: a |= Qt::AlignHCenter; break;
        case HAlign::Right: a |= Qt::AlignRight; break;
    }
    switch (vAlign) {
        case VAlign::Top: a |= Qt::AlignTop; break;
        case VAlign::Center: a |= Qt::AlignVCenter; break;
        case VAlign::Bottom: a |= Qt::AlignBottom; break;
    }
    return a;
}

// A fixed text wider than its box may use the empty paper beside it, up to the nearest rule,
// outline or other text on its line, growing away from the edge it is aligned to: the box was
// drawn for another face of the font, and the caption would otherwise print smaller than the
// size the layout asks for. Only as much as `width` needs is taken.
QRectF roomBeside(const CertificateLayout& layout, int index, double width) {
    const Element& e = layout.elements[index];
    const QRectF box = e.rect;
    double left = 0, right = layout.page.bandWidth();
    auto bound = [&](double x) {
        if (x <= box.left()) left = std::max(left, x);
        else if (x >= box.right()) right = std::min(right, x);
        else left = right = -1;  // something crosses the box itself: stay inside it
    };
    for (int i = 0; i < layout.elements.size(); ++i) {
        const Element& o = layout.elements[i];
        const QRectF r = o.rect.normalized();
        if (i == index || r.bottom() <= box.top() || r.top() >= box.bottom()) continue;
        if (o.kind == ElementKind::Line) {
            if (qFuzzyCompare(r.left(), r.right())) bound(r.left());
            continue;
        }
        const bool isText = o.kind == ElementKind::Text || o.kind == ElementKind::Field;
        if (r.right() <= box.left() || r.left() >= box.right()) {
            bound(r.right() <= box.left() ? r.right() : r.left());  // beside the box
            if (!isText) bound(r.right() <= box.left() ? r.left() : r.right());
        } else if (!isText && r.left() <= box.left() && r.right() >= box.right()) {
            bound(r.left());  // a frame around the box
            bound(r.right());
        } else {
            return box;
        }
    }
    if (left < 0) return box;
    const double wanted = width - box.width();
    switch (e.style.hAlign) {
        case HAlign::Left: return QRectF(box.left(), box.top(), std::min(right - box.left(), width), box.height());
        case HAlign::Right: {
            const double from = std::max(left, box.right() - width);
            return QRectF(from, box.top(), box.right() - from, box.height());
        }
        case HAlign::Center: break;
    }
    const double grow = std::min({wanted / 2, box.left() - left, right - box.right()});
    return box.adjusted(-grow, 0, grow, 0);
}

}  // namespace

void preparePhotos(CertificateRecord& record, const CertificateLayout& layout, double dotsPerMm) {
    for (const Element& e : layout.elements) {
        if (e.kind != ElementKind::Picture || record.photos.contains(e.column)) continue;
        record.photos.insert(e.column, photo::decodeStoredPhoto(record.pictures.value(e.column), photoPixels(e.rect, dotsPerMm)));
    }
    record.pictures.clear();
}

void registerCertificateFonts() {
    static const bool done = [] {
        QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                                   {QStringLiteral("Nazli"), QStringLiteral("Noto Naskh Arabic"),
                                    QStringLiteral("DejaVu Serif")});
        QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                                   {QStringLiteral("Noto Sans Arabic"), QStringLiteral("DejaVu Sans")});
        QFont::insertSubstitutions(QStringLiteral("Titr"),
                                   {QStringLiteral("Noto Naskh Arabic"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    (void)done;
}

QFont certificateFont(const TextStyle& style, double pointSize) {
    registerCertificateFonts();
    QFont font(style.font);
    font.setPointSizeF(pointSize);
    font.setBold(style.bold);
    // Glyph positions must not snap to a screen grid: the same layout prints at 1200 dpi.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

namespace {

// A stored value as it is printed: an explicit direction control in it (which no way in lets
// through any more, but an older store may hold) would show its characters in another order
// than they were typed, 32100089 as 98000123; it prints in its typed order instead.
QString printedValue(const CertificateRecord& record, const QString& column) {
    return withoutDirectionControls(record.value(column));
}

// The code as a picture of one pixel a module, drawn without smoothing and kept lossless: every
// device gets square modules with hard edges, and a PDF one small bitmap instead of a thousand
// shapes. A quiet margin of two modules keeps it apart from the page's lines. Modules never
// print smaller than kMinModuleMm: a longer code than the box was made for grows past it rather
// than become one a phone cannot read.
void paintSeal(QPainter& painter, const QRectF& box, double scale, double pointFactor, const PrintedSeal& seal) {
    const QrModules modules = qrModules(seal.payload);
    const int quiet = 2;
    const double side = std::min(std::max(std::min(box.width(), box.height()), (modules.width + 2 * quiet) * kMinModuleMm * scale),
                                 box.width());
    if (modules.width > 0) {
        QImage code(modules.width + 2 * quiet, modules.width + 2 * quiet, QImage::Format_Mono);
        code.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        code.fill(0);
        for (int y = 0; y < modules.width; ++y)
            for (int x = 0; x < modules.width; ++x)
                if (modules.at(x, y)) code.setPixel(x + quiet, y + quiet, 1);
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.setRenderHint(QPainter::LosslessImageRendering);
        painter.drawImage(QRectF(box.left(), box.top(), side, side), code);
        painter.restore();
    }
    QStringList lines{QStringLiteral("شماره گواهي: %1").arg(seal.number), QStringLiteral("كد بررسي:"), seal.checkCode};
    if (seal.duplicate) lines << QStringLiteral("المثني");
    if (!seal.isSigned) lines << QStringLiteral("بدون امضا");
    TextStyle style = captionStyle();
    style.pointSize = 9;
    const QRectF text(box.left() + side + 1 * scale, box.top() + 1 * scale, box.width() - side - 1 * scale,
                      box.height() - 2 * scale);
    if (text.width() <= 0) return;
    painter.save();
    const double lineHeight = 5 * scale;
    // Beside the code, whichever way the text reads.
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter);
    option.setTextDirection(Qt::RightToLeft);
    option.setWrapMode(QTextOption::NoWrap);
    for (int i = 0; i < lines.size(); ++i) {
        const bool mark = lines[i] == QStringLiteral("المثني");
        TextStyle s = style;
        if (mark) {
            s.pointSize = 12;
            s.color = QColor(0xE6, 0x00, 0x00);
        }
        painter.setFont(certificateFont(s, s.pointSize * pointFactor));
        painter.setPen(s.color);
        painter.drawText(QRectF(text.left(), text.top() + i * lineHeight, text.width(), lineHeight), lines[i], option);
    }
    painter.restore();
}

}  // namespace

QString expandReferences(const QString& text, const CertificateRecord& record) {
    // Each value in a fixed text is laid out apart from the words around it.
    return replaceColumnReferences(text, [&](const QString& column) { return isolated(printedValue(record, column)); });
}

QList<PlacedText> placeTexts(const CertificateLayout& layout, const CertificateRecord& record) {
    QList<PlacedText> placed;
    for (int i = 0; i < layout.elements.size(); ++i) {
        const Element& e = layout.elements[i];
        if (e.kind != ElementKind::Text && e.kind != ElementKind::Field) continue;
        PlacedText p;
        p.element = i;
        p.rect = e.rect;
        // A field's value is a paragraph of its own (one drawText), so nothing in it reaches its neighbours.
        p.text = e.kind == ElementKind::Field ? printedValue(record, e.column) : expandReferences(e.text, record);
        p.pointSize = e.style.pointSize;
        p.direction = layoutDirection(e.style.direction, p.text);
        p.align = e.style.hAlign;
        // A text too long for its cell is broken into lines when the cell is tall enough for
        // two, and otherwise shrinks; past the smallest size it is cut at the cell's edge.
        // Either way nothing spills into a neighbouring cell.
        double widest = p.text.isEmpty() ? 0 : textWidthMm(e.style, p.pointSize, p.text);
        if (widest > e.rect.width() && e.kind == ElementKind::Text && !e.style.fill.isValid())
            p.rect = roomBeside(layout, i, widest + 2 * kCellPadding);
        const double room = p.rect.width();
        if (widest > room && room > 0) {
            for (double size = p.pointSize;; size = std::max(kMinPointSize, size * 0.95)) {
                p.pointSize = size;
                widest = textWidthMm(e.style, size, p.text);
                if (widest <= room) break;
                const double lineHeight = lineHeightMm(e.style, size);
                if (e.rect.height() >= 2 * lineHeight) {
                    const QStringList lines = breakLines(e.style, size, p.text, room);
                    if (lines.size() > 1 && lines.size() * lineHeight <= e.rect.height()) {
                        p.lines = lines;
                        widest = 0;
                        for (const QString& line : lines) widest = std::max(widest, textWidthMm(e.style, size, line));
                        break;
                    }
                }
                if (size <= kMinPointSize) {
                    p.clipped = true;
                    break;
                }
            }
        }
        if (p.clipped) {
            // What is cut is the end: the text keeps its first words at the edge it begins from.
            p.align = beginsAtRight(p.text, p.direction) ? HAlign::Right : HAlign::Left;
            p.padding = kCellPadding;
        } else {
            // The padding gives way before the text does, so a caption that fits keeps its size.
            p.padding = std::clamp((room - widest) / 2, 0.0, kCellPadding);
        }
        placed << p;
    }
    return placed;
}

void paintCertificate(QPainter& painter, const QRectF& paper, const CertificateLayout& layout,
                      const CertificateRecord& record) {
    const PageSetup& page = layout.page;
    // Every device is drawn on in the PDF's own units, scaled down to it: text laid out at a
    // screen's few pixels a letter gets other advances than on paper, runs wider than the cell
    // the paper fits it in and loses its ends to the cell's edge.
    const double scale = kLayoutPixelsPerMm;  // painter units per millimetre
    const double deviceScale = paper.width() / page.width;
    painter.save();
    painter.translate(paper.topLeft());
    painter.scale(deviceScale / scale, deviceScale / scale);
    const QPointF band(page.marginLeft * scale, (page.marginTop + page.bandTop) * scale);
    auto toDevice = [&](const QRectF& mm) {
        return QRectF(band.x() + mm.x() * scale, band.y() + mm.y() * scale, mm.width() * scale,
                      mm.height() * scale);
    };
    // Point sizes are in the device's logical inches; express them so one point is 1/72 inch of paper.
    const int dpi = painter.device() ? painter.device()->logicalDpiY() : 72;
    const double pointFactor = scale * 25.4 / (dpi > 0 ? dpi : 72);

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPen pen(Qt::black, page.lineWidth * scale, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);

    if (page.frame) {
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(page.marginLeft * scale, page.marginTop * scale,
                                (page.width - page.marginLeft - page.marginRight) * scale,
                                (page.height - page.marginTop - page.marginBottom) * scale));
    }

    const QList<PlacedText> texts = placeTexts(layout, record);
    auto nextText = texts.cbegin();

    for (int i = 0; i < layout.elements.size(); ++i) {
        const Element& e = layout.elements[i];
        const QRectF r = toDevice(e.rect);
        pen.setColor(e.outlineColor);
        painter.setPen(e.outline ? pen : QPen(Qt::NoPen));
        painter.setBrush(e.fill.isValid() ? QBrush(e.fill) : QBrush(Qt::NoBrush));
        switch (e.kind) {
            case ElementKind::Rect: painter.drawRect(r); break;
            case ElementKind::Ellipse: painter.drawEllipse(r); break;
            case ElementKind::Diamond:
                painter.drawPolygon(QPolygonF({QPointF(r.center().x(), r.top()), QPointF(r.right(), r.center().y()),
                                               QPointF(r.center().x(), r.bottom()),
                                               QPointF(r.left(), r.center().y())}));
                break;
            case ElementKind::Line:
                painter.setPen(pen);
                painter.drawLine(r.topLeft(), r.bottomRight());
                break;
            case ElementKind::Picture: {
                if (e.outline) painter.drawRect(r);
                const auto prepared = record.photos.constFind(e.column);
                const QImage image = prepared != record.photos.cend()
                                         ? *prepared
                                         : photo::decodeStoredPhoto(record.pictures.value(e.column),
                                                                    photoPixels(e.rect, deviceScale));
                if (image.isNull()) break;  // no photo: the box stays empty
                QRectF target(QPointF(), QSizeF(image.size()).scaled(r.size(), Qt::KeepAspectRatio));
                target.moveCenter(r.center());
                painter.drawImage(target, image);
                break;
            }
            case ElementKind::Code:
                if (e.outline) painter.drawRect(r);
                if (record.seal) paintSeal(painter, r, scale, pointFactor, *record.seal);
                break;
            case ElementKind::Text:
            case ElementKind::Field: {
                const PlacedText& t = *nextText++;
                // A text's fill stops short of the outlines and rules on its edges.
                const double inset = page.lineWidth * scale / 2;
                if (e.style.fill.isValid()) painter.fillRect(r.adjusted(inset, inset, -inset, -inset), e.style.fill);
                if (t.text.isEmpty()) break;
                painter.save();
                const QRectF area = toDevice(t.rect);
                painter.setClipRect(area, Qt::IntersectClip);
                painter.setFont(certificateFont(e.style, t.pointSize * pointFactor));
                painter.setPen(e.style.color);
                QTextOption option(alignment(t.align, e.style.vAlign));
                option.setWrapMode(QTextOption::NoWrap);
                option.setTextDirection(t.direction);
                const QRectF inner = area.adjusted(t.padding * scale, 0, -t.padding * scale, 0);
                if (t.lines.isEmpty()) {
                    painter.drawText(inner, t.text, option);
                } else {
                    // Broken lines are laid out one by one, as a block centred in the cell.
                    const double lineHeight = QFontMetricsF(painter.font(), painter.device()).height();
                    double y = r.top();
                    if (e.style.vAlign == VAlign::Center) y += (r.height() - lineHeight * t.lines.size()) / 2;
                    if (e.style.vAlign == VAlign::Bottom) y = r.bottom() - lineHeight * t.lines.size();
                    for (const QString& line : t.lines) {
                        painter.drawText(QRectF(inner.left(), y, inner.width(), lineHeight), line, option);
                        y += lineHeight;
                    }
                }
                painter.restore();
                break;
            }
        }
    }
    painter.restore();
}

}  // namespace zartav::print
