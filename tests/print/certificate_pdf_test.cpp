// Certificates through zartav-cli into real PDF files, read back with poppler's tools.
#include "certificate_fixture.h"
#include "print/certificate_layout.h"
#include "print/certificate_template.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace zartav::print {
namespace {

using sample::col;

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

Outcome run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

Outcome cli(const QStringList& args) { return run(QStringLiteral(ZARTAV_CLI), args); }

// A word of `pdftotext -bbox` output with its box in millimetres from the paper's corner.
struct Word {
    QString text;
    QRectF mm;
};

QList<Word> words(const QString& pdf, int page = 1) {
    const Outcome r = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page),
                                                   QStringLiteral("-l"), QString::number(page), pdf, QStringLiteral("-")});
    QList<Word> out;
    QXmlStreamReader xml(r.out);
    const double mmPerPt = 25.4 / 72;
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (xml.isStartElement() && xml.name() == QLatin1String("word")) {
            const auto a = xml.attributes();
            const QRectF box(QPointF(a.value("xMin").toDouble(), a.value("yMin").toDouble()),
                             QPointF(a.value("xMax").toDouble(), a.value("yMax").toDouble()));
            out << Word{xml.readElementText(), QRectF(box.topLeft() * mmPerPt, box.size() * mmPerPt)};
        } else {
            xml.readNext();
        }
        if (xml.hasError()) break;
    }
    return out;
}

// The element's cell on the paper, in millimetres.
QRectF onPaper(const Element& e, const PageSetup& page) {
    return e.rect.translated(page.marginLeft, page.marginTop + page.bandTop);
}

class CertificatePdf : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        db = dir.filePath(QStringLiteral("Data.db"));
        CertificateRecord empty;
        empty.values.insert(col("كد گله"), QStringLiteral("1207"));
        empty.values.insert(col("تاريخ چاپ"), QStringLiteral("1399/12/30"));
        CertificateRecord other = sample::realisticRecord();
        other.values.insert(col("كد گله"), QStringLiteral("88"));
        other.values.insert(col("شماره ثبت"), QStringLiteral("IR0000000002"));
        ids = sample::writeDatabase(db, {sample::realisticRecord(), empty, other});
        ASSERT_EQ(ids.size(), 3);
    }
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir;
    QString db;
    QList<qint64> ids;
};

TEST_F(CertificatePdf, EveryValueLandsInItsCellAndThePhotosAreEmbedded) {
    const QString pdf = path("one.pdf");
    const Outcome r = cli({"certificate", "--db", db, "--id", QString::number(ids[0]), "--pdf", pdf});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    if (const QByteArray keep = qgetenv("ZARTAV_KEEP_PDF"); !keep.isEmpty()) {
        QFile::remove(QString::fromLocal8Bit(keep));
        QFile::copy(pdf, QString::fromLocal8Bit(keep));
    }

    const QList<Word> found = words(pdf);
    ASSERT_FALSE(found.isEmpty());
    // Values made of digits and Latin letters come back from the PDF verbatim: each must sit
    // inside its own cell.
    const CertificateLayout layout = builtinCertificateLayout();
    const QHash<QString, QString> values = sample::realisticValues();
    static const QRegularExpression latin(QStringLiteral("^[0-9A-Za-z/]+$"));
    int checked = 0;
    for (const Element& e : layout.elements) {
        if (e.kind != ElementKind::Field) continue;
        const QString value = values.value(e.column);
        if (!latin.match(value).hasMatch()) continue;
        const QRectF cell = onPaper(e, layout.page).adjusted(-0.5, -0.5, 0.5, 0.5);
        const bool inCell = std::any_of(found.begin(), found.end(), [&](const Word& w) {
            return w.text == value && cell.contains(w.mm.center());
        });
        EXPECT_TRUE(inCell) << e.column.toStdString() << " = " << value.toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 25);

    // The issue date on the signature line is the record's print date.
    const QRectF signature(2 + 5, 246 + 15, 188, 5);
    EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const Word& w) {
        return w.text.contains(QLatin1String("1403/03/01")) && signature.contains(w.mm.center());
    }));

    const Outcome images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    ASSERT_EQ(images.exitCode, 0);
    EXPECT_EQ(images.out.count(QRegularExpression(QStringLiteral("\\n\\s*1\\s+\\d+\\s+image"))), 3) << images.out.toStdString();
}

