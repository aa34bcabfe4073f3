#pragma once

// The pedigree as breed societies print it: the calf at the right, its parents, grandparents
// and great-grandparents in columns to the left, each with name, registration number and HF %,
// or "نامعلوم" (unknown). One painter serves the window, the printer and the PDF file.

#include "data/pedigree/pedigree.h"
#include "print/certificate_pdf.h"

#include <QList>
#include <QRectF>
#include <QString>

class QPainter;

namespace zartav::print {

struct ChartBox {
    QString position;  // empty for the calf
    bool known = false;
    QString name, number, hf;
    qint64 recordId = 0;  // an animal of the store, which the window opens; 0 for any other
};

struct PedigreeChart {
    ChartBox calf;
    QList<ChartBox> ancestors;  // in the order of Pedigree::positions(kGenerations)
    QString summary;            // the inbreeding and the completeness
    static constexpr int kGenerations = 3;
};

PedigreeChart chartOf(pedigree::Pedigree& pedigree);

// The word for an ancestor no one knows, and the chart's summary line.
QString unknownAncestorText();
QString summaryText(double inbreeding, double completeness);

// Draws the chart into `area` (device units). Each box of a record of the store, with its
// "ID", goes into `links` when asked, for a click to find.
void paintChart(QPainter& painter, const QRectF& area, const PedigreeChart& chart,
                QList<std::pair<QRectF, qint64>>* links = nullptr);

// The chart alone on an A4 sheet, turned sideways.
QPageLayout chartPageLayout();
PagePainter chartPage(const PedigreeChart& chart);

}  // namespace zartav::print
