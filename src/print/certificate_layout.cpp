// The certificate as the program carries it. Coordinates are millimetres from the band's
// top-left corner; the form reads right to left, so each section starts at its title cell on
// the right edge.
#include "print/certificate_layout.h"

#include <QRegularExpression>

#include <initializer_list>

namespace zartav::print {

TextStyle captionStyle() {
    TextStyle s;
    s.pointSize = 10;
    s.bold = true;
    return s;
}

TextStyle valueStyle() {
    TextStyle s = captionStyle();
    s.fill = QColor(0xE6, 0xE6, 0xE6);
    s.direction = TextDirection::RightToLeft;
    return s;
}

TextStyle sectionTitleStyle() {
    TextStyle s;
    s.pointSize = 9;
    s.bold = true;
    s.hAlign = HAlign::Right;
    s.fill = QColor(0xCC, 0xFF, 0xCC);
    return s;
}

QString columnReference(const QString& column) {
    return QStringLiteral("[frxDBDataset1.\"%1\"]").arg(column);
}

QString replaceColumnReferences(const QString& text, const std::function<QString(const QString&)>& replacement) {
    if (!text.contains(QLatin1Char('['))) return text;
    static const QRegularExpression reference(QStringLiteral(R"re(\[frxDBDataset1\."([^"]*)"\])re"));
    QString out;
    qsizetype from = 0;
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(from, m.capturedStart() - from) + replacement(m.captured(1));
        from = m.capturedEnd();
    }
    return out + text.mid(from);
}

Element textElement(double x, double y, double w, double h, const QString& text, const QString& styleName,
                    const TextStyle& style) {
    Element e;
    e.kind = ElementKind::Text;
    e.rect = QRectF(x, y, w, h);
    e.text = text;
    e.styleName = styleName;
    e.style = style;
    return e;
}

Element fieldElement(double x, double y, double w, double h, const QString& column, const QString& styleName,
                     const TextStyle& style) {
    Element e = textElement(x, y, w, h, QString(), styleName, style);
    e.kind = ElementKind::Field;
    e.column = column;
    return e;
}

Element rectElement(double x, double y, double w, double h, const QColor& fill, bool outline) {
    Element e;
    e.kind = ElementKind::Rect;
    e.rect = QRectF(x, y, w, h);
    e.fill = fill;
    e.outline = outline;
    return e;
}

Element lineElement(double x1, double y1, double x2, double y2) {
    Element e;
    e.kind = ElementKind::Line;
    e.rect = QRectF(QPointF(x1, y1), QPointF(x2, y2));
    return e;
}

namespace {

const QColor kSectionGreen(0xCC, 0xFF, 0xCC);
const QColor kLavender(0xEA, 0xEA, 0xFF);

struct Section {
    double y;
    double height;
    std::initializer_list<double> rules;
    bool captionRule;  // the rule under the caption line
};

// The section frames top to bottom: (1) herd .. (9) calving.
const Section kSections[] = {
    {41, 15, {144, 108, 89, 40}, true},
    {56, 15, {144, 126, 108, 79, 51, 25}, true},
    {71, 15, {}, false},
    {86, 15, {119, 79, 39}, true},
    {101, 15, {144, 126, 108, 79, 44, 25}, true},
    {116, 15, {144, 126, 108, 79}, true},
    {131, 24, {123, 83, 43}, false},
    {155, 9, {}, false},
    {164, 11, {}, false},
};

enum class Align { Default, Left, Center, Right };

// One caption, value or section title of the sections.
struct Row {
    enum Kind { Text, Field };
    Kind kind;
    const char* text;  // the caption, or the column whose value fills the cell
    double x, y, w, h;
    char style;  // 'C', 'V' or 'S'
    Align align;
};

const Row kRows[] = {
    {Row::Text, "(1) مشخصات گله", 164, 41, 26, 15, 'S', Align::Default},
    {Row::Text, "كد استان", 147, 42.5, 11, kCaptionHeight, 'C', Align::Left},
    {Row::Text, "نام استان", 121, 42.5, 11.6, kCaptionHeight, 'C', Align::Left},
    {Row::Text, "كد گله", 94, 42.5, 7.9, kCaptionHeight, 'C', Align::Left},
    {Row::Text, "نام گاوداري", 58, 42.5, 14.4, kCaptionHeight, 'C', Align::Left},
    {Row::Text, "نام شهرستان", 13, 42.5, 16.1, kCaptionHeight, 'C', Align::Left},
    {Row::Field, "كد استان", 147, 49.5, 12, kValueHeight, 'V', Align::Default},
    {Row::Field, "نام استان", 111, 49.5, 30, kValueHeight, 'V', Align::Default},
    {Row::Field, "كد گله", 92, 49.5, 13, kValueHeight, 'V', Align::Default},
    {Row::Field, "نام گاوداري", 43, 49.5, 42, kValueHeight, 'V', Align::Default},
    {Row::Field, "نام شهرستان", 6, 49.5, 30, kValueHeight, 'V', Align::Default},
    {Row::Text, "(2) مشخصات گوساله", 164, 56, 26, 15, 'S', Align::Default},
    {Row::Text, "بدن", 148, 56.5, 11, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "گوش ف", 126, 57, 16, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "گوش پ", 109, 57, 16, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "تاريخ تولد", 82, 57, 21, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "نام گوساله", 54, 57, 21, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "شماره گل", 29, 57, 18, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "HF%", 6, 57, 15, kCaptionHeight, 'C', Align::Default},
    {Row::Field, "بدن", 148, 64.6, 12, kValueHeight, 'V', Align::Default},
    {Row::Field, "گوش ف", 129, 64.6, 12, kValueHeight, 'V', Align::Default},
    {Row::Field, "گوش پ", 111, 64.6, 12, kValueHeight, 'V', Align::Default},
    {Row::Field, "تاريخ تولد", 82, 64.6, 22, kValueHeight, 'V', Align::Default},
    {Row::Field, "نام گوساله", 54, 64.6, 22, kValueHeight, 'V', Align::Default},
    {Row::Field, "شماره گل", 29, 64.6, 19, kValueHeight, 'V', Align::Default},
    {Row::Field, "HFگوساله", 6, 64.6, 16, kValueHeight, 'V', Align::Default},
    {Row::Text, "(3) وضعيت گوساله", 164, 71, 26, 15, 'S', Align::Default},
    {Row::Text, "نحوه تولد", 142, 72, 18, kCaptionHeight, 'C', Align::Right},
    {Row::Field, "نحوه تولد", 101, 72.1, 33, kValueHeight, 'V', Align::Default},
    {Row::Text, "جنس گوساله", 142, 79, 18, kCaptionHeight, 'C', Align::Right},
    {Row::Text, "وزن تولد", 41, 79, 12, kCaptionHeight, 'C', Align::Right},
    {Row::Field, "جنس گوساله", 101, 79.1, 33, kValueHeight, 'V', Align::Default},
    {Row::Field, "وزن", 23, 79.1, 17, kValueHeight, 'V', Align::Default},
    {Row::Text, "كيلوگرم", 9, 79, 13, kCaptionHeight, 'C', Align::Center},
    {Row::Text, "(4) مشخصات پدر", 164, 86, 26, 15, 'S', Align::Default},
    {Row::Text, "نام", 121, 87, 38, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "ثبت داخلي", 81, 87, 36, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "ثبت خارجي", 41, 87, 36, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "HF %", 5, 87, 32, kCaptionHeight, 'C', Align::Default},
    {Row::Field, "نام", 122, 94.6, 38, kValueHeight, 'V', Align::Default},
    {Row::Field, "ثبت داخلي", 81, 94.6, 36, kValueHeight, 'V', Align::Default},
    {Row::Field, "ثبت خارجي", 41, 94.6, 36, kValueHeight, 'V', Align::Default},
    {Row::Field, "HFپدر", 5, 94.6, 32, kValueHeight, 'V', Align::Default},
    {Row::Text, "(5) مشخصات مادر", 164, 101, 26, 15, 'S', Align::Default},
    {Row::Text, "بدن", 148, 101.5, 11, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "گوش ف", 131, 102, 11, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "گوش پ", 111, 102, 11, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "شماره ثبت", 82, 102, 21, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "نام مادر", 52, 102, 21, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "دوره زايش", 27, 102, 15, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "HF%", 6, 102, 15, kCaptionHeight, 'C', Align::Default},
    {Row::Field, "بدن مادر تني", 148, 109.6, 12, kValueHeight, 'V', Align::Default},
    {Row::Field, "گوش ف مادر تني", 131, 109.6, 12, kValueHeight, 'V', Align::Default},
    {Row::Field, "گوش پ مادر تني", 111, 109.6, 12, kValueHeight, 'V', Align::Default},
    {Row::Field, "ثبت مادر تني", 82, 109.6, 22, kValueHeight, 'V', Align::Default},
    {Row::Field, "نام گل مادر تني", 60, 109.6, 18, kValueHeight, 'V', Align::Default},
    {Row::Field, "شماره گل مادر تني", 45, 109.6, 14, kValueHeight, 'V', Align::Default},
    {Row::Field, "دوره زايش", 27, 109.6, 15, kValueHeight, 'V', Align::Default},
    {Row::Field, "HFمادر تني", 6, 109.6, 16, kValueHeight, 'V', Align::Default},
    {Row::Text, "(6) مشخصات نامادري", 164, 116, 26, 15, 'S', Align::Default},
    {Row::Text, "بدن", 148, 116.5, 11, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "گوش ف", 131, 117, 11, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "گوش پ", 111, 117, 11, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "شماره ثبت", 82, 117, 21, kCaptionHeight, 'C', Align::Default},
    {Row::Text, "نام مادر", 18, 117, 40, kCaptionHeight, 'C', Align::Default},
    {Row::Field, "بدن مادر ناتني", 148, 124.6, 12, kValueHeight, 'V', Align::Default},
    {Row::Field, "گوش ف مادر ناتني", 131, 124.6, 12, kValueHeight, 'V', Align::Default},
    {Row::Field, "گوش پ مادر ناتني", 111, 124.6, 12, kValueHeight, 'V', Align::Default},
    {Row::Field, "ثبت مادر ناتني", 82, 124.6, 22, kValueHeight, 'V', Align::Default},
    {Row::Field, "نام گل مادر ناتني", 18, 124.6, 40, kValueHeight, 'V', Align::Default},
    {Row::Text, "(7) تلقيح هاي انجام يافته", 164, 131, 26, 24, 'S', Align::Default},
    {Row::Field, "اسپرم تلقيح 1", 125, 133.6, 32, kValueHeight, 'V', Align::Default},
    {Row::Field, "اسپرم تلقيح 2", 85, 134, 32, kValueHeight, 'V', Align::Default},
    {Row::Field, "اسپرم تلقيح 3", 45, 134, 32, kValueHeight, 'V', Align::Default},
    {Row::Field, "نوع منجر به باروري", 4.5, 134, 32, kValueHeight, 'V', Align::Default},
    {Row::Field, "نوع تلقيح  1", 125, 141, 32, kValueHeight, 'V', Align::Default},
    {Row::Field, "نوع تلقيح  2", 85, 141, 32, kValueHeight, 'V', Align::Default},
    {Row::Field, "نوع تلقيح  3", 45, 141, 32, kValueHeight, 'V', Align::Default},
    {Row::Field, "تاريخ  تلقيح 1", 125, 148, 32, kValueHeight, 'V', Align::Default},
    {Row::Field, "تاريخ  تلقيح 2", 85, 148, 32, kValueHeight, 'V', Align::Default},
    {Row::Field, "تاريخ  تلقيح 3", 45, 148, 32, kValueHeight, 'V', Align::Default},
    {Row::Field, "تاريخ منجر به باروري", 4.5, 148, 32, kValueHeight, 'V', Align::Default},
    {Row::Text, "(8) نوع باروري", 164, 155, 26, 9, 'S', Align::Default},
    {Row::Field, "نوع باروري", 125, 157, 35, kValueHeight, 'V', Align::Default},
    {Row::Text, "(9) چگونگي زايمان مادر يا نامادري", 164, 164, 26, 11, 'S', Align::Default},
    {Row::Field, "چگونگي زايمان", 93, 167, 67, kValueHeight, 'V', Align::Right},
    {Row::Field, "كد نحوه زايش", 73, 167, 11, kValueHeight, 'V', Align::Default},
    {Row::Text, "رنگ لكه ها", 164, 238, 23, kCaptionHeight, 'C', Align::Right},
    {Row::Field, "رنگ لكه ها", 124, 238, 35, kValueHeight, 'V', Align::Default},
};

Element rowElement(const Row& row) {
    TextStyle style = row.style == 'V' ? valueStyle() : row.style == 'S' ? sectionTitleStyle() : captionStyle();
    switch (row.align) {
        case Align::Default: break;
        case Align::Left: style.hAlign = HAlign::Left; break;
        case Align::Center: style.hAlign = HAlign::Center; break;
        case Align::Right: style.hAlign = HAlign::Right; break;
    }
    const QString text = QString::fromUtf8(row.text);
    const QString name(QChar::fromLatin1(row.style));
    return row.kind == Row::Field ? fieldElement(row.x, row.y, row.w, row.h, text, name, style)
                                  : textElement(row.x, row.y, row.w, row.h, text, name, style);
}

TextStyle titrStyle(double size) {
    TextStyle s;
    s.font = QStringLiteral("Titr");
    s.pointSize = size;
    s.bold = true;
    return s;
}

}  // namespace

CertificateLayout builtinCertificateLayout() {
    CertificateLayout layout;
    QList<Element>& el = layout.elements;

    // Header, unframed.
    el << textElement(74, 1, 29, 7, QStringLiteral("redaz oviv azodeze"), {}, titrStyle(10));
    el << textElement(73, 8, 30, 9, QStringLiteral("معاونت امور دام"), {}, titrStyle(14));
    el << textElement(59, 17, 55, 9.6, QStringLiteral("zida dovez ovev adi vazo"), {}, titrStyle(16));
    TextStyle title = titrStyle(20);
    title.color = QColor(0xE6, 0x00, 0x00);
    el << textElement(38, 24, 111, 13, QStringLiteral("شناسنامه رسمي گاوهاي هلشتاين ايران"), {}, title);
    el << textElement(160.9, 7, 16, kCaptionHeight, QStringLiteral("شماره ثبت"), QStringLiteral("C"), captionStyle());
    el << rectElement(148, 13, 42, 10, QColor(0xED, 0xEC, 0xE9));
    TextStyle regNo;
    regNo.pointSize = 20;
    regNo.direction = TextDirection::RightToLeft;
    el << fieldElement(150.6, 13.3, 40, 10, QStringLiteral("شماره ثبت"), {}, regNo);

    // Section frames with their title cells and rules; the texts come after, on top.
    for (const Section& s : kSections) {
        el << rectElement(3, s.y, 187, s.height, QColor());
        el << rectElement(164, s.y, 26, s.height, kSectionGreen);
        if (s.captionRule) el << lineElement(3, s.y + 7, 164, s.y + 7);
        for (double x : s.rules) el << lineElement(x, s.y, x, s.y + s.height);
    }

    // Inseminations: a diamond at the right edge of each of the three columns, holding its number.
    const double diamondX[] = {159, 118, 78};
    const double numberX[] = {160.3, 119.3, 79.3};
    for (int i = 0; i < 3; ++i) {
        Element d = rectElement(diamondX[i], 131, 5, 24, kLavender);
        d.kind = ElementKind::Diamond;
        el << d;
        el << textElement(numberX[i], 140, 2.8, kCaptionHeight, QString::number(i + 1), QStringLiteral("C"),
                          captionStyle());
    }
    // The service that led to pregnancy: a caption beside a circle holding the number of services.
    TextStyle ledTo = captionStyle();
    ledTo.fill = Qt::white;
    el << textElement(6.5, 141, 26, kCaptionHeight, QStringLiteral("منجر به باروري"), QStringLiteral("C"), ledTo);
    Element circle = rectElement(34, 140, 7, 7, kLavender);
    circle.kind = ElementKind::Ellipse;
    el << circle;
    TextStyle count;
    count.font = QStringLiteral("Tahoma");
    // 5.4 mm high: centred on the circle's centre.
    el << fieldElement(33.8, 140.8, 6, 5.4, QStringLiteral("تعداد تلقيح"), {}, count);

    // Photo row and its three boxes: "عكس 1" right, "عكس 2" middle, "عكس 3" left.
    el << rectElement(3, 175, 192.6, 60, kLavender);
    el << lineElement(131.8, 175, 131.8, 235);
    el << lineElement(67, 175, 67, 235);
    const double photoX[] = {132.4, 68.9, 3.9};
    const char* photoColumn[] = {"عكس 1", "عكس 2", "عكس 3"};
    for (int i = 0; i < 3; ++i) {
        Element p;
        p.kind = ElementKind::Picture;
        p.rect = QRectF(photoX[i], 175.8, 62, 59);
        p.column = QString::fromUtf8(photoColumn[i]);
        p.outline = false;
        el << p;
    }

    // Patch colour row.
    el << rectElement(2, 236, 187, 9, QColor());
    el << rectElement(163, 236, 26, 9, kSectionGreen);
    TextStyle union_ = captionStyle();
    union_.hAlign = HAlign::Left;
    el << textElement(3, 238, 110, kCaptionHeight,
                      QStringLiteral("صدور شناسنامه توسط rarudev erad evud ozorudiz eveza rivav"),
                      QStringLiteral("C"), union_);

    for (const Row& row : kRows) el << rowElement(row);

    // The certificate's code in the free corner left of the header, down to the first table:
    // 40 mm holds the compact code's 53 modules and their margin at 0.7 mm, four pixels of a
    // 150 dpi scan, which zbar reads wherever the page falls on the scanner's grid.
    Element code;
    code.kind = ElementKind::Code;
    code.rect = QRectF(1, 0, 62, 40);
    code.outline = false;
    el << code;

    // Signature line: the issue date is the record's own print date, never today's.
    TextStyle signature = captionStyle();
    signature.hAlign = HAlign::Right;
    const QString line = QStringLiteral("امضاء دامدار") + QString(26, QLatin1Char(' ')) +
                         QStringLiteral("تاريخ صدور") + columnReference(QStringLiteral("تاريخ چاپ")) +
                         QString(4, QLatin1Char(' ')) +
                         QStringLiteral("ثبت مشخصات و دفتر انساب zida dovez ovev adi vazo");
    el << textElement(2, 246, 188, kCaptionHeight, line, QStringLiteral("C"), signature);
    return layout;
}

}  // namespace zartav::print
