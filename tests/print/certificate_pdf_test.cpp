// Certificates through zartav-cli into real PDF files, read back with poppler's tools.
#include "certificate_fixture.h"
#include "print/certificate_layout.h"
#include "print/certificate_pdf.h"
#include "print/certificate_template.h"

#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>
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
    // The three photos, and the certificate's code as a lossless bitmap of one pixel a module.
    EXPECT_EQ(images.out.count(QRegularExpression(QStringLiteral("\\n\\s*1\\s+\\d+\\s+image\\s+800"))), 3) << images.out.toStdString();
    EXPECT_EQ(images.out.count(QRegularExpression(QStringLiteral("\\n\\s*1\\s+\\d+\\s+image\\s+(\\d+)\\s+\\1\\s.*\\simage\\s"))), 1)
        << images.out.toStdString();
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
    // No photo: the only picture is the certificate's code, square.
    const Outcome images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    EXPECT_EQ(images.out.count(QRegularExpression(QStringLiteral("\\n\\s*1\\s+\\d+\\s+image\\s+(\\d+)\\s+\\1\\s"))), 1)
        << images.out.toStdString();
    EXPECT_EQ(images.out.count('\n'), 3) << images.out.toStdString();
}

// The words of the page inside `cell`, left to right, run together.
QString lineIn(const QList<Word>& found, const QRectF& cell) {
    QList<Word> inside;
    for (const Word& w : found)
        if (cell.contains(w.mm.center())) inside << w;
    std::sort(inside.begin(), inside.end(), [](const Word& a, const Word& b) { return a.mm.left() < b.mm.left(); });
    QString line;
    for (const Word& w : inside) line += w.text;
    return line;
}

const Element* textElement(const CertificateLayout& layout, const QString& text, double y) {
    for (const Element& e : layout.elements)
        if (e.kind == ElementKind::Text && e.text == text && qFuzzyCompare(e.rect.y(), y)) return &e;
    return nullptr;
}

// The page's words as letters: the PDF holds shaped forms, which compatibility folding undoes
// (the shaped Farsi yeh coming back as the Farsi letter, typed here as the Arabic one).
QString pageText(const QString& pdf) {
    return run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")})
        .out.normalized(QString::NormalizationForm_KC)
        .replace(QChar(0x06CC), QChar(0x064A));
}

// The office's texts set from a file of key=text lines, as `zartav-cli issuer` reads it.
Outcome setIssuer(const QString& db, const QString& file, const QByteArray& lines) {
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(lines) != lines.size()) return {};
    f.close();
    return cli({"issuer", "--db", db, file});
}

TEST_F(CertificatePdf, UntilTheOfficeSetsItsTextsOnlyDraftsPrintAndIssueNothing) {
    // Back to the texts of a new store: the header and footer hold stand-in words.
    ASSERT_EQ(setIssuer(db, path("reset.txt"), "ministry=\ncentre=\nunion=\nregistry=\n").exitCode, 0);
    const QString pdf = path("draft.pdf");
    const Outcome refused = cli({"certificate", "--db", db, "--id", QString::number(ids[0]), "--pdf", pdf});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("مشخصات صادر كننده"))) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(pdf));

    const Outcome draft = cli({"certificate", "--db", db, "--id", QString::number(ids[0]), "--pdf", pdf, "--allow-draft"});
    ASSERT_EQ(draft.exitCode, 0) << draft.err.toStdString();
    const QString text = pageText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("پيش نويس"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("شماره گواهي")));
    EXPECT_FALSE(draft.out.contains(QStringLiteral("certificate 1")));
    // The three photos and no code.
    const Outcome images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    EXPECT_EQ(images.out.count(QRegularExpression(QStringLiteral("\\n\\s*1\\s+\\d+\\s+image\\s"))), 3) << images.out.toStdString();
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(db));
    QSqlDatabase store = dm.Maincon.database();
    EXPECT_FALSE(certificates::findIssue(store, 1));
}

