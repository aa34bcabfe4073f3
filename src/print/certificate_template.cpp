#include "print/certificate_template.h"

#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "util/bidi_text.h"
#include "util/dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace zartav::print {

namespace {

const QString kRoot = QStringLiteral("certificate-layout");
constexpr int kVersion = 1;

QString number(double v) { return QString::number(v, 'g', 10); }
QString yesNo(bool b) { return b ? QStringLiteral("yes") : QStringLiteral("no"); }
QString colour(const QColor& c) { return c.isValid() ? c.name(QColor::HexRgb) : QStringLiteral("none"); }

const char* hAlignName(HAlign a) {
    switch (a) {
        case HAlign::Left: return "left";
        case HAlign::Center: return "center";
        case HAlign::Right: return "right";
    }
    return "center";
}
const char* vAlignName(VAlign a) {
    switch (a) {
        case VAlign::Top: return "top";
        case VAlign::Center: return "center";
        case VAlign::Bottom: return "bottom";
    }
    return "center";
}

const char* directionName(TextDirection d) {
    switch (d) {
        case TextDirection::Natural: return "natural";
        case TextDirection::RightToLeft: return "rtl";
        case TextDirection::LeftToRight: return "ltr";
    }
    return "natural";
}

const char* kindName(ElementKind k) {
    switch (k) {
        case ElementKind::Text: return "text";
        case ElementKind::Field: return "field";
        case ElementKind::Rect: return "rect";
        case ElementKind::Line: return "line";
        case ElementKind::Diamond: return "diamond";
        case ElementKind::Ellipse: return "ellipse";
        case ElementKind::Picture: return "picture";
        case ElementKind::Code: return "code";
    }
    return "text";
}

// Shapes are drawn with an outline unless told otherwise; a photo and the code are not.
bool outlinedByDefault(ElementKind k) { return k != ElementKind::Picture && k != ElementKind::Code; }

QHash<QString, TextStyle> builtinStyles() {
    return {{QStringLiteral("C"), captionStyle()},
            {QStringLiteral("V"), valueStyle()},
            {QStringLiteral("S"), sectionTitleStyle()}};
}

// Writes the attributes in which `style` differs from `base` (every one when base is null).
void writeStyle(QXmlStreamWriter& w, const TextStyle& style, const TextStyle* base) {
    if (!base || style.font != base->font) w.writeAttribute(QStringLiteral("font"), style.font);
    if (!base || style.pointSize != base->pointSize) w.writeAttribute(QStringLiteral("size"), number(style.pointSize));
    if (!base || style.bold != base->bold) w.writeAttribute(QStringLiteral("bold"), yesNo(style.bold));
    if (!base || style.color != base->color) w.writeAttribute(QStringLiteral("color"), colour(style.color));
    if (!base || style.fill != base->fill) w.writeAttribute(QStringLiteral("fill"), colour(style.fill));
    if (!base || style.hAlign != base->hAlign)
        w.writeAttribute(QStringLiteral("align"), QString::fromLatin1(hAlignName(style.hAlign)));
    if (!base || style.vAlign != base->vAlign)
        w.writeAttribute(QStringLiteral("valign"), QString::fromLatin1(vAlignName(style.vAlign)));
    if (!base || style.direction != base->direction)
        w.writeAttribute(QStringLiteral("direction"), QString::fromLatin1(directionName(style.direction)));
}

void writeBox(QXmlStreamWriter& w, const QRectF& r) {
    w.writeAttribute(QStringLiteral("x"), number(r.x()));
    w.writeAttribute(QStringLiteral("y"), number(r.y()));
    w.writeAttribute(QStringLiteral("w"), number(r.width()));
    w.writeAttribute(QStringLiteral("h"), number(r.height()));
}

struct Parsed {
    std::optional<CertificateLayout> layout;
    QString error;        // in the file's terms, with its line
    QString farsiReason;  // for the user, when the refusal is one they can put right
    bool foreign = false; // well-formed XML of some other kind: not a layout of ours at all
};

// Reads attributes strictly: a value that does not parse makes the whole file unusable.
class Reader {
public:
    explicit Reader(const QByteArray& xml) : xml_(xml) {}

