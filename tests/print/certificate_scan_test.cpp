// A certificate's way from the printer to a buyer's scanner or phone and back to a verdict, run
// through zartav-cli as an office would.
#include "certificate_fixture.h"
#include "cli_run.h"
#include "pinned.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTransform>

using namespace zartav;
using test::runCli;

namespace {

// What verify says in Farsi holds no English word: each fact's caption and the word before a value
// now stored, and the verdict's Farsi line after the English one. The values are the code's own.
void expectFarsiLinesWithoutEnglish(const QString& out) {
    const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    const QRegularExpression now(QStringLiteral("\\((\\S+) "));
    bool verdict = false;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("verdict: "))) {
            verdict = true;
        } else if (verdict) {
            EXPECT_FALSE(line.contains(latin)) << line.toStdString();
        } else {
            EXPECT_FALSE(line.section(QStringLiteral(": "), 0, 0).contains(latin)) << line.toStdString();
            const QRegularExpressionMatch word = now.match(line);
            if (word.hasMatch()) {
                EXPECT_FALSE(word.captured(1).contains(latin)) << line.toStdString();
            }
        }
    }
}

class ScanTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        db = dir.filePath(QStringLiteral("Data.db"));
        ids = print::sample::writeDatabase(db, {print::sample::realisticRecord()});
        ASSERT_EQ(ids.size(), 1);
        const test::CliRun keygen = runCli({"keygen", "--db", db, "--key", path("office.key")});
        ASSERT_EQ(keygen.status, 0) << keygen.err.toStdString();
    }

    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    // Prints the record to `pdf` and answers what zartav-cli said on standard output.
    QString printTo(const char* pdf) {
        const test::CliRun r = runCli({"certificate", "--db", db, "--id", QString::number(ids[0]), "--pdf", path(pdf),
                                       "--key", path("office.key")});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return r.out;
    }

    // The first page of a PDF as a PNG at `dpi`, through poppler's own tool.
    QImage rendered(const char* pdf, int dpi) {
        QProcess p;
        p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                              QStringLiteral("-singlefile"), path(pdf), path("page")});
        EXPECT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
        return QImage(path("page.png"));
    }

    QTemporaryDir dir;
    QString db;
    QList<qint64> ids;
};

// A phone's photo of the page: turned a little on the desk, out of focus by a pixel or two
// (each pass a 2 x 2 box blur), to be saved as a rough JPEG.
QImage photographed(const QImage& page, double degrees, int blurPasses) {
    const QImage turned = page.transformed(QTransform().rotate(degrees), Qt::SmoothTransformation);
    QImage photo(turned.size(), QImage::Format_RGB32);
    photo.fill(QColor(0x8a, 0x7a, 0x66));
    QPainter(&photo).drawImage(0, 0, turned);
    for (int i = 0; i < blurPasses; ++i) {
        for (const QPoint shift : {QPoint(1, 0), QPoint(0, 1)}) {
            const QImage before = photo.copy();
            QPainter p(&photo);
            p.setOpacity(0.5);
            p.drawImage(shift, before);
        }
    }
    return photo;
}

}  // namespace

TEST_F(ScanTest, PagesAndPhotosOfThePageVerifyGenuine) {
    printTo("one.pdf");
    const QImage page = rendered("one.pdf", 150);
    ASSERT_FALSE(page.isNull());
    struct Case {
        const char* what;
        QImage image;
        const char* format;
        int quality;
    };
    const Case cases[] = {
        {"PNG at 150 dpi", page, "PNG", -1},
        {"turned 5 degrees, blurred, JPEG quality 60", photographed(page, 5, 1), "JPEG", 60},
        {"turned the other way", photographed(page, -5, 2), "JPEG", 60},
    };
    for (const Case& c : cases) {
        const QString file = path("scan.") + QString::fromLatin1(c.format).toLower();
        ASSERT_TRUE(c.image.save(file, c.format, c.quality)) << c.what;
        const test::CliRun r = runCli({"verify", "--db", db, file});
        EXPECT_EQ(r.status, 0) << c.what << "\n" << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("IR9812345678"))) << c.what;
        expectFarsiLinesWithoutEnglish(r.out);
    }
    // The PDF itself, and offline with the public key alone.
    EXPECT_EQ(runCli({"verify", "--db", db, path("one.pdf")}).status, 0);
    EXPECT_EQ(runCli({"verify", "--public-key", path("office.key.pub"), path("one.pdf")}).status, 0);
}

namespace {

// What a tool printed on standard output; nothing when it failed.
std::optional<QByteArray> toolOutput(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return std::nullopt;
    return p.readAllStandardOutput();
}

}  // namespace

