#include "print/certificate_renderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegularExpression>
#include <QTextOption>
#include <algorithm>

namespace zartav::print {

namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;
// Fitting is measured at a fixed fine resolution so that preview, printer and PDF agree on the
// size each value is drawn at.
constexpr double kMeasurePixelsPerMm = 1200.0 / 25.4;
// Photos are embedded at no more than this resolution: enough for print, keeps PDFs small.
constexpr double kPhotoDpi = 300.0;

QFont measureFont(const TextStyle& style, double pointSize) {
    QFont font = certificateFont(style, 10);
    font.setPixelSize(qMax(1, qRound(pointSize * kMmPerPoint * kMeasurePixelsPerMm)));
    return font;
}

double textWidthMm(const TextStyle& style, double pointSize, const QString& text) {
    return QFontMetricsF(measureFont(style, pointSize)).horizontalAdvance(text) / kMeasurePixelsPerMm;
}

// Breaks `text` at blanks into lines no wider than `width` millimetres (a single word wider
// than that keeps a line of its own); empty when some line is still too wide.
QStringList breakLines(const TextStyle& style, double pointSize, const QString& text, double width) {
    const QFontMetricsF metrics(measureFont(style, pointSize));
    auto fits = [&](const QString& s) { return metrics.horizontalAdvance(s) / kMeasurePixelsPerMm <= width; };
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
    return QFontMetricsF(measureFont(style, pointSize)).height() / kMeasurePixelsPerMm;
}

Qt::Alignment alignment(const TextStyle& style) {
    Qt::Alignment a = Qt::AlignAbsolute;  // left means left, whatever the reading direction
    switch (style.hAlign) {
        case HAlign::Left: a |= Qt::AlignLeft; break;
        case HAlign::Center: a |= Qt::AlignHCenter; break;
        case HAlign::Right: a |= Qt::AlignRight; break;
    }
    switch (style.vAlign) {
        case VAlign::Top: a |= Qt::AlignTop; break;
        case VAlign::Center: a |= Qt::AlignVCenter; break;
        case VAlign::Bottom: a |= Qt::AlignBottom; break;
    }
    return a;
}

}  // namespace

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

QString expandReferences(const QString& text, const CertificateRecord& record) {
    if (!text.contains(QLatin1Char('['))) return text;
    static const QRegularExpression reference(QStringLiteral(R"re(\[frxDBDataset1\."([^"]*)"\])re"));
    QString out;
    qsizetype from = 0;
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(from, m.capturedStart() - from);
        out += record.value(m.captured(1));
        from = m.capturedEnd();
    }
    out += text.mid(from);
    return out;
}

QList<PlacedText> placeTexts(const CertificateLayout& layout, const CertificateRecord& record) {
    QList<PlacedText> placed;
    for (int i = 0; i < layout.elements.size(); ++i) {
        const Element& e = layout.elements[i];
        if (e.kind != ElementKind::Text && e.kind != ElementKind::Field) continue;
        PlacedText p;
        p.element = i;
        p.rect = e.rect;
        p.text = e.kind == ElementKind::Field ? record.value(e.column) : expandReferences(e.text, record);
        p.pointSize = e.style.pointSize;
        // A text too long for its cell is broken into lines when the cell is tall enough for
        // two, and otherwise shrinks; past the smallest size it is cut at the cell's edge.
        // Either way nothing spills into a neighbouring cell.
        const double room = e.rect.width() - 2 * kCellPadding;
        if (!p.text.isEmpty() && room > 0 && textWidthMm(e.style, p.pointSize, p.text) > room) {
            for (double size = p.pointSize;; size = std::max(kMinPointSize, size * 0.95)) {
                p.pointSize = size;
                if (textWidthMm(e.style, size, p.text) <= room) break;
                const double lineHeight = lineHeightMm(e.style, size);
                if (e.rect.height() >= 2 * lineHeight) {
                    const QStringList lines = breakLines(e.style, size, p.text, room);
                    if (lines.size() > 1 && lines.size() * lineHeight <= e.rect.height()) {
                        p.lines = lines;
                        break;
                    }
                }
                if (size <= kMinPointSize) {
                    p.clipped = true;
                    break;
                }
            }
        }
        placed << p;
    }
    return placed;
}

void paintCertificate(QPainter& painter, const QRectF& paper, const CertificateLayout& layout,
                      const CertificateRecord& record) {
    const PageSetup& page = layout.page;
    const double scale = paper.width() / page.width;  // device units per millimetre
    const QPointF band(paper.left() + page.marginLeft * scale,
                       paper.top() + (page.marginTop + page.bandTop) * scale);
    auto toDevice = [&](const QRectF& mm) {
        return QRectF(band.x() + mm.x() * scale, band.y() + mm.y() * scale, mm.width() * scale,
                      mm.height() * scale);
    };
    // Point sizes are in the device's logical inches; express them so one point is 1/72 inch of paper.
    const int dpi = painter.device() ? painter.device()->logicalDpiY() : 72;
    const double pointFactor = scale * 25.4 / (dpi > 0 ? dpi : 72);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPen pen(Qt::black, page.lineWidth * scale, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);

    if (page.frame) {
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(paper.left() + page.marginLeft * scale, paper.top() + page.marginTop * scale,
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
                QImage image = QImage::fromData(record.pictures.value(e.column));
                if (image.isNull()) break;  // no photo: the box stays empty
                QSizeF fitted = QSizeF(image.size()).scaled(r.size(), Qt::KeepAspectRatio);
                QRectF target(QPointF(), fitted);
                target.moveCenter(r.center());
                const QSize wanted = (e.rect.size() / 25.4 * kPhotoDpi).toSize();
                if (image.width() > wanted.width() * 3 / 2 && image.height() > wanted.height() * 3 / 2)
                    image = image.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                painter.drawImage(target, image);
                break;
            }
            case ElementKind::Text:
            case ElementKind::Field: {
                const PlacedText& t = *nextText++;
                // A text's fill stops short of the outlines and rules on its edges.
                const double inset = page.lineWidth * scale / 2;
                if (e.style.fill.isValid()) painter.fillRect(r.adjusted(inset, inset, -inset, -inset), e.style.fill);
                if (t.text.isEmpty()) break;
                painter.save();
                painter.setClipRect(r, Qt::IntersectClip);
                painter.setFont(certificateFont(e.style, t.pointSize * pointFactor));
                painter.setPen(e.style.color);
                QTextOption option(alignment(e.style));
                option.setWrapMode(QTextOption::NoWrap);
                option.setTextDirection(e.style.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
                const QRectF inner = r.adjusted(kCellPadding * scale, 0, -kCellPadding * scale, 0);
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