    Parsed read() {
        Parsed out;
        CertificateLayout layout;
        layout.elements.clear();
        QHash<QString, TextStyle> styles = builtinStyles();
        bool sawRoot = false;
        while (!failed() && xml_.readNextStartElement()) {
            if (!sawRoot) {
                if (xml_.name() != kRoot) {
                    out.foreign = true;
                    fail(QStringLiteral("the root element is <%1>, not <%2>").arg(xml_.name().toString(), kRoot));
                    break;
                }
                sawRoot = true;
                const int version = integer(QStringLiteral("version"), kVersion);
                if (version != kVersion) fail(QStringLiteral("unsupported version %1").arg(version));
                continue;
            }
            const QString tag = xml_.name().toString();
            if (tag == QLatin1String("page")) {
                pageLine_ = xml_.lineNumber();
                readPage(layout.page);
                xml_.skipCurrentElement();
            } else if (tag == QLatin1String("style")) {
                const QString name = text(QStringLiteral("name"));
                if (name.isEmpty()) fail(QStringLiteral("a <style> without a name"));
                styles[name] = readStyle(styles.value(name, TextStyle()));
                xml_.skipCurrentElement();
            } else {
                elementLines_ << xml_.lineNumber();
                readElement(tag, styles, layout);
            }
        }
        if (!failed() && xml_.hasError()) fail(xml_.errorString());
        if (!failed() && !sawRoot) fail(QStringLiteral("the file is empty"));
        if (!failed() && layout.elements.isEmpty()) fail(QStringLiteral("the layout has no elements"));
        if (!failed()) checkOnPaper(layout);
        if (failed()) {
            out.error = QStringLiteral("line %1: %2").arg(errorLine_ > 0 ? errorLine_ : xml_.lineNumber()).arg(error_);
            out.farsiReason = farsiReason_;
            return out;
        }
        out.layout = layout;
        return out;
    }

private:
    bool failed() const { return !error_.isEmpty(); }
    void fail(const QString& why, const QString& farsiReason = {}, qint64 line = 0) {
        if (!error_.isEmpty()) return;
        error_ = why;
        farsiReason_ = farsiReason;
        errorLine_ = line;
    }

    // A column must be one of the record's, spelt as the table spells it (blanks count); it is
    // kept in the table's own spelling, so a name in other letter case still finds its value.
    QString column(const QString& name, bool photo) {
        const int index = RecordTable::columnIndex(name);
        if (index < 0) {
            fail(QStringLiteral("no column named \"%1\"").arg(name),
                 QStringLiteral("ستون «%1» در جدول شناسنامه ها نيست.").arg(name));
            return name;
        }
        if ((index >= schema::kFirstPhotoColumnIndex) != photo) {
            fail(QStringLiteral("\"%1\" is %2 a photo column").arg(name, photo ? QStringLiteral("not") : QString()),
                 photo ? QStringLiteral("ستون «%1» عكس ندارد.").arg(name)
                       : QStringLiteral("ستون «%1» عكس است و متن ندارد.").arg(name));
            return name;
        }
        return QString::fromUtf8(schema::kRecordColumns[index]);
    }

    QString textWithColumns(const QString& text) {
        return replaceColumnReferences(text, [&](const QString& name) { return columnReference(column(name, false)); });
    }

    // Every box must lie on the paper: a size past its edge is a typing slip, and would print
    // nothing or cut a text in half.
    void checkOnPaper(const CertificateLayout& layout) {
        const PageSetup& page = layout.page;
        const QRectF paper(-page.marginLeft, -page.marginTop - page.bandTop, page.width, page.height);
        const QString reason = QStringLiteral("اندازه هاي سطر %1 فايل از صفحه بيرون مي زند.");
        if (page.width > kMaxPaperSide || page.height > kMaxPaperSide ||
            page.marginTop + page.bandTop + page.bandHeight > page.height + kTolerance) {
            fail(QStringLiteral("the page is larger than paper comes"), reason.arg(pageLine_), pageLine_);
            return;
        }
        for (int i = 0; i < layout.elements.size(); ++i) {
            const QRectF box = layout.elements[i].rect.normalized();
            if (box.left() < paper.left() - kTolerance || box.top() < paper.top() - kTolerance ||
                box.right() > paper.right() + kTolerance || box.bottom() > paper.bottom() + kTolerance) {
                fail(QStringLiteral("an element reaches past the paper"), reason.arg(elementLines_[i]),
                     elementLines_[i]);
                return;
            }
        }
    }
    bool has(const QString& name) const { return xml_.attributes().hasAttribute(name); }
    QString text(const QString& name, const QString& fallback = {}) const {
        return has(name) ? xml_.attributes().value(name).toString() : fallback;
    }
    double real(const QString& name, double fallback, bool required = false) {
        if (!has(name)) {
            if (required) fail(QStringLiteral("<%1> lacks %2").arg(xml_.name().toString(), name));
            return fallback;
        }
        bool ok = false;
        const double v = text(name).toDouble(&ok);
        if (!ok || !qIsFinite(v)) fail(QStringLiteral("%1 is not a number").arg(name));
        return ok ? v : fallback;
    }
    int integer(const QString& name, int fallback) {
        if (!has(name)) return fallback;
        bool ok = false;
        const int v = text(name).toInt(&ok);
        if (!ok) fail(QStringLiteral("%1 is not a whole number").arg(name));
        return v;
    }
    bool boolean(const QString& name, bool fallback) {
        if (!has(name)) return fallback;
        const QString v = text(name);
        if (v == QLatin1String("yes")) return true;
        if (v == QLatin1String("no")) return false;
        fail(QStringLiteral("%1 must be yes or no").arg(name));
        return fallback;
    }
    QColor color(const QString& name, const QColor& fallback) {
        if (!has(name)) return fallback;
        const QString v = text(name);
        if (v == QLatin1String("none")) return QColor();
        const QColor c = QColor::fromString(v);
        if (!c.isValid()) fail(QStringLiteral("%1 is not a colour").arg(name));
        return c;
    }