TEST_F(CertificatePdf, TheOfficeTextsAreSetListedAndPrintedWithoutAWindow) {
    const Outcome keys = cli({"issuer", "--db", db, "--keys"});
    ASSERT_EQ(keys.exitCode, 0);
    for (const char* key : {"ministry", "deputy", "centre", "union", "registry", "office", "address", "contact", "signatory", "role"})
        EXPECT_TRUE(keys.out.contains(QLatin1String(key) + QLatin1Char('\t'))) << key;

    // A bad line sets nothing, and the unknown key is named.
    const Outcome unknown = setIssuer(db, path("bad.txt"), "deputy=\xd9\x85\xd8\xb9\xd8\xa7\xd9\x88\xd9\x86\xd8\xaa\nheader=x\n");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains(QLatin1String("header"))) << unknown.err.toStdString();

    const QString texts = QStringLiteral("ministry=وزارت جهاد كشاورزي\n"
                                         "deputy=معاونت توسعه توليدات دامي\n"
                                         "centre=مركز اصلاح نژاد دام كشور\n"
                                         "union=صدور شناسنامه توسط اتحاديه دامداران\n"
                                         "registry=ثبت مشخصات و دفتر انساب مركز\n"
                                         "signatory=علي رضايي\n");
    ASSERT_EQ(setIssuer(db, path("office.txt"), texts.toUtf8()).exitCode, 0);
    const Outcome printed = cli({"issuer", "--db", db});
    ASSERT_EQ(printed.exitCode, 0);
    for (const QString& line : texts.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_TRUE(printed.out.contains(line + QLatin1Char('\n'))) << line.toStdString();
    EXPECT_FALSE(printed.out.contains(QLatin1String("header")));

    const QString pdf = path("office.pdf");
    ASSERT_EQ(cli({"certificate", "--db", db, "--id", QString::number(ids[0]), "--pdf", pdf}).exitCode, 0);
    const QString page = pageText(pdf);
    EXPECT_TRUE(page.contains(QStringLiteral("معاونت توسعه توليدات دامي"))) << page.toStdString();
    EXPECT_FALSE(page.contains(QStringLiteral("معاونت امور دام")));
}

