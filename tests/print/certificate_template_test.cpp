// The layout file: round trip of the built-in layout, files that must be refused, and what
// Print falls back to.
#include "message_recorder.h"
#include "print/certificate_layout.h"
#include "print/certificate_template.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace zartav::print {
namespace {

QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("Center.Fr3"));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
    return path;
}

TEST(CertificateTemplate, BuiltInLayoutSurvivesTheFileForm) {
    const CertificateLayout builtin = builtinCertificateLayout();
    const QByteArray xml = serializeCertificateLayout(builtin);
    QString error;
    const auto back = parseCertificateLayout(xml, &error);
    ASSERT_TRUE(back.has_value()) << error.toStdString();
    EXPECT_EQ(*back, builtin);  // blanks of the signature line and double-blank columns included
    EXPECT_TRUE(xml.contains("column=\"نوع تلقيح  1\""));
}

TEST(CertificateTemplate, AHandWrittenLayoutIsRead) {
    const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<certificate-layout version="1">
  <page margin-left="8" frame="no"/>
  <style name="C" size="12"/>
  <rect x="1" y="2" w="3" h="4" fill="#ff0000" outline="no"/>
  <line x1="0" y1="7" x2="100" y2="7"/>
  <text x="10" y="20" w="30" h="5" style="C" align="left">  نام  </text>
  <field x="10" y="30" w="30" h="5.3" style="V" column="نام" color="#0000ff"/>
  <picture x="0" y="40" w="62" h="59" column="عكس 1"/>
</certificate-layout>)";
    QString error;
    const auto layout = parseCertificateLayout(xml, &error);
    ASSERT_TRUE(layout.has_value()) << error.toStdString();
    EXPECT_EQ(layout->page.marginLeft, 8);
    EXPECT_EQ(layout->page.marginRight, 15);  // unspecified: the usual page
    EXPECT_FALSE(layout->page.frame);
    ASSERT_EQ(layout->elements.size(), 5);
    const Element& text = layout->elements[2];
    EXPECT_EQ(text.text, QStringLiteral("  نام  "));
    EXPECT_EQ(text.style.pointSize, 12);  // the file's own C
    EXPECT_TRUE(text.style.bold);
    EXPECT_EQ(text.style.hAlign, HAlign::Left);
    const Element& field = layout->elements[3];
    EXPECT_EQ(field.column, QStringLiteral("نام"));
    EXPECT_EQ(field.style.color, QColor(Qt::blue));
    EXPECT_EQ(field.style.fill, QColor(0xE6, 0xE6, 0xE6));
    EXPECT_EQ(layout->elements[0].fill, QColor(Qt::red));
    EXPECT_FALSE(layout->elements[0].outline);
    EXPECT_EQ(layout->elements[1].rect, QRectF(QPointF(0, 7), QPointF(100, 7)));
    EXPECT_FALSE(layout->elements[4].outline);
}

TEST(CertificateTemplate, UnusableFilesAreRefused) {
    const char* cases[] = {
        "",
        "not xml at all",
        "<other/>",
        "<certificate-layout version=\"2\"><rect x=\"1\" y=\"1\" w=\"1\" h=\"1\"/></certificate-layout>",
        "<certificate-layout version=\"1\"></certificate-layout>",
        "<certificate-layout version=\"1\"><rect x=\"1\" y=\"1\" w=\"1\" h=\"1\"/>",
        "<certificate-layout version=\"1\"><rect x=\"a\" y=\"1\" w=\"1\" h=\"1\"/></certificate-layout>",
        "<certificate-layout version=\"1\"><rect x=\"1\" y=\"1\" w=\"1\"/></certificate-layout>",
        "<certificate-layout version=\"1\"><rect x=\"1\" y=\"1\" w=\"-1\" h=\"1\"/></certificate-layout>",
        "<certificate-layout version=\"1\"><circle x=\"1\" y=\"1\" w=\"1\" h=\"1\"/></certificate-layout>",
        "<certificate-layout version=\"1\"><text x=\"1\" y=\"1\" w=\"1\" h=\"1\" style=\"Q\">a</text></certificate-layout>",
        "<certificate-layout version=\"1\"><text x=\"1\" y=\"1\" w=\"1\" h=\"1\" align=\"middle\">a</text></certificate-layout>",
        "<certificate-layout version=\"1\"><text x=\"1\" y=\"1\" w=\"1\" h=\"1\" color=\"greenish\">a</text></certificate-layout>",
        "<certificate-layout version=\"1\"><text x=\"1\" y=\"1\" w=\"1\" h=\"1\" size=\"0\">a</text></certificate-layout>",
        "<certificate-layout version=\"1\"><field x=\"1\" y=\"1\" w=\"1\" h=\"1\"/></certificate-layout>",
        "<certificate-layout version=\"1\"><picture x=\"1\" y=\"1\" w=\"1\" h=\"1\"/></certificate-layout>",
        "<certificate-layout version=\"1\"><page width=\"0\"/><rect x=\"1\" y=\"1\" w=\"1\" h=\"1\"/></certificate-layout>",
        "<certificate-layout version=\"1\"><page frame=\"maybe\"/><rect x=\"1\" y=\"1\" w=\"1\" h=\"1\"/></certificate-layout>",
        "<certificate-layout version=\"1\"><page width=\"5000\" height=\"5000\"/><rect x=\"1\" y=\"1\" w=\"1\" h=\"1\"/></certificate-layout>",
        "<certificate-layout version=\"1\"><page band-height=\"400\"/><rect x=\"1\" y=\"1\" w=\"1\" h=\"1\"/></certificate-layout>",
    };
    for (const char* xml : cases) {
        QString error;
        EXPECT_FALSE(parseCertificateLayout(QByteArray(xml), &error).has_value()) << xml;
        EXPECT_FALSE(error.isEmpty()) << xml;
    }
}