    void readPage(PageSetup& page) {
        page.width = real(QStringLiteral("width"), page.width);
        page.height = real(QStringLiteral("height"), page.height);
        page.marginLeft = real(QStringLiteral("margin-left"), page.marginLeft);
        page.marginRight = real(QStringLiteral("margin-right"), page.marginRight);
        page.marginTop = real(QStringLiteral("margin-top"), page.marginTop);
        page.marginBottom = real(QStringLiteral("margin-bottom"), page.marginBottom);
        page.frame = boolean(QStringLiteral("frame"), page.frame);
        page.bandTop = real(QStringLiteral("band-top"), page.bandTop);
        page.bandHeight = real(QStringLiteral("band-height"), page.bandHeight);
        page.lineWidth = real(QStringLiteral("line-width"), page.lineWidth);
        if (page.width <= 0 || page.height <= 0 || page.bandWidth() <= 0)
            fail(QStringLiteral("the page has no room"));
    }

    TextStyle readStyle(TextStyle s) {
        s.font = text(QStringLiteral("font"), s.font);
        s.pointSize = real(QStringLiteral("size"), s.pointSize);
        if (s.pointSize <= 0 || s.pointSize > 200) fail(QStringLiteral("size out of range"));
        s.bold = boolean(QStringLiteral("bold"), s.bold);
        s.color = color(QStringLiteral("color"), s.color);
        s.fill = color(QStringLiteral("fill"), s.fill);
        if (has(QStringLiteral("align"))) {
            const QString a = text(QStringLiteral("align"));
            if (a == QLatin1String("left")) s.hAlign = HAlign::Left;
            else if (a == QLatin1String("center")) s.hAlign = HAlign::Center;
            else if (a == QLatin1String("right")) s.hAlign = HAlign::Right;
            else fail(QStringLiteral("align must be left, center or right"));
        }
        if (has(QStringLiteral("valign"))) {
            const QString a = text(QStringLiteral("valign"));
            if (a == QLatin1String("top")) s.vAlign = VAlign::Top;
            else if (a == QLatin1String("center")) s.vAlign = VAlign::Center;
            else if (a == QLatin1String("bottom")) s.vAlign = VAlign::Bottom;
            else fail(QStringLiteral("valign must be top, center or bottom"));
        }
        if (has(QStringLiteral("direction"))) {
            const QString d = text(QStringLiteral("direction"));
            if (d == QLatin1String("rtl")) s.direction = TextDirection::RightToLeft;
            else if (d == QLatin1String("ltr")) s.direction = TextDirection::LeftToRight;
            else if (d == QLatin1String("natural")) s.direction = TextDirection::Natural;
            else fail(QStringLiteral("direction must be natural, rtl or ltr"));
        }
        return s;
    }

    QRectF box() {
        const QRectF r(real(QStringLiteral("x"), 0, true), real(QStringLiteral("y"), 0, true),
                       real(QStringLiteral("w"), 0, true), real(QStringLiteral("h"), 0, true));
        if (r.width() < 0 || r.height() < 0) fail(QStringLiteral("negative size"));
        return r;
    }

