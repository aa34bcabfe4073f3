// The built-in certificate layout against the form's own table of captions, values and titles.
#include "data/schema/record_schema.h"
#include "print/certificate_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zartav::print {
namespace {

struct Expected {
    bool field;  // the value of a column, else a fixed text
    const char* text;
    double x, y, w, h;
    const char* style;
    HAlign align;
};

const Expected kExpected[] = {
    {false, "(1) مشخصات گله", 164, 41, 26, 15, "S", HAlign::Right},
    {false, "كد استان", 147, 42.5, 11, 5, "C", HAlign::Left},
    {false, "نام استان", 121, 42.5, 11.6, 5, "C", HAlign::Left},
    {false, "كد گله", 94, 42.5, 7.9, 5, "C", HAlign::Left},
    {false, "نام گاوداري", 58, 42.5, 14.4, 5, "C", HAlign::Left},
    {false, "نام شهرستان", 13, 42.5, 16.1, 5, "C", HAlign::Left},
    {true, "كد استان", 147, 49.5, 12, 5.3, "V", HAlign::Center},
    {true, "نام استان", 111, 49.5, 30, 5.3, "V", HAlign::Center},
    {true, "كد گله", 92, 49.5, 13, 5.3, "V", HAlign::Center},
    {true, "نام گاوداري", 43, 49.5, 42, 5.3, "V", HAlign::Center},
    {true, "نام شهرستان", 6, 49.5, 30, 5.3, "V", HAlign::Center},
    {false, "(2) مشخصات گوساله", 164, 56, 26, 15, "S", HAlign::Right},
    {false, "بدن", 148, 56.5, 11, 5, "C", HAlign::Center},
    {false, "گوش ف", 126, 57, 16, 5, "C", HAlign::Center},
    {false, "گوش پ", 109, 57, 16, 5, "C", HAlign::Center},
    {false, "تاريخ تولد", 82, 57, 21, 5, "C", HAlign::Center},
    {false, "نام گوساله", 54, 57, 21, 5, "C", HAlign::Center},
    {false, "شماره گل", 29, 57, 18, 5, "C", HAlign::Center},
    {false, "HF%", 6, 57, 15, 5, "C", HAlign::Center},
    {true, "بدن", 148, 64.6, 12, 5.3, "V", HAlign::Center},
    {true, "گوش ف", 129, 64.6, 12, 5.3, "V", HAlign::Center},
    {true, "گوش پ", 111, 64.6, 12, 5.3, "V", HAlign::Center},
    {true, "تاريخ تولد", 82, 64.6, 22, 5.3, "V", HAlign::Center},
    {true, "نام گوساله", 54, 64.6, 22, 5.3, "V", HAlign::Center},
    {true, "شماره گل", 29, 64.6, 19, 5.3, "V", HAlign::Center},
    {true, "HFگوساله", 6, 64.6, 16, 5.3, "V", HAlign::Center},
    {false, "(3) وضعيت گوساله", 164, 71, 26, 15, "S", HAlign::Right},
    {false, "نحوه تولد", 142, 72, 18, 5, "C", HAlign::Right},
    {true, "نحوه تولد", 101, 72.1, 33, 5.3, "V", HAlign::Center},
    {false, "جنس گوساله", 142, 79, 18, 5, "C", HAlign::Right},
    {false, "وزن تولد", 41, 79, 12, 5, "C", HAlign::Right},
    {true, "جنس گوساله", 101, 79.1, 33, 5.3, "V", HAlign::Center},
    {true, "وزن", 23, 79.1, 17, 5.3, "V", HAlign::Center},
    {false, "كيلوگرم", 9, 79, 13, 5, "C", HAlign::Center},
    {false, "(4) مشخصات پدر", 164, 86, 26, 15, "S", HAlign::Right},
    {false, "نام", 121, 87, 38, 5, "C", HAlign::Center},
    {false, "ثبت داخلي", 81, 87, 36, 5, "C", HAlign::Center},
    {false, "ثبت خارجي", 41, 87, 36, 5, "C", HAlign::Center},
    {false, "HF %", 5, 87, 32, 5, "C", HAlign::Center},
    {true, "نام", 122, 94.6, 38, 5.3, "V", HAlign::Center},
    {true, "ثبت داخلي", 81, 94.6, 36, 5.3, "V", HAlign::Center},
    {true, "ثبت خارجي", 41, 94.6, 36, 5.3, "V", HAlign::Center},
    {true, "HFپدر", 5, 94.6, 32, 5.3, "V", HAlign::Center},
    {false, "(5) مشخصات مادر", 164, 101, 26, 15, "S", HAlign::Right},
    {false, "بدن", 148, 101.5, 11, 5, "C", HAlign::Center},
    {false, "گوش ف", 131, 102, 11, 5, "C", HAlign::Center},
    {false, "گوش پ", 111, 102, 11, 5, "C", HAlign::Center},
    {false, "شماره ثبت", 82, 102, 21, 5, "C", HAlign::Center},
    {false, "نام مادر", 52, 102, 21, 5, "C", HAlign::Center},
    {false, "دوره زايش", 27, 102, 15, 5, "C", HAlign::Center},
    {false, "HF%", 6, 102, 15, 5, "C", HAlign::Center},
    {true, "بدن مادر تني", 148, 109.6, 12, 5.3, "V", HAlign::Center},
    {true, "گوش ف مادر تني", 131, 109.6, 12, 5.3, "V", HAlign::Center},
    {true, "گوش پ مادر تني", 111, 109.6, 12, 5.3, "V", HAlign::Center},
    {true, "ثبت مادر تني", 82, 109.6, 22, 5.3, "V", HAlign::Center},
    {true, "نام گل مادر تني", 60, 109.6, 18, 5.3, "V", HAlign::Center},
    {true, "شماره گل مادر تني", 45, 109.6, 14, 5.3, "V", HAlign::Center},
    {true, "دوره زايش", 27, 109.6, 15, 5.3, "V", HAlign::Center},
    {true, "HFمادر تني", 6, 109.6, 16, 5.3, "V", HAlign::Center},
    {false, "(6) مشخصات نامادري", 164, 116, 26, 15, "S", HAlign::Right},
    {false, "بدن", 148, 116.5, 11, 5, "C", HAlign::Center},
    {false, "گوش ف", 131, 117, 11, 5, "C", HAlign::Center},
    {false, "گوش پ", 111, 117, 11, 5, "C", HAlign::Center},
    {false, "شماره ثبت", 82, 117, 21, 5, "C", HAlign::Center},
    {false, "نام مادر", 18, 117, 40, 5, "C", HAlign::Center},
    {true, "بدن مادر ناتني", 148, 124.6, 12, 5.3, "V", HAlign::Center},
    {true, "گوش ف مادر ناتني", 131, 124.6, 12, 5.3, "V", HAlign::Center},
    {true, "گوش پ مادر ناتني", 111, 124.6, 12, 5.3, "V", HAlign::Center},
    {true, "ثبت مادر ناتني", 82, 124.6, 22, 5.3, "V", HAlign::Center},
    {true, "نام گل مادر ناتني", 18, 124.6, 40, 5.3, "V", HAlign::Center},
    {false, "(7) تلقيح هاي انجام يافته", 164, 131, 26, 24, "S", HAlign::Right},
    {true, "اسپرم تلقيح 1", 125, 133.6, 32, 5.3, "V", HAlign::Center},
    {true, "اسپرم تلقيح 2", 85, 134, 32, 5.3, "V", HAlign::Center},
    {true, "اسپرم تلقيح 3", 45, 134, 32, 5.3, "V", HAlign::Center},
    {true, "نوع منجر به باروري", 4.5, 134, 32, 5.3, "V", HAlign::Center},
    {true, "نوع تلقيح  1", 125, 141, 32, 5.3, "V", HAlign::Center},
    {true, "نوع تلقيح  2", 85, 141, 32, 5.3, "V", HAlign::Center},
    {true, "نوع تلقيح  3", 45, 141, 32, 5.3, "V", HAlign::Center},
    {true, "تاريخ  تلقيح 1", 125, 148, 32, 5.3, "V", HAlign::Center},
    {true, "تاريخ  تلقيح 2", 85, 148, 32, 5.3, "V", HAlign::Center},
    {true, "تاريخ  تلقيح 3", 45, 148, 32, 5.3, "V", HAlign::Center},
    {true, "تاريخ منجر به باروري", 4.5, 148, 32, 5.3, "V", HAlign::Center},
    {false, "(8) نوع باروري", 164, 155, 26, 9, "S", HAlign::Right},
    {true, "نوع باروري", 125, 157, 35, 5.3, "V", HAlign::Center},
    {false, "(9) چگونگي زايمان مادر يا نامادري", 164, 164, 26, 11, "S", HAlign::Right},
    {true, "چگونگي زايمان", 93, 167, 67, 5.3, "V", HAlign::Right},
    {true, "كد نحوه زايش", 73, 167, 11, 5.3, "V", HAlign::Center},
    {false, "رنگ لكه ها", 164, 238, 23, 5, "C", HAlign::Right},
    {true, "رنگ لكه ها", 124, 238, 35, 5.3, "V", HAlign::Center},
};

TextStyle styleFor(const QString& name) {
    return name == QLatin1String("V") ? valueStyle() : name == QLatin1String("S") ? sectionTitleStyle() : captionStyle();
}

bool near(double a, double b) { return std::abs(a - b) < 1e-9; }

bool sameRect(const QRectF& r, double x, double y, double w, double h) {
    return near(r.x(), x) && near(r.y(), y) && near(r.width(), w) && near(r.height(), h);
}

const Element* find(const CertificateLayout& layout, ElementKind kind, const QString& text, double x, double y) {
    for (const Element& e : layout.elements) {
        const QString& t = kind == ElementKind::Field || kind == ElementKind::Picture ? e.column : e.text;
        if (e.kind == kind && t == text && near(e.rect.x(), x) && near(e.rect.y(), y)) return &e;
    }
    return nullptr;
}

TEST(CertificateLayout, EveryCaptionValueAndTitleIsWhereTheFormPutsIt) {
    const CertificateLayout layout = builtinCertificateLayout();
    for (const Expected& row : kExpected) {
        const QString text = QString::fromUtf8(row.text);
        SCOPED_TRACE(text.toStdString() + " at " + std::to_string(row.x) + "," + std::to_string(row.y));
        const Element* e = find(layout, row.field ? ElementKind::Field : ElementKind::Text, text, row.x, row.y);
        ASSERT_NE(e, nullptr);
        EXPECT_TRUE(sameRect(e->rect, row.x, row.y, row.w, row.h));
        EXPECT_EQ(e->styleName, QString::fromLatin1(row.style));
        TextStyle style = styleFor(e->styleName);
        style.hAlign = row.align;
        EXPECT_EQ(e->style, style);
    }
}

TEST(CertificateLayout, ValueCellsNameRealColumnsWithTheirDoubleBlanks) {
    QStringList columns;
    for (const char* c : schema::kRecordColumns) columns << QString::fromUtf8(c);
    int doubleBlank = 0;
    for (const Element& e : builtinCertificateLayout().elements) {
        if (e.kind != ElementKind::Field && e.kind != ElementKind::Picture) continue;
        EXPECT_TRUE(columns.contains(e.column)) << e.column.toStdString();
        if (e.column.contains(QLatin1String("  "))) ++doubleBlank;
    }
    EXPECT_EQ(doubleBlank, 6);  // the three insemination types and dates
}

TEST(CertificateLayout, StylesMatchTheForm) {
    const TextStyle c = captionStyle(), v = valueStyle(), s = sectionTitleStyle();
    EXPECT_EQ(c.font, QLatin1String("Times New Roman"));
    EXPECT_TRUE(c.bold && v.bold && s.bold);
    EXPECT_EQ(c.pointSize, 10);
    EXPECT_EQ(v.pointSize, 10);
    EXPECT_EQ(s.pointSize, 9);
    EXPECT_FALSE(c.fill.isValid());
    EXPECT_EQ(v.fill, QColor(0xE6, 0xE6, 0xE6));
    EXPECT_EQ(s.fill, QColor(0xCC, 0xFF, 0xCC));
    EXPECT_EQ(s.hAlign, HAlign::Right);
    // Only values read right to left; captions and titles keep the order they are written in.
    EXPECT_EQ(v.direction, TextDirection::RightToLeft);
    EXPECT_EQ(c.direction, TextDirection::Natural);
    EXPECT_EQ(s.direction, TextDirection::Natural);
}

TEST(CertificateLayout, HeaderLinesAndRegistrationBox) {
    const CertificateLayout layout = builtinCertificateLayout();
    struct Header {
        const char* text;
        double x, y, w, h, size;
    };
    const Header headers[] = {
        {"redaz oviv azodeze", 74, 1, 29, 7, 10},
        {"معاونت امور دام", 73, 8, 30, 9, 14},
        {"zida dovez ovev adi vazo", 59, 17, 55, 9.6, 16},
        {"شناسنامه رسمي گاوهاي هلشتاين ايران", 38, 24, 111, 13, 20},
    };
    for (const Header& h : headers) {
        const Element* e = find(layout, ElementKind::Text, QString::fromUtf8(h.text), h.x, h.y);
        ASSERT_NE(e, nullptr) << h.text;
        EXPECT_TRUE(sameRect(e->rect, h.x, h.y, h.w, h.h)) << h.text;
        EXPECT_EQ(e->style.font, QLatin1String("Titr"));
        EXPECT_TRUE(e->style.bold);
        EXPECT_EQ(e->style.pointSize, h.size);
    }
    EXPECT_EQ(find(layout, ElementKind::Text, QStringLiteral("شناسنامه رسمي گاوهاي هلشتاين ايران"), 38, 24)->style.color,
              QColor(0xE6, 0, 0));

    const Element* caption = find(layout, ElementKind::Text, QStringLiteral("شماره ثبت"), 160.9, 7);
    ASSERT_NE(caption, nullptr);
    EXPECT_TRUE(sameRect(caption->rect, 160.9, 7, 16, 5));
    const Element* box = find(layout, ElementKind::Rect, QString(), 148, 13);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(sameRect(box->rect, 148, 13, 42, 10));
    EXPECT_EQ(box->fill, QColor(0xED, 0xEC, 0xE9));
    const Element* number = find(layout, ElementKind::Field, QStringLiteral("شماره ثبت"), 150.6, 13.3);
    ASSERT_NE(number, nullptr);
    EXPECT_TRUE(sameRect(number->rect, 150.6, 13.3, 40, 10));
    EXPECT_EQ(number->style.pointSize, 20);
    EXPECT_FALSE(number->style.bold);
    EXPECT_EQ(number->style.hAlign, HAlign::Center);
    EXPECT_EQ(number->style.vAlign, VAlign::Center);
    EXPECT_EQ(number->style.direction, TextDirection::RightToLeft);
    // The box is painted before the number so the number stays visible.
    EXPECT_LT(box, number);
}

TEST(CertificateLayout, SectionFramesTitleCellsAndRules) {
    struct Section {
        double y, h;
        std::vector<double> rules;
        bool captionRule;
    };
    const Section sections[] = {
        {41, 15, {144, 108, 89, 40}, true},   {56, 15, {144, 126, 108, 79, 51, 25}, true},
        {71, 15, {}, false},                  {86, 15, {119, 79, 39}, true},
        {101, 15, {144, 126, 108, 79, 44, 25}, true}, {116, 15, {144, 126, 108, 79}, true},
        {131, 24, {123, 83, 43}, false},      {155, 9, {}, false},
        {164, 11, {}, false},
    };
    const CertificateLayout layout = builtinCertificateLayout();
    auto hasLine = [&](double x1, double y1, double x2, double y2) {
        return std::any_of(layout.elements.begin(), layout.elements.end(), [&](const Element& e) {
            return e.kind == ElementKind::Line && near(e.rect.left(), x1) && near(e.rect.top(), y1) &&
                   near(e.rect.right(), x2) && near(e.rect.bottom(), y2);
        });
    };
    auto verticalRules = [&](double y, double h) {
        int n = 0;
        for (const Element& e : layout.elements)
            n += e.kind == ElementKind::Line && near(e.rect.top(), y) && near(e.rect.bottom(), y + h) &&
                 near(e.rect.left(), e.rect.right());
        return n;
    };
    for (const Section& s : sections) {
        SCOPED_TRACE(s.y);
        const Element* frame = find(layout, ElementKind::Rect, QString(), 3, s.y);
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(sameRect(frame->rect, 3, s.y, 187, s.h));
        EXPECT_TRUE(frame->outline);
        const Element* title = find(layout, ElementKind::Rect, QString(), 164, s.y);
        ASSERT_NE(title, nullptr);
        EXPECT_TRUE(sameRect(title->rect, 164, s.y, 26, s.h));
        EXPECT_EQ(title->fill, QColor(0xCC, 0xFF, 0xCC));
        EXPECT_EQ(hasLine(3, s.y + 7, 164, s.y + 7), s.captionRule);
        for (double x : s.rules) EXPECT_TRUE(hasLine(x, s.y, x, s.y + s.h)) << x;
        EXPECT_EQ(verticalRules(s.y, s.h), int(s.rules.size()));
    }
}

TEST(CertificateLayout, InseminationMarksPhotosAndPatchRow) {
    const CertificateLayout layout = builtinCertificateLayout();
    const QColor lavender(0xEA, 0xEA, 0xFF);
    const double diamonds[][2] = {{159, 160.3}, {118, 119.3}, {78, 79.3}};
    for (int i = 0; i < 3; ++i) {
        const Element* d = find(layout, ElementKind::Diamond, QString(), diamonds[i][0], 131);
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(sameRect(d->rect, diamonds[i][0], 131, 5, 24));
        EXPECT_EQ(d->fill, lavender);
        const Element* n = find(layout, ElementKind::Text, QString::number(i + 1), diamonds[i][1], 140);
        ASSERT_NE(n, nullptr);
        EXPECT_NEAR(n->rect.width(), 2.8, 1e-9);
    }
    const Element* circle = find(layout, ElementKind::Ellipse, QString(), 34, 140);
    ASSERT_NE(circle, nullptr);
    EXPECT_TRUE(sameRect(circle->rect, 34, 140, 7, 7));
    const Element* count = find(layout, ElementKind::Field, QStringLiteral("تعداد تلقيح"), 33.8, 140.8);
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->style.font, QLatin1String("Tahoma"));
    EXPECT_FALSE(count->style.bold);
    const Element* led = find(layout, ElementKind::Text, QStringLiteral("منجر به باروري"), 6.5, 141);
    ASSERT_NE(led, nullptr);
    EXPECT_EQ(led->style.fill, QColor(Qt::white));

