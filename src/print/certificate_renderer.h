#pragma once

// Draws a certificate layout for one record onto any paint device: the preview, the printer and
// PDF files all go through paintCertificate(), so what the user previews is what prints.

#include "print/certificate_layout.h"

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QPainter;

namespace zartav::print {

// One record as the certificate needs it: column texts by name and the photo columns as the
// stored bitmap bytes, or already decoded for the page (preparePhotos). Plain values, so the
// renderer never touches the store.
// The smallest module of a printed code, in millimetres: what a phone's camera and a 150 dpi
// scan still part from their neighbours (zbar loses modules under four pixels on part of the grid).
inline constexpr double kMinModuleMm = 0.7;

// The code a printed certificate carries, once it has been issued.
struct PrintedSeal {
    QByteArray payload;
    qint64 number = 0;
    QString checkCode;
    bool duplicate = false;  // a copy of an unchanged issue: the page says so
    bool isSigned = false;
};

struct CertificateRecord {
    QHash<QString, QString> values;
    QHash<QString, QByteArray> pictures;
    QHash<QString, QImage> photos;  // decoded at the size they are drawn; used before `pictures`
    QString content;                // what an issue covers (print/certificate_content.h), made before the photos are decoded
    std::optional<PrintedSeal> seal;  // none in the preview: only printing issues

    QString value(const QString& column) const { return values.value(column); }
};

// Decodes the record's photos for a device of `dotsPerMm` and drops their stored bytes, so a
// record waiting to be drawn holds a few small pictures instead of megabytes of bitmap. Safe to
// run on another thread than the one that draws.
void preparePhotos(CertificateRecord& record, const CertificateLayout& layout, double dotsPerMm);

// A text element as it lands on the page: its cell, its final text and the size it fits at.
struct PlacedText {
    int element = -1;     // index into the layout's elements
    QRectF rect;          // millimetres from the band's top-left corner
    QString text;         // references filled in
    double pointSize = 0; // after shrinking to fit
    QStringList lines;    // when broken into lines within a tall cell
    bool clipped = false; // too long even at the smallest size: cut at the cell's edge
    Qt::LayoutDirection direction = Qt::RightToLeft;  // the order its pieces are laid out in
    HAlign align = HAlign::Center;  // the style's, or for a cut text the edge its first word is at
    double padding = 0;   // millimetres kept clear at its cell's left and right edges
};

// Smallest size a long value shrinks to before it is cut at its cell's edge.
inline constexpr double kMinPointSize = 5.0;
// Space kept between a text and the edges of its cell when there is room for it, millimetres.
inline constexpr double kCellPadding = 0.4;

// Replaces every [frxDBDataset1."column"] in `text` by the record's value of that column.
QString expandReferences(const QString& text, const CertificateRecord& record);

// Every Text and Field element with its text filled in and fitted to its cell.
QList<PlacedText> placeTexts(const CertificateLayout& layout, const CertificateRecord& record);

// Paints one certificate page; `paper` is the whole sheet in the painter's coordinates.
void paintCertificate(QPainter& painter, const QRectF& paper, const CertificateLayout& layout,
                      const CertificateRecord& record);

// Maps the family names the layout uses ("Times New Roman", "Tahoma") to installed fonts that
// carry Farsi. Safe to call more than once.
void registerCertificateFonts();

// The font a text style asks for, at `pointSize`.
QFont certificateFont(const TextStyle& style, double pointSize);

}  // namespace zartav::print