// The compact code is read by zbar's own tool as a scanner's page and a phone's photo give it,
// and by the program: a page at 150 dpi, and a photo at 200 dpi turned 5 degrees, blurred by a
// Gaussian of 2 pixels and saved as JPEG of quality 60.
TEST_F(ScanTest, ZbarAndTheProgramReadTheCodeOfAPageAndOfAPhonesPhoto) {
    printTo("one.pdf");
    const QString pdf = path("one.pdf");
    ASSERT_TRUE(toolOutput(QStringLiteral("pdftoppm"), {"-r", "150", "-png", "-singlefile", pdf, path("scan")}));
    ASSERT_TRUE(toolOutput(QStringLiteral("pdftoppm"), {"-r", "200", "-png", "-singlefile", pdf, path("page")}));
    const QString scan = path("scan.png");
    // The same page a pixel over on the scanner's grid, where zbar lost modules of three pixels.
    const QString shifted = path("shifted.png");
    ASSERT_TRUE(toolOutput(QStringLiteral("convert"), {scan, "-roll", "+1+1", shifted}));
    const QString photo = path("photo.jpg");
    ASSERT_TRUE(toolOutput(QStringLiteral("convert"), {path("page.png"), "-background", "#8a7a66", "-rotate", "5", "-gaussian-blur",
                                                       "0x2", "-quality", "60", photo}));
    for (const QString& file : {scan, shifted, photo}) {
        const QByteArray read =
            toolOutput(QStringLiteral("zbarimg"), {"-q", "--raw", "-Sdisable", "-Sqrcode.enable", file}).value_or("");
        EXPECT_TRUE(read.startsWith("ZC2:")) << file.toStdString() << ": " << read.toStdString();
        const test::CliRun r = runCli({"verify", "--db", db, file});
        EXPECT_EQ(r.status, 0) << file.toStdString() << "\n" << r.out.toStdString();
    }
}

TEST_F(ScanTest, DuplicateKeepsItsNumberAndSaysSo) {
    // The page's words as letters: the PDF holds shaped forms, which compatibility folding undoes.
    auto words = [&](const char* pdf) {
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {path(pdf), QStringLiteral("-")});
        EXPECT_TRUE(text.waitForFinished(60000));
        return QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    };
    EXPECT_TRUE(printTo("first.pdf").contains(QStringLiteral("certificate 1\n")));
    EXPECT_TRUE(printTo("again.pdf").contains(QStringLiteral("certificate 1 (duplicate)")));
    EXPECT_TRUE(words("again.pdf").contains(QStringLiteral("المثني"))) << words("again.pdf").toStdString();
    EXPECT_FALSE(words("first.pdf").contains(QStringLiteral("المثني")));
}

TEST_F(ScanTest, VerdictsAndExitStatuses) {
    printTo("one.pdf");
    // Another office: its own store and key.
    QTemporaryDir other;
    const QString otherDb = other.filePath(QStringLiteral("Data.db"));
    ASSERT_EQ(print::sample::writeDatabase(otherDb, {print::sample::realisticRecord()}).size(), 1);
    ASSERT_EQ(runCli({"keygen", "--db", otherDb, "--key", other.filePath(QStringLiteral("k"))}).status, 0);
    ASSERT_EQ(runCli({"certificate", "--db", otherDb, "--all", "--pdf", other.filePath(QStringLiteral("o.pdf")), "--key",
                      other.filePath(QStringLiteral("k"))})
                  .status,
              0);

    QFile noCode(path("blank.png"));
    QImage blank(800, 600, QImage::Format_RGB32);
    blank.fill(Qt::white);
    ASSERT_TRUE(blank.save(noCode.fileName()));
    // 144 megapixels, small on disk: refused before it is decoded.
    QImage huge(12000, 12000, QImage::Format_Mono);
    huge.fill(1);
    ASSERT_TRUE(huge.save(path("huge.png")));
    QFile notAPicture(path("notes.png"));
    ASSERT_TRUE(notAPicture.open(QIODevice::WriteOnly));
    notAPicture.write("not a picture at all");
    notAPicture.close();

    struct Case {
        const char* what;
        QStringList args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"another office's certificate", {"verify", "--db", db, other.filePath(QStringLiteral("o.pdf"))}, 4, "does not know"},
        {"a page without a code", {"verify", "--db", db, noCode.fileName()}, 6, "no readable code"},
        {"not a picture", {"verify", "--db", db, notAPicture.fileName()}, 6, "no readable code"},
        {"a huge picture", {"verify", "--db", db, path("huge.png")}, 6, "too large"},
        {"no such file", {"verify", "--db", db, path("missing.png")}, 6, "no such file"},
        {"a foreign text", {"verify", "--db", db, "--text", "WIFI:S:farm;T:WPA;P:secret;;"}, 6, "no readable code"},
        {"no file and no text", {"verify", "--db", db}, 2, ""},
        {"a store and a key", {"verify", "--db", db, "--public-key", path("office.key.pub"), path("one.pdf")}, 2, ""},
    };
    for (const Case& c : cases) {
        const test::CliRun r = runCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.says))) << c.what << "\n" << r.out.toStdString();
        expectFarsiLinesWithoutEnglish(r.out);
    }
}