    const Element* row = find(layout, ElementKind::Rect, QString(), 3, 175);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(sameRect(row->rect, 3, 175, 192.6, 60));
    EXPECT_EQ(row->fill, lavender);
    const std::pair<const char*, double> photos[] = {{"عكس 1", 132.4}, {"عكس 2", 68.9}, {"عكس 3", 3.9}};
    for (const auto& [column, x] : photos) {
        const Element* p = find(layout, ElementKind::Picture, QString::fromUtf8(column), x, 175.8);
        ASSERT_NE(p, nullptr) << column;
        EXPECT_TRUE(sameRect(p->rect, x, 175.8, 62, 59));
    }

    const Element* patch = find(layout, ElementKind::Rect, QString(), 2, 236);
    ASSERT_NE(patch, nullptr);
    EXPECT_TRUE(sameRect(patch->rect, 2, 236, 187, 9));
    const Element* patchTitle = find(layout, ElementKind::Rect, QString(), 163, 236);
    ASSERT_NE(patchTitle, nullptr);
    EXPECT_TRUE(sameRect(patchTitle->rect, 163, 236, 26, 9));
    const Element* union_ = find(layout, ElementKind::Text,
                                 QStringLiteral("صدور شناسنامه توسط rarudev erad evud ozorudiz eveza rivav"), 3, 238);
    ASSERT_NE(union_, nullptr);
    EXPECT_EQ(union_->style.hAlign, HAlign::Left);
    EXPECT_NEAR(union_->rect.width(), 110, 1e-9);
}