TEST_F(CertificatePdf, SelectionsGiveOnePagePerRecordInIdOrder) {
    struct Case {
        QStringList selection;
        int pages;
        QStringList numbersInOrder;
    };
    const Case cases[] = {
        {{"--all"}, 3, {"IR9812345678", "IR0000000002"}},
        {{"--herd", "1207"}, 2, {"IR9812345678"}},
        {{"--herd", "88"}, 1, {"IR0000000002"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection.join(' ').toStdString());
        const QString pdf = path("sel.pdf");
        QFile::remove(pdf);
        const Outcome r = cli(QStringList{"certificate", "--db", db, "--pdf", pdf} + c.selection);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const Outcome info = run(QStringLiteral("pdfinfo"), {pdf});
        EXPECT_TRUE(info.out.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(c.pages))));
        const Outcome text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        qsizetype at = 0;
        for (const QString& n : c.numbersInOrder) {
            at = text.out.indexOf(n, at);
            EXPECT_GE(at, 0) << n.toStdString();
        }
    }
}

TEST_F(CertificatePdf, NothingChosenFailsWithoutAFile) {
    const QString pdf = path("none.pdf");
    const QStringList selections[] = {{"--id", "999"}, {"--herd", "5"}, {"--id", "0"}};
    for (const QStringList& s : selections) {
        const Outcome r = cli(QStringList{"certificate", "--db", db, "--pdf", pdf} + s);
        EXPECT_EQ(r.exitCode, 1) << s.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_FALSE(QFile::exists(pdf));
    }
    // A missing database is reported, not created.
    const QString missing = path("missing.db");
    EXPECT_EQ(cli({"certificate", "--db", missing, "--all", "--pdf", pdf}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(missing));
    // Usage mistakes.
    EXPECT_EQ(cli({"certificate", "--db", db, "--pdf", pdf}).exitCode, 2);
    EXPECT_EQ(cli({"certificate", "--db", db, "--all", "--id", "1", "--pdf", pdf}).exitCode, 2);
    EXPECT_EQ(cli({"certificate", "--db", db, "--id", "x", "--pdf", pdf}).exitCode, 2);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(CertificatePdf, EmptyColumnsPrintEmptyCells) {
    const QString pdf = path("empty.pdf");
    ASSERT_EQ(cli({"certificate", "--db", db, "--id", QString::number(ids[1]), "--pdf", pdf}).exitCode, 0);
    const QList<Word> found = words(pdf);
    const CertificateLayout layout = builtinCertificateLayout();
    for (const Element& e : layout.elements) {
        if (e.kind != ElementKind::Field || e.column == col("كد گله")) continue;
        const QRectF cell = onPaper(e, layout.page);
        for (const Word& w : found)
            EXPECT_FALSE(cell.contains(w.mm.center())) << e.column.toStdString() << ": " << w.text.toStdString();
    }
    const Outcome images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    EXPECT_FALSE(images.out.contains(QLatin1String("image")) && images.out.count('\n') > 2);
}

TEST_F(CertificatePdf, TemplateCommandWritesALayoutTheProgramReadsBack) {
    const QString file = path("Center.Fr3");
    ASSERT_EQ(cli({"template", file}).exitCode, 0);
    const LoadedTemplate loaded = loadCertificateTemplate(file);
    EXPECT_EQ(loaded.status, TemplateStatus::Loaded) << loaded.error.toStdString();
    EXPECT_EQ(loaded.layout, builtinCertificateLayout());
    // The certificate command uses a given layout file, and refuses a broken one.
    const QString pdf = path("t.pdf");
    EXPECT_EQ(cli({"certificate", "--db", db, "--all", "--pdf", pdf, "--template", file}).exitCode, 0);
    QFile broken(path("broken.Fr3"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<certificate-layout version=\"1\"><text x=\"1\"");
    broken.close();
    QFile::remove(pdf);
    EXPECT_EQ(cli({"certificate", "--db", db, "--all", "--pdf", pdf, "--template", broken.fileName()}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(pdf));
}

}  // namespace
}  // namespace zartav::print
