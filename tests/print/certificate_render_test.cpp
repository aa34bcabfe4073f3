// The renderer: texts filled from the record and fitted to their cells, photos centred and
// scaled, empty cells left empty, all checked on the painted page.
#include "certificate_fixture.h"
#include "print/certificate_layout.h"
#include "print/certificate_renderer.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

namespace zartav::print {
namespace {

using sample::col;

constexpr double kPxPerMm = 8;  // about 200 dpi

QImage paint(const CertificateLayout& layout, const CertificateRecord& record) {
    QImage image(qRound(layout.page.width * kPxPerMm), qRound(layout.page.height * kPxPerMm), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(kPxPerMm * 1000));
    image.setDotsPerMeterY(qRound(kPxPerMm * 1000));
    image.fill(Qt::white);
    QPainter painter(&image);
    paintCertificate(painter, QRectF(0, 0, image.width(), image.height()), layout, record);
    painter.end();
    return image;
}

// Colour at a point given in millimetres from the band's corner.
QColor at(const QImage& image, const CertificateLayout& layout, double x, double y) {
    return image.pixelColor(qRound((layout.page.marginLeft + x) * kPxPerMm),
                            qRound((layout.page.marginTop + layout.page.bandTop + y) * kPxPerMm));
}

const Element& elementOf(const CertificateLayout& layout, ElementKind kind, const char* column) {
    for (const Element& e : layout.elements)
        if (e.kind == kind && e.column == col(column)) return e;
    static const Element none;
    ADD_FAILURE() << "no element for " << column;
    return none;
}

TEST(CertificateRenderer, EveryValueCellShowsItsColumn) {
    const CertificateLayout layout = builtinCertificateLayout();
    const CertificateRecord record = sample::realisticRecord();
    for (const PlacedText& t : placeTexts(layout, record)) {
        const Element& e = layout.elements[t.element];
        // Values keep to their cells; a caption may take the empty paper beside its box.
        EXPECT_TRUE(t.rect.contains(e.rect));
        if (e.kind == ElementKind::Field) {
            EXPECT_EQ(t.rect, e.rect);
            EXPECT_EQ(t.text, record.value(e.column)) << e.column.toStdString();
        }
        EXPECT_FALSE(t.clipped) << t.text.toStdString();
    }
}

TEST(CertificateRenderer, SignatureLineDateIsTheRecordsPrintDate) {
    CertificateRecord record = sample::realisticRecord();
    record.values[col("تاريخ چاپ")] = QStringLiteral("1388/07/09");
    bool found = false;
    for (const PlacedText& t : placeTexts(builtinCertificateLayout(), record)) {
        if (!t.text.startsWith(QStringLiteral("امضاء دامدار"))) continue;
        found = true;
        EXPECT_TRUE(t.text.contains(QStringLiteral("تاريخ صدور\u20681388/07/09\u2069    ثبت مشخصات")));
        EXPECT_FALSE(t.text.contains(QLatin1Char('[')));
    }
    EXPECT_TRUE(found);
}

TEST(CertificateRenderer, ReferencesAreFilledFromTheRecord) {
    CertificateRecord r;
    r.values.insert(col("نام"), QStringLiteral("X"));
    r.values.insert(col("بدن"), QStringLiteral("\u202E12\u2069"));
    // Each value isolated from the words around it; what it held of direction controls dropped.
    const struct {
        QString in, out;
    } cases[] = {
        {QStringLiteral("a[frxDBDataset1.\"نام\"]b"), QStringLiteral("a\u2068X\u2069b")},
        {QStringLiteral("[frxDBDataset1.\"نام\"][frxDBDataset1.\"نام\"]"), QStringLiteral("\u2068X\u2069\u2068X\u2069")},
        {QStringLiteral("[frxDBDataset1.\"وزن\"]"), QString()},  // empty column
        {QStringLiteral("[not a reference]"), QStringLiteral("[not a reference]")},
        {QStringLiteral("بدن [frxDBDataset1.\"بدن\"] گاو"), QStringLiteral("بدن \u206812\u2069 گاو")},
    };
    for (const auto& c : cases) EXPECT_EQ(expandReferences(c.in, r), c.out) << c.in.toStdString();
}

// A stored right-to-left override would print 32100089 as 98000123: two registration numbers
// alike on paper. The value prints in the order it was typed.
TEST(CertificateRenderer, ADirectionControlInAValueCannotReorderItsPrint) {
    const CertificateLayout layout = builtinCertificateLayout();
    const Element& cell = elementOf(layout, ElementKind::Field, "شماره ثبت");
    auto printed = [&](const QString& number) {
        CertificateRecord record;
        record.values.insert(col("شماره ثبت"), number);
        const QRectF mm = cell.rect.translated(layout.page.marginLeft, layout.page.marginTop + layout.page.bandTop);
        return paint(layout, record).copy(QRectF(mm.topLeft() * kPxPerMm, mm.size() * kPxPerMm).toRect());
    };
    const QImage spoofed = printed(QStringLiteral("\u202E32100089"));
    EXPECT_NE(spoofed, printed(QStringLiteral("98000123")));
    EXPECT_EQ(spoofed, printed(QStringLiteral("32100089")));
    EXPECT_NE(printed(QStringLiteral("32100089")), printed(QStringLiteral("98000123")));  // the cell shows its digits
}

TEST(CertificateRenderer, LongValuesShrinkOrAreCutButStayInTheirCell) {
    const CertificateLayout layout = builtinCertificateLayout();
    CertificateRecord record;
    record.values.insert(col("كد استان"), QStringLiteral("123456789"));  // a 12 mm cell
    record.values.insert(col("نام گاوداري"), QString(400, QChar(0x0645)));  // far too long
    const QList<PlacedText> placed = placeTexts(layout, record);
    for (const PlacedText& t : placed) {
        const Element& e = layout.elements[t.element];
        if (e.column == col("كد استان")) {
            EXPECT_LT(t.pointSize, 10);
            EXPECT_GE(t.pointSize, kMinPointSize);
            EXPECT_FALSE(t.clipped);
            QFont f = certificateFont(e.style, 10);
            f.setPixelSize(qRound(t.pointSize * 25.4 / 72 * 100));
            EXPECT_LE(QFontMetricsF(f).horizontalAdvance(t.text) / 100, e.rect.width());
        }
        if (e.column == col("نام گاوداري")) {
            EXPECT_EQ(t.pointSize, kMinPointSize);
            EXPECT_TRUE(t.clipped);
        }
    }
    // On the page the cut value never reaches past its cell: the rule beside it stays black and
    // the cell to its right keeps its own grey.
    const QImage image = paint(layout, record);
    const Element& farm = elementOf(layout, ElementKind::Field, "نام گاوداري");
    const double y = farm.rect.center().y();
    EXPECT_EQ(at(image, layout, farm.rect.right() + 2, y), QColor(Qt::white));  // gap before the next cell
    EXPECT_EQ(at(image, layout, farm.rect.left() - 1, y), QColor(Qt::white));
}

TEST(CertificateRenderer, EmptyColumnsGiveEmptyGreyCellsAndEmptyPhotoBoxes) {
    const CertificateLayout layout = builtinCertificateLayout();
    const QImage image = paint(layout, CertificateRecord());
    const QColor grey(0xE6, 0xE6, 0xE6), lavender(0xEA, 0xEA, 0xFF);
    for (const Element& e : layout.elements) {
        if (e.kind == ElementKind::Field && e.styleName == QLatin1String("V")) {
            // Sample a few points across the cell: all grey, no text.
            for (double fx : {0.2, 0.5, 0.8})
                EXPECT_EQ(at(image, layout, e.rect.x() + e.rect.width() * fx, e.rect.center().y()), grey)
                    << e.column.toStdString();
        }
        if (e.kind == ElementKind::Picture) {
            EXPECT_EQ(at(image, layout, e.rect.center().x(), e.rect.center().y()), lavender);
        }
    }
}

TEST(CertificateRenderer, PhotosAreCentredAndScaledToFitTheirBoxes) {
    const CertificateLayout layout = builtinCertificateLayout();
    CertificateRecord record;
    // A wide red photo, a tall green one, a blue one of the box's own shape.
    record.pictures.insert(col("عكس 1"), sample::solidBmp(400, 100, Qt::red));
    record.pictures.insert(col("عكس 2"), sample::solidBmp(100, 400, Qt::green));
    record.pictures.insert(col("عكس 3"), sample::solidBmp(620, 590, Qt::blue));
    const QImage image = paint(layout, record);
    const QColor lavender(0xEA, 0xEA, 0xFF);

    const QRectF wide = elementOf(layout, ElementKind::Picture, "عكس 1").rect;  // 62 x 15.5 mm when fitted
    EXPECT_EQ(at(image, layout, wide.left() + 1, wide.center().y()), QColor(Qt::red));
    EXPECT_EQ(at(image, layout, wide.right() - 1, wide.center().y()), QColor(Qt::red));
    EXPECT_EQ(at(image, layout, wide.center().x(), wide.center().y() - 7), QColor(Qt::red));
    EXPECT_EQ(at(image, layout, wide.center().x(), wide.center().y() - 9), lavender);
    EXPECT_EQ(at(image, layout, wide.center().x(), wide.center().y() + 9), lavender);

    const QRectF tall = elementOf(layout, ElementKind::Picture, "عكس 2").rect;  // 14.75 x 59 mm
    EXPECT_EQ(at(image, layout, tall.center().x(), tall.top() + 1), QColor(Qt::green));
    EXPECT_EQ(at(image, layout, tall.center().x(), tall.bottom() - 1), QColor(Qt::green));
    EXPECT_EQ(at(image, layout, tall.center().x() - 9, tall.center().y()), lavender);
    EXPECT_EQ(at(image, layout, tall.center().x() + 9, tall.center().y()), lavender);

    const QRectF full = elementOf(layout, ElementKind::Picture, "عكس 3").rect;
    EXPECT_EQ(at(image, layout, full.left() + 0.5, full.top() + 0.5), QColor(Qt::blue));
    EXPECT_EQ(at(image, layout, full.right() - 0.5, full.bottom() - 0.5), QColor(Qt::blue));
}

TEST(CertificateRenderer, UndecodablePhotoLeavesItsBoxEmpty) {
    const CertificateLayout layout = builtinCertificateLayout();
    CertificateRecord record;
    record.pictures.insert(col("عكس 1"), QByteArray("BM not really a bitmap"));
    const QImage image = paint(layout, record);
    const QRectF box = elementOf(layout, ElementKind::Picture, "عكس 1").rect;
    EXPECT_EQ(at(image, layout, box.center().x(), box.center().y()), QColor(0xEA, 0xEA, 0xFF));
}

TEST(CertificateRenderer, FarsiFontsAreInstalledForEveryStyle) {
    // Without a Farsi-capable face the page would show boxes instead of letters.
    const QString farsi = QStringLiteral("شناسنامه");
    for (const char* family : {"Times New Roman", "Tahoma", "Titr"}) {
        TextStyle style;
        style.font = QString::fromLatin1(family);
        const QFont font = certificateFont(style, 10);
        const QFontMetricsF metrics(font);
        for (QChar c : farsi) EXPECT_TRUE(metrics.inFontUcs4(c.unicode())) << family;
    }
}

}  // namespace
}  // namespace zartav::print