    void readElement(const QString& tag, const QHash<QString, TextStyle>& styles, CertificateLayout& layout) {
        Element e;
        if (tag == QLatin1String("text") || tag == QLatin1String("field")) {
            e.kind = tag == QLatin1String("text") ? ElementKind::Text : ElementKind::Field;
            e.rect = box();
            e.styleName = text(QStringLiteral("style"));
            if (!e.styleName.isEmpty() && !styles.contains(e.styleName))
                fail(QStringLiteral("unknown style %1").arg(e.styleName));
            e.style = readStyle(e.styleName.isEmpty() ? TextStyle() : styles.value(e.styleName));
            if (e.kind == ElementKind::Field) {
                e.column = text(QStringLiteral("column"));
                if (e.column.isEmpty()) fail(QStringLiteral("a <field> without a column"));
                else e.column = column(e.column, false);
                xml_.skipCurrentElement();
            } else {
                e.text = textWithColumns(xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement));
            }
        } else if (tag == QLatin1String("line")) {
            e.kind = ElementKind::Line;
            e.rect = QRectF(QPointF(real(QStringLiteral("x1"), 0, true), real(QStringLiteral("y1"), 0, true)),
                            QPointF(real(QStringLiteral("x2"), 0, true), real(QStringLiteral("y2"), 0, true)));
            xml_.skipCurrentElement();
        } else if (tag == QLatin1String("rect") || tag == QLatin1String("diamond") ||
                   tag == QLatin1String("ellipse") || tag == QLatin1String("picture") || tag == QLatin1String("code")) {
            e.kind = tag == QLatin1String("rect")      ? ElementKind::Rect
                     : tag == QLatin1String("diamond") ? ElementKind::Diamond
                     : tag == QLatin1String("ellipse") ? ElementKind::Ellipse
                     : tag == QLatin1String("code")    ? ElementKind::Code
                                                       : ElementKind::Picture;
            e.rect = box();
            e.outline = boolean(QStringLiteral("outline"), outlinedByDefault(e.kind));
            e.fill = color(QStringLiteral("fill"), QColor());
            e.outlineColor = color(QStringLiteral("outline-color"), e.outlineColor);
            if (e.kind == ElementKind::Picture) {
                e.column = text(QStringLiteral("column"));
                if (e.column.isEmpty()) fail(QStringLiteral("a <picture> without a column"));
                else e.column = column(e.column, true);
            }
            xml_.skipCurrentElement();
        } else {
            fail(QStringLiteral("unknown element <%1>").arg(tag));
            return;
        }
        layout.elements << e;
    }

    static constexpr double kMaxPaperSide = 1200;  // millimetres: a little more than A0
    static constexpr double kTolerance = 0.05;

    QXmlStreamReader xml_;
    QString error_;
    QString farsiReason_;
    qint64 errorLine_ = 0;
    qint64 pageLine_ = 0;
    QList<qint64> elementLines_;
};

}  // namespace