namespace {

// A PDF of one page that strokes `lines` lines across it, its drawing compressed.
QByteArray endlessDrawing(int lines) {
    QByteArray drawing;
    drawing.reserve(qsizetype(lines) * 18);
    for (int i = 0; i < lines; ++i) drawing += "0 0 m 595 842 l S\n";
    const QByteArray stream = qCompress(drawing, 9).mid(4);  // the zlib stream without Qt's length
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    const QByteArray objects[] = {
        "<</Type/Catalog/Pages 2 0 R>>",
        "<</Type/Pages/Kids[3 0 R]/Count 1>>",
        "<</Type/Page/Parent 2 0 R/MediaBox[0 0 595 842]/Contents 4 0 R>>",
        "<</Length " + QByteArray::number(stream.size()) + "/Filter/FlateDecode>>stream\n" + stream + "\nendstream",
    };
    for (int i = 0; i < 4; ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 5\n0000000000 65535 f \n";
    for (const qsizetype o : offsets) pdf += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<</Size 5/Root 1 0 R>>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

}  // namespace

// What a crafted file or code could do to the one who checks it: keep verify at work, make Qt
// read other files, or write lines of its own on the terminal.
TEST_F(ScanTest, CraftedFilesAndCodesAreRefusedInTime) {
    printTo("one.pdf");
    const test::CliRun genuine = runCli({"verify", "--db", db, path("one.pdf")});
    ASSERT_EQ(genuine.status, 0);
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    const QString svg = write("scan.png", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
                                          "<image href=\"file:///etc/passwd\" width=\"10\" height=\"10\"/></svg>");
    const QString complex = write("complex.pdf", endlessDrawing(2'000'000));
    // A code of ours whose registration number holds what a terminal obeys.
    auto code = [](const QByteArray& registration) {
        return QStringLiteral("ZC1|1|%1|1403/02/14|ماده|IRN2210|IR9711223344|100|AAAAAAAAAAAAAAAAAAAAAA|1405/09/18|x||")
            .arg(QString::fromUtf8(registration));
    };
    struct Case {
        const char* what;
        QStringList args;
        const char* says;
    };
    const Case cases[] = {
        {"a drawing given as a scan", {"verify", "--db", db, svg}, "not a picture"},
        {"a PDF that draws without end", {"verify", "--db", db, complex}, "too complex"},
        {"a line feed in a fact", {"verify", "--db", db, "--text", code("IR1%0Averdict: genuine and current")}, "no readable code"},
        {"an escape in a fact", {"verify", "--db", db, "--text", code("IR1%1B[1A%1B[2K")}, "no readable code"},
        {"a right-to-left override", {"verify", "--db", db, "--text", code("IR1\u202E87")}, "no readable code"},
    };
    const test::PinnedVariable budget("ZARTAV_READ_BUDGET_MS", "500");
    for (const Case& c : cases) {
        QElapsedTimer took;
        took.start();
        const test::CliRun r = runCli(c.args);
        EXPECT_EQ(r.status, 6) << c.what << "\n" << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.says))) << c.what << "\n" << r.out.toStdString();
        EXPECT_LT(took.elapsed(), 8000) << c.what;
        EXPECT_EQ(r.out.count(QStringLiteral("verdict:")), 1) << c.what;
        for (const QChar hidden : {QChar(0x1B), QChar(0x202E)}) EXPECT_FALSE(r.out.contains(hidden)) << c.what;
    }
}

TEST_F(ScanTest, EditedAfterIssueIsSupersededNamingTheColumn) {
    printTo("one.pdf");
    {
        TDM dm;
        ASSERT_TRUE(dm.Maincon.open(db) && dm.TVascor.open() && dm.TVascor.locateId(ids[0]) && dm.TVascor.edit());
        ASSERT_TRUE(dm.TVascor.setValue(QStringLiteral("ثبت داخلي"), QStringLiteral("IRN9999")));
        dm.TVascor.setChangeReason(QStringLiteral("ثبت داخلي اشتباه بود"));
        ASSERT_TRUE(dm.TVascor.post());
    }
    const test::CliRun r = runCli({"verify", "--db", db, path("one.pdf")});
    EXPECT_EQ(r.status, 3) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("changed since the issue: ثبت داخلي"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("IRN2210 (اكنون IRN9999)"))) << r.out.toStdString();
    expectFarsiLinesWithoutEnglish(r.out);
    // Printed again: a new number, and the old one names it.
    EXPECT_TRUE(printTo("two.pdf").contains(QStringLiteral("certificate 2 (supersedes 1)")));
    const test::CliRun old = runCli({"verify", "--db", db, path("one.pdf")});
    EXPECT_EQ(old.status, 3);
    EXPECT_TRUE(old.out.contains(QStringLiteral("replaced by certificate 2"))) << old.out.toStdString();
    EXPECT_EQ(runCli({"verify", "--db", db, path("two.pdf")}).status, 0);
}