TEST(CertificateTemplate, FilesTheUserCanPutRightSayWhatIsWrong) {
    QTemporaryDir dir;
    const QString head = QStringLiteral("<certificate-layout version=\"1\">\n");
    const struct {
        const char* what;
        QString body;
        TemplateStatus status;
        QString reason;
    } cases[] = {
        {"one blank where the column has two",
         QStringLiteral("<field x=\"1\" y=\"1\" w=\"9\" h=\"5\" column=\"نوع تلقيح 1\"/>"), TemplateStatus::Broken,
         QStringLiteral("ستون «نوع تلقيح 1» در جدول شناسنامه ها نيست.")},
        {"a reference in a text", QStringLiteral("<text x=\"1\" y=\"1\" w=\"9\" h=\"5\">تاريخ [frxDBDataset1.\"تاريخ\"]</text>"),
         TemplateStatus::Broken, QStringLiteral("ستون «تاريخ» در جدول شناسنامه ها نيست.")},
        {"a picture of a text column", QStringLiteral("<picture x=\"1\" y=\"1\" w=\"9\" h=\"5\" column=\"نام\"/>"),
         TemplateStatus::Broken, QStringLiteral("ستون «نام» عكس ندارد.")},
        {"a box past the paper's right edge", QStringLiteral("<rect x=\"1\" y=\"1\" w=\"1\" h=\"1\"/>\n<rect x=\"150\" y=\"1\" w=\"90\" h=\"5\"/>"),
         TemplateStatus::Broken, QStringLiteral("اندازه هاي سطر 3 فايل از صفحه بيرون مي زند.")},
        {"a column in other letter case is the column", QStringLiteral("<field x=\"1\" y=\"1\" w=\"9\" h=\"5\" column=\"hfپدر\"/>"),
         TemplateStatus::Loaded, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadedTemplate loaded = loadCertificateTemplate(writeFile(dir, (head + c.body + "\n</certificate-layout>").toUtf8()));
        EXPECT_EQ(loaded.status, c.status) << loaded.error.toStdString();
        EXPECT_EQ(loaded.farsiReason, c.reason);
        if (c.status == TemplateStatus::Loaded) {
            EXPECT_EQ(loaded.layout.elements.value(0).column, QStringLiteral("HFپدر"));
        }
    }
    // Another program's XML is not ours at all; a file that is not XML is a broken one of ours.
    EXPECT_EQ(loadCertificateTemplate(writeFile(dir, "<?xml version=\"1.0\"?><report><page/></report>")).status,
              TemplateStatus::Foreign);
    EXPECT_EQ(loadCertificateTemplate(writeFile(dir, "not xml at all")).status, TemplateStatus::Broken);
}

TEST(CertificateTemplate, PrintUsesTheBuiltInLayoutWhenTheFileIsMissingOrBroken) {
    QTemporaryDir dir;
    test::MessageRecorder messages;
    const CertificateLayout builtin = builtinCertificateLayout();

    // Missing: the built-in layout, silently.
    const QString missing = dir.filePath(QStringLiteral("Center.Fr3"));
    EXPECT_EQ(loadCertificateTemplate(missing).status, TemplateStatus::Missing);
    EXPECT_EQ(certificateLayoutForPrint(missing), builtin);
    EXPECT_EQ(certificateLayoutForPrint(QString()), builtin);
    EXPECT_TRUE(messages.boxes().isEmpty());

    // Broken: the built-in layout and one message naming the file.
    const QString broken = writeFile(dir, "<certificate-layout version=\"1\"><rect x=");
    EXPECT_EQ(loadCertificateTemplate(broken).status, TemplateStatus::Broken);
    EXPECT_EQ(certificateLayoutForPrint(broken), builtin);
    ASSERT_EQ(messages.boxes().size(), 1);  // reading alone shows nothing; Print shows one
    EXPECT_EQ(messages.boxes()[0].caption, QStringLiteral("پيام"));
    EXPECT_EQ(messages.boxes()[0].text,
              QStringLiteral("فايل قالب شناسنامه خوانده نشد؛ شناسنامه با قالب خود برنامه چاپ مي شود.\n") +
                  QChar(0x2068) + broken + QChar(0x2069));
    messages.clear();

    // A good file is read again at every Print: a change shows at the next one.
    CertificateLayout changed = builtin;
    changed.elements.removeLast();
    const QString good = writeFile(dir, serializeCertificateLayout(changed));
    EXPECT_EQ(certificateLayoutForPrint(good), changed);
    changed.elements.removeLast();
    writeFile(dir, serializeCertificateLayout(changed));
    EXPECT_EQ(certificateLayoutForPrint(good), changed);
    EXPECT_TRUE(messages.boxes().isEmpty());
}

}  // namespace
}  // namespace zartav::print