TEST(CertificateLayout, SignatureLineCarriesThePrintDateBetweenItsBlanks) {
    const QString expected = QStringLiteral("امضاء دامدار") + QString(26, QLatin1Char(' ')) +
                             QStringLiteral("تاريخ صدور[frxDBDataset1.\"تاريخ چاپ\"]    ") +
                             QStringLiteral("ثبت مشخصات و دفتر انساب zida dovez ovev adi vazo");
    const CertificateLayout layout = builtinCertificateLayout();
    const Element* line = find(layout, ElementKind::Text, expected, 2, 246);
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(sameRect(line->rect, 2, 246, 188, 5));
    EXPECT_EQ(line->style.hAlign, HAlign::Right);
}

TEST(CertificateLayout, PageIsLetterWithItsMarginsAndBand) {
    const PageSetup page = builtinCertificateLayout().page;
    EXPECT_EQ(page.width, 215.9);
    EXPECT_EQ(page.height, 279.4);
    EXPECT_EQ(page.marginLeft, 5);
    EXPECT_EQ(page.marginRight, 15);
    EXPECT_EQ(page.marginTop, 10);
    EXPECT_EQ(page.marginBottom, 10);
    EXPECT_NEAR(page.bandWidth(), 195.9, 1e-9);
    EXPECT_EQ(page.bandTop, 5);
    EXPECT_EQ(page.bandHeight, 254);
    EXPECT_TRUE(page.frame);
}

}  // namespace
}  // namespace zartav::print