QByteArray serializeCertificateLayout(const CertificateLayout& layout) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeStartElement(kRoot);
    w.writeAttribute(QStringLiteral("version"), QString::number(kVersion));
    w.writeAttribute(QStringLiteral("unit"), QStringLiteral("mm"));

    const PageSetup& p = layout.page;
    w.writeEmptyElement(QStringLiteral("page"));
    w.writeAttribute(QStringLiteral("width"), number(p.width));
    w.writeAttribute(QStringLiteral("height"), number(p.height));
    w.writeAttribute(QStringLiteral("margin-left"), number(p.marginLeft));
    w.writeAttribute(QStringLiteral("margin-right"), number(p.marginRight));
    w.writeAttribute(QStringLiteral("margin-top"), number(p.marginTop));
    w.writeAttribute(QStringLiteral("margin-bottom"), number(p.marginBottom));
    w.writeAttribute(QStringLiteral("frame"), yesNo(p.frame));
    w.writeAttribute(QStringLiteral("band-top"), number(p.bandTop));
    w.writeAttribute(QStringLiteral("band-height"), number(p.bandHeight));
    w.writeAttribute(QStringLiteral("line-width"), number(p.lineWidth));

    const QHash<QString, TextStyle> styles = builtinStyles();
    for (const QString& name : {QStringLiteral("C"), QStringLiteral("V"), QStringLiteral("S")}) {
        w.writeEmptyElement(QStringLiteral("style"));
        w.writeAttribute(QStringLiteral("name"), name);
        writeStyle(w, styles.value(name), nullptr);
    }

    const TextStyle plain;
    for (const Element& e : layout.elements) {
        const QString tag = QString::fromLatin1(kindName(e.kind));
        if (e.kind == ElementKind::Text || e.kind == ElementKind::Field) {
            const bool named = styles.contains(e.styleName);
            const TextStyle base = named ? styles.value(e.styleName) : plain;
            if (e.kind == ElementKind::Text) w.writeStartElement(tag);
            else w.writeEmptyElement(tag);
            writeBox(w, e.rect);
            if (named) w.writeAttribute(QStringLiteral("style"), e.styleName);
            if (e.kind == ElementKind::Field) w.writeAttribute(QStringLiteral("column"), e.column);
            writeStyle(w, e.style, &base);
            if (e.kind == ElementKind::Text) {
                w.writeCharacters(e.text);
                w.writeEndElement();
            }
            continue;
        }
        w.writeEmptyElement(tag);
        if (e.kind == ElementKind::Line) {
            w.writeAttribute(QStringLiteral("x1"), number(e.rect.left()));
            w.writeAttribute(QStringLiteral("y1"), number(e.rect.top()));
            w.writeAttribute(QStringLiteral("x2"), number(e.rect.right()));
            w.writeAttribute(QStringLiteral("y2"), number(e.rect.bottom()));
            continue;
        }
        writeBox(w, e.rect);
        if (e.kind == ElementKind::Picture) w.writeAttribute(QStringLiteral("column"), e.column);
        if (e.fill.isValid()) w.writeAttribute(QStringLiteral("fill"), colour(e.fill));
        if (e.outline != outlinedByDefault(e.kind)) w.writeAttribute(QStringLiteral("outline"), yesNo(e.outline));
        if (e.outlineColor != QColor(Qt::black)) w.writeAttribute(QStringLiteral("outline-color"), colour(e.outlineColor));
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

std::optional<CertificateLayout> parseCertificateLayout(const QByteArray& xml, QString* error) {
    Parsed parsed = Reader(xml).read();
    if (error) *error = parsed.error;
    return parsed.layout;
}

LoadedTemplate loadCertificateTemplate(const QString& path) {
    LoadedTemplate result;
    result.layout = builtinCertificateLayout();
    if (path.isEmpty() || !QFileInfo::exists(path)) return result;
    result.status = TemplateStatus::Broken;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    // A layout is a few dozen kilobytes; anything far larger is not one.
    constexpr qint64 kMaxSize = 4 * 1024 * 1024;
    if (file.size() > kMaxSize) {
        result.error = QStringLiteral("the file is too large");
        return result;
    }
    Parsed parsed = Reader(file.readAll()).read();
    result.error = parsed.error;
    result.farsiReason = parsed.farsiReason;
    if (parsed.foreign) result.status = TemplateStatus::Foreign;
    if (parsed.layout) {
        result.layout = *parsed.layout;
        result.status = TemplateStatus::Loaded;
    }
    return result;
}

QString templateMessage(const QString& path, const LoadedTemplate& loaded) {
    const QString file = isolatedPath(path);
    if (loaded.status == TemplateStatus::Foreign)
        return QStringLiteral("فايل قالب شناسنامه زير قالب اين برنامه نيست (شايد از برنامه قبلي مانده است)؛ "
                              "شناسنامه ها با قالب خود برنامه چاپ مي شوند.\n%1")
            .arg(file);
    QString text = QStringLiteral("فايل قالب شناسنامه خوانده نشد؛ شناسنامه با قالب خود برنامه چاپ مي شود.\n%1").arg(file);
    if (!loaded.farsiReason.isEmpty()) text += QLatin1Char('\n') + loaded.farsiReason;
    return text;
}

CertificateLayout certificateLayoutForPrint(const QString& path) {
    LoadedTemplate loaded = loadCertificateTemplate(path);
    if (loaded.status == TemplateStatus::Broken) showMessage(templateMessage(path, loaded));
    if (loaded.status == TemplateStatus::Foreign) {
        // A file left by the program used before stays there for good: saying so once a run
        // is enough, where a broken file of ours is being edited and is reported every time.
        static QMutex mutex;
        static QSet<QString> reported;
        QMutexLocker lock(&mutex);
        const bool first = !reported.contains(path);
        reported.insert(path);
        lock.unlock();
        if (first) showMessage(templateMessage(path, loaded));
    }
    return loaded.layout;
}

}  // namespace zartav::print
