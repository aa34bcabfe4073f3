#include "print/pedigree_chart.h"

#include "util/bidi_text.h"

#include <QFont>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextOption>

namespace zartav::print {
namespace {

ChartBox boxOf(const pedigree::Pedigree& p, int node, const QString& position) {
    ChartBox box;
    box.position = position;
    if (node < 0) return box;
    const pedigree::Animal& a = p.node(node).animal;
    box.known = true;
    box.name = a.name;
    box.number = a.number;
    box.hf = a.hf;
    if (a.source == pedigree::Source::Record) box.recordId = a.id;
    return box;
}

QStringList linesOf(const ChartBox& box) {
    if (!box.known) return {unknownAncestorText()};
    QStringList lines;
    lines << (box.name.isEmpty() ? QStringLiteral("—") : box.name);
    lines << (box.number.isEmpty() ? QStringLiteral("شماره ثبت: نامعلوم") : QStringLiteral("شماره ثبت: ") + isolated(box.number));
    if (!box.hf.isEmpty()) lines << isolated(QStringLiteral("HF %1 %").arg(box.hf));
    return lines;
}

}  // namespace

QString unknownAncestorText() { return QStringLiteral("نامعلوم"); }

QString summaryText(double inbreeding, double completeness) {
    return QStringLiteral("همخوني %1 %   ·   شجره %2 % كامل (سه نسل)")
        .arg(QString::number(inbreeding * 100, 'f', 1), QString::number(completeness * 100, 'f', 0));
}

PedigreeChart chartOf(pedigree::Pedigree& p) {
    PedigreeChart chart;
    chart.calf = boxOf(p, p.root(), QString());
    for (const QString& position : pedigree::Pedigree::positions(PedigreeChart::kGenerations))
        chart.ancestors << boxOf(p, p.at(position), position);
    chart.summary = summaryText(p.inbreeding(), p.completeness(PedigreeChart::kGenerations));
    return chart;
}

void paintChart(QPainter& painter, const QRectF& area, const PedigreeChart& chart, QList<std::pair<QRectF, qint64>>* links) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const int columns = PedigreeChart::kGenerations + 1;
    const double unit = area.height() / 100;
    const double summaryHeight = 6 * unit;
    const QRectF body(area.left(), area.top(), area.width(), area.height() - summaryHeight);
    const double gap = area.width() * 0.03;
    const double boxWidth = (body.width() - gap * (columns - 1)) / columns;
    const double slot = body.height() / (1 << PedigreeChart::kGenerations);
    const double boxHeight = slot * 0.86;

    QFont font = painter.font();
    font.setFamily(QStringLiteral("Tahoma"));
    font.setPixelSize(std::max(1, int(boxHeight / 4.6)));
    painter.setFont(font);
    // Right-aligned on the page itself: a right-to-left option would mirror a plain AlignRight.
    QTextOption option(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    option.setTextDirection(Qt::RightToLeft);
    option.setWrapMode(QTextOption::NoWrap);

    // Generation g, box i: column g from the right; centred on the slots of its line.
    auto rectOf = [&](int generation, int i) {
        const double span = body.height() / (1 << generation);
        const double x = body.right() - (generation + 1) * boxWidth - generation * gap;
        return QRectF(x, body.top() + span * i + (span - boxHeight) / 2, boxWidth, boxHeight);
    };
    auto draw = [&](const ChartBox& box, const QRectF& r) {
        painter.setPen(QPen(box.recordId ? QColor(0x20, 0x50, 0xA0) : QColor(Qt::black), box.recordId ? 2.5 * unit / 10 : unit / 10));
        painter.setBrush(box.known ? QColor(0xFF, 0xFF, 0xF4) : QColor(0xEE, 0xEE, 0xEE));
        painter.drawRoundedRect(r, unit / 2, unit / 2);
        painter.setPen(Qt::black);
        const QStringList lines = linesOf(box);
        const double lineHeight = r.height() / 3.6;
        const double top = r.center().y() - lineHeight * lines.size() / 2;
        for (int l = 0; l < lines.size(); ++l) {
            QFont f = font;
            f.setBold(l == 0 && box.known);
            painter.setFont(f);
            painter.drawText(QRectF(r.left() + unit, top + l * lineHeight, r.width() - 2 * unit, lineHeight), lines[l], option);
        }
        painter.setFont(font);
        if (links && box.recordId) links->append({r, box.recordId});
    };

    painter.setPen(QPen(Qt::gray, unit / 10));
    for (int g = 1; g <= PedigreeChart::kGenerations; ++g)
        for (int i = 0; i < (1 << g); ++i) {
            const QRectF child = rectOf(g - 1, i / 2), parent = rectOf(g, i);
            const double midX = (child.left() + parent.right()) / 2;
            painter.drawPolyline(QPolygonF{QPointF(child.left(), child.center().y()), QPointF(midX, child.center().y()),
                                           QPointF(midX, parent.center().y()), QPointF(parent.right(), parent.center().y())});
        }
    draw(chart.calf, rectOf(0, 0));
    int index = 0;
    for (int g = 1; g <= PedigreeChart::kGenerations; ++g)
        for (int i = 0; i < (1 << g); ++i) draw(chart.ancestors.value(index++), rectOf(g, i));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), body.bottom(), area.width(), summaryHeight), chart.summary, option);
    painter.restore();
}

QPageLayout chartPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
}

PagePainter chartPage(const PedigreeChart& chart) {
    return [chart](QPainter& painter, QPagedPaintDevice& device, QString*) {
        paintChart(painter, QRectF(0, 0, device.width(), device.height()), chart);
        return PrintOutcome::Done;
    };
}

}  // namespace zartav::print
