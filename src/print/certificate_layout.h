#pragma once

// The certificate page as data: every frame, rule, caption, value cell and picture box with its
// place in millimetres. The renderer draws it; the layout file reader and writer exchange it.

#include <QColor>
#include <QList>
#include <QRectF>
#include <QString>
#include <functional>

namespace zartav::print {

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Center, Bottom };
// The order of a text's pieces on its line. Natural follows the text's own first letter: a Farsi
// caption reads right to left, "HF%" left to right, as it was written.
enum class TextDirection { Natural, RightToLeft, LeftToRight };

// How a piece of text looks. Sizes are points; the font family is the name the layout asks for
// ("Times New Roman", "Tahoma", "Titr"), mapped to installed Farsi fonts by registerCertificateFonts().
struct TextStyle {
    QString font = QStringLiteral("Times New Roman");
    double pointSize = 10;
    bool bold = false;
    QColor color = Qt::black;
    QColor fill;  // invalid: no fill
    HAlign hAlign = HAlign::Center;
    VAlign vAlign = VAlign::Center;
    TextDirection direction = TextDirection::Natural;

    bool operator==(const TextStyle&) const = default;
};

// The three named styles of the form: C (caption), V (value), S (section title).
TextStyle captionStyle();
TextStyle valueStyle();
TextStyle sectionTitleStyle();
inline constexpr double kCaptionHeight = 5.0;
inline constexpr double kValueHeight = 5.3;

enum class ElementKind {
    Text,     // fixed text; may hold [frxDBDataset1."column"] references, filled from the record
    Field,    // the text of one column
    Rect,     // rectangle: outline and/or fill
    Line,     // straight rule from rect.topLeft() to rect.bottomRight()
    Diamond,  // rhombus inscribed in rect
    Ellipse,  // ellipse (circle) inscribed in rect
    Picture,  // one photo column, centred and scaled to fit rect
    Code,     // the issued certificate's QR code, square at the box's left, its number and check code beside it
};

struct Element {
    ElementKind kind = ElementKind::Text;
    QRectF rect;          // millimetres from the band's top-left corner
    QString text;         // Text
    QString column;       // Field, Picture
    QString styleName;    // "C", "V", "S" or empty when the style is the element's own
    TextStyle style;      // Text, Field
    QColor fill;          // shapes; invalid: none
    bool outline = true;  // shapes
    QColor outlineColor = Qt::black;

    bool operator==(const Element&) const = default;
};

struct PageSetup {
    double width = 215.9;  // US Letter, portrait
    double height = 279.4;
    double marginLeft = 5;
    double marginRight = 15;
    double marginTop = 10;
    double marginBottom = 10;
    bool frame = true;         // thin frame around the printable area
    double bandTop = 5;        // the data band, below the top margin
    double bandHeight = 254;
    double lineWidth = 0.2;    // every outline and rule, millimetres

    double bandWidth() const { return width - marginLeft - marginRight; }
    bool operator==(const PageSetup&) const = default;
};

struct CertificateLayout {
    PageSetup page;
    QList<Element> elements;  // painted in this order

    bool operator==(const CertificateLayout&) const = default;
};

// The certificate the program carries within itself.
CertificateLayout builtinCertificateLayout();

// Helpers for building layouts (the built-in one and tests).
Element textElement(double x, double y, double w, double h, const QString& text, const QString& styleName,
                    const TextStyle& style);
Element fieldElement(double x, double y, double w, double h, const QString& column, const QString& styleName,
                     const TextStyle& style);
Element rectElement(double x, double y, double w, double h, const QColor& fill, bool outline = true);
Element lineElement(double x1, double y1, double x2, double y2);

// A text element's reference to a column, as templates write it.
QString columnReference(const QString& column);
// `text` with every column reference replaced by what `replacement` answers for its column.
QString replaceColumnReferences(const QString& text, const std::function<QString(const QString&)>& replacement);

}  // namespace zartav::print