TEST_F(CertificatePdf, MixedTextsReadInTheOrderTheyAreWritten) {
    // A draft keeps the stand-in words, whose Latin pieces show the order.
    ASSERT_EQ(setIssuer(db, path("reset.txt"), "ministry=\ncentre=\nunion=\nregistry=\n").exitCode, 0);
    const QString pdf = path("order.pdf");
    ASSERT_EQ(cli({"certificate", "--db", db, "--id", QString::number(ids[0]), "--pdf", pdf, "--allow-draft"}).exitCode, 0);
    const QList<Word> found = words(pdf);
    const CertificateLayout layout = builtinCertificateLayout();
    const QString signature = layout.elements.last().text;
    // Each text, and its Latin pieces as they must follow each other from left to right.
    const struct {
        QString text;
        double y;
        QStringList leftToRight;
    } cases[] = {
        {QStringLiteral("HF%"), 57, {"H", "F", "%"}},
        {QStringLiteral("HF %"), 87, {"H", "F", "%"}},
        {QStringLiteral("HF%"), 102, {"H", "F", "%"}},
        {QStringLiteral("redaz oviv azodeze"), 1, {"redaz", "oviv", "azodeze"}},
        {QStringLiteral("zida dovez ovev adi vazo"), 17, {"zida", "dovez", "ovev", "adi", "vazo"}},
        {QStringLiteral("صدور شناسنامه توسط rarudev erad evud ozorudiz eveza rivav"), 238,
         {"rarudev", "erad", "evud", "ozorudiz", "eveza", "rivav"}},
        // Read right to left: the date after "تاريخ صدور", the Latin words last, at the left end.
        {signature, 246, {"zida", "dovez", "ovev", "adi", "vazo", "1403/03/01"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const Element* e = textElement(layout, c.text, c.y);
        ASSERT_NE(e, nullptr);
        const QString line = lineIn(found, onPaper(*e, layout.page).adjusted(-5, 0, 5, 0));
        qsizetype at = -1;
        for (const QString& piece : c.leftToRight) {
            const qsizetype next = line.indexOf(piece, at + 1);
            EXPECT_GT(next, at) << piece.toStdString() << " in " << line.toStdString();
            at = next;
        }
    }
}

TEST_F(CertificatePdf, CaptionsThatFitPrintAtTheirSizeAndOverlongValuesKeepTheirBeginning) {
    // A value of Latin pieces reads from the left; one with Farsi in it, from the right. Both
    // are far too long for their cells even at the smallest size.
    CertificateRecord record = sample::realisticRecord();
    record.values[col("كد استان")] = QStringLiteral("T1 T2 T3 T4 T5 T6 T7 T8 T9 T10 T11 T12");
    record.values[col("كد گله")] = QStringLiteral("T1 گاو T2 گاو T3 گاو T4 گاو T5 گاو T12");
    const QString db2 = path("long.db");
    const QList<qint64> longIds = sample::writeDatabase(db2, {record});
    ASSERT_EQ(longIds.size(), 1);
    const QString pdf = path("long.pdf");
    ASSERT_EQ(cli({"certificate", "--db", db2, "--all", "--pdf", pdf}).exitCode, 0);
    const QList<Word> found = words(pdf);
    const CertificateLayout layout = builtinCertificateLayout();
    for (const auto& [column, startsAtRight] : {std::pair{"كد استان", false}, std::pair{"كد گله", true}}) {
        SCOPED_TRACE(column);
        const Element* cell = nullptr;
        for (const Element& e : layout.elements)
            if (e.kind == ElementKind::Field && e.column == col(column)) cell = &e;
        ASSERT_NE(cell, nullptr);
        const QRectF onPage = onPaper(*cell, layout.page);
        QRectF first, last;
        for (const Word& w : found) {
            if (!QRectF(onPage.left() - 40, onPage.top(), onPage.width() + 80, onPage.height()).contains(w.mm.center()))
                continue;
            if (w.text == QLatin1String("T1")) first = w.mm;
            if (w.text == QLatin1String("T12")) last = w.mm;
        }
        EXPECT_TRUE(onPage.contains(first)) << first.left() << " not in " << onPage.left() << ".." << onPage.right();
        // It starts at its own edge, and its end is the part that is cut.
        EXPECT_LT(startsAtRight ? onPage.right() - first.right() : first.left() - onPage.left(), 1.0);
        EXPECT_FALSE(onPage.intersects(last));
    }

    // Every caption that fits its box at 10 pt prints at 10 pt: its words are as tall as those of
    // a short one.
    const Element* reference = textElement(layout, QStringLiteral("بدن"), 56.5);
    ASSERT_NE(reference, nullptr);
    const double height = [&] {
        for (const Word& w : found)
            if (onPaper(*reference, layout.page).contains(w.mm.center())) return w.mm.height();
        return 0.0;
    }();
    ASSERT_GT(height, 0);
    for (const char* caption : {"كد استان", "نام استان", "كد گله", "نام گاوداري", "نام شهرستان", "شماره گل",
                                "نام گوساله", "تاريخ تولد", "جنس گوساله", "ثبت خارجي", "دوره زايش", "رنگ لكه ها"}) {
        for (const Element& e : layout.elements) {
            if (e.kind != ElementKind::Text || e.text != col(caption)) continue;
            for (const Word& w : found) {
                if (!onPaper(e, layout.page).contains(w.mm.center())) continue;
                EXPECT_NEAR(w.mm.height(), height, 0.01) << caption;
            }
        }
    }
}

TEST_F(CertificatePdf, ChosenIdsPrintInIdOrderAndAMissingOneLeavesNoFile) {
    const QString pdf = path("ids.pdf");
    const QString list = QStringLiteral("%1,%2").arg(ids[2]).arg(ids[0]);
    const Outcome r = cli({"certificate", "--db", db, "--ids", list, "--pdf", pdf});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Standard error is not a terminal here: no progress line.
    EXPECT_FALSE(r.err.contains(QLatin1String("certificate 1 of"))) << r.err.toStdString();
    const Outcome text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_LT(text.out.indexOf(QLatin1String("IR9812345678")), text.out.indexOf(QLatin1String("IR0000000002")));
    EXPECT_EQ(text.out.count(QLatin1Char('\f')), 2);

    const QString none = path("missing.pdf");
    const Outcome missing = cli({"certificate", "--db", db, "--ids", list + QStringLiteral(",9999"), "--pdf", none});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(QLatin1String("9999"))) << missing.err.toStdString();
    EXPECT_EQ(cli({"certificate", "--db", db, "--ids", "3,x", "--pdf", none}).exitCode, 2);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.pdf*")}, QDir::Files), QStringList{"ids.pdf"});
}

TEST(CertificatePdfFile, AStoppedOrFailedBatchLeavesNoFileAndAnOlderOneAsItWas) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("herd.pdf"));
    QFile older(pdf);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write("an older file");
    older.close();
    CertificateList source({sample::realisticRecord(), CertificateRecord(), CertificateRecord(), CertificateRecord()});
    const CertificateLayout layout = builtinCertificateLayout();
    PageRun stopped;
    int told = 0;
    stopped.progress = [&](int done, int total) {
        ++told;
        EXPECT_EQ(total, 4);
        return done < 2;
    };
    EXPECT_EQ(writeCertificatesPdf(pdf, layout, source, stopped), PrintOutcome::Cancelled);
    EXPECT_EQ(told, 2);
    QString error;
    EXPECT_EQ(writeCertificatesPdf(dir.filePath(QStringLiteral("no folder/herd.pdf")), layout, source, {}, &error),
              PrintOutcome::Failed);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"herd.pdf"});
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    EXPECT_EQ(older.readAll(), QByteArray("an older file"));
    older.close();
    EXPECT_EQ(writeCertificatesPdf(pdf, layout, source, {}), PrintOutcome::Done);
    EXPECT_EQ(run(QStringLiteral("pdfinfo"), {pdf}).out.contains(QRegularExpression(QStringLiteral("Pages:\\s+4\\n"))), true);
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
