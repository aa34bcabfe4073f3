// The real preview window: pages drawn as they come on screen, printing that fails reported in
// the preview, the PDF button, and a stopped job that leaves nothing behind.
#include "../certificate_fixture.h"
#include "data/link/store_worker.h"
#include "message_recorder.h"
#include "print/certificate_pdf.h"
#include "print/ui/certificate_page_view.h"
#include "print/ui/certificate_preview.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace zartav::print {
namespace {

using sample::col;

// Pages of a realistic record, numbered, counting how often a record is read.
class CountingSource : public CertificateSource {
public:
    explicit CountingSource(int pages) : pages_(pages), record_(sample::realisticRecord()) {}
    int count() const override { return pages_; }
    std::optional<CertificateRecord> record(int index) override {
        ++reads;
        CertificateRecord r = record_;
        r.values[col("شماره ثبت")] = QStringLiteral("PAGE%1").arg(index + 1);
        return r;
    }
    int reads = 0;

private:
    int pages_;
    CertificateRecord record_;
};

// Runs `steps` inside the modal preview, then closes it if it is still open.
void withPreview(CertificateSource& source, const std::function<void(CertificatePreview&)>& steps) {
    CertificatePreview preview(builtinCertificateLayout(), source);
    preview.resize(900, 1000);
    QTimer::singleShot(0, &preview, [&] {
        steps(preview);
        if (preview.isVisible()) preview.reject();
    });
    QTimer::singleShot(60000, &preview, [&] { preview.reject(); });  // never leave a test hanging
    preview.exec();
}

int pdfPages(const QString& file) {
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {file});
    info.waitForFinished(30000);
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    const qsizetype at = out.indexOf(QLatin1String("Pages:"));
    return at < 0 ? -1 : out.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
}

TEST(CertificatePreview, OpensModallyAtTrueSizeAndDrawsOnlyThePagesOnScreen) {
    CountingSource source(400);
    withPreview(source, [&](CertificatePreview& preview) {
        EXPECT_TRUE(preview.isModal());
        EXPECT_EQ(preview.layoutDirection(), Qt::RightToLeft);
        EXPECT_DOUBLE_EQ(preview.zoomFactor(), 1.0);
        EXPECT_EQ(preview.pageCount(), 400);
        EXPECT_EQ(preview.currentPage(), 1);
        EXPECT_EQ(preview.pdfAction->text(), QStringLiteral("PDF"));
        EXPECT_EQ(preview.printAction->text(), QStringLiteral("چاپ"));
        const QByteArray shot = qgetenv("ZARTAV_PREVIEW_SHOT");
        preview.grab().save(QString::fromLocal8Bit(shot.isEmpty() ? "/dev/null" : shot + "-first.png"), "PNG");
        // Paging through every page draws each page once at most and keeps only a few.
        for (int page = 1; page <= 400; page += 7) {
            preview.setCurrentPage(page);
            preview.pageView()->viewport()->repaint();
            EXPECT_EQ(preview.currentPage(), page);
        }
        preview.setCurrentPage(400);
        preview.pageView()->viewport()->repaint();
        if (!shot.isEmpty()) preview.grab().save(QString::fromLocal8Bit(shot + "-last.png"), "PNG");
        EXPECT_EQ(preview.currentPage(), 400);
        EXPECT_LE(source.reads, 2 * (400 / 7 + 2));
        EXPECT_LE(preview.pageView()->pagesInMemory(), 20);
    });
}

// A stored herd's pages are read by a worker on a thread of its own: they show as blank paper
// until their records arrive, the pages on screen read together; a record no longer stored
// gets its page's notice.
TEST(CertificatePreview, StoredPagesAreReadOffTheWindowsThread) {
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Data.db"));
    const QList<qint64> ids = sample::writeDatabase(db, {sample::realisticRecord()});
    ASSERT_EQ(ids.size(), 1);
    Connection link;
    ASSERT_TRUE(link.open(db));
    auto worker = std::make_unique<StoreWorker>(link, StoreWorker::Mode::Threaded);
    worker->follow();
    StoredCertificates source(std::move(worker), {ids[0], ids[0] + 1});
    CertificatePageView view(builtinCertificateLayout(), source);
    view.resize(900, 2600);  // both pages on screen
    view.show();
    view.viewport()->repaint();
    EXPECT_EQ(view.pagesInMemory(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        view.viewport()->repaint();
        return view.pagesInMemory() == 2;
    }));
    QTest::qWait(50);  // nothing arriving late changes them
    view.viewport()->repaint();
    // The certificate is ink all over its page; the notice a line in the middle of its own.
    const QImage shown = view.viewport()->grab().toImage();
    auto ink = [&](int page) {
        const int height = shown.height() / 2;
        int dark = 0;
        for (int y = page * height; y < (page + 1) * height; y += 2)
            for (int x = 0; x < shown.width(); x += 2)
                dark += qGray(shown.pixel(x, y)) < 100 && shown.pixel(x, y) != qRgb(0x50, 0x50, 0x50);  // not the shadow
        return dark;
    };
    EXPECT_GT(ink(0), 20 * ink(1));
    EXPECT_GT(ink(1), 0);
}

TEST(CertificatePreview, AFailedPrintIsReportedAndThePreviewStaysOpen) {
    QTemporaryDir dir;
    CountingSource source(2);
    test::MessageRecorder messages;
    withPreview(source, [&](CertificatePreview& preview) {
        // A printer that cannot be written to, then one that can.
        preview.choosePrinter = [&](QPrinter& printer, QWidget*) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(dir.filePath(QStringLiteral("no such folder/out.pdf")));
            return true;
        };
        preview.printAction->trigger();
        EXPECT_TRUE(preview.isVisible());
        EXPECT_EQ(messages.texts(),
                  QStringList{QStringLiteral("چاپ انجام نشد و چيزي به چاپگر فرستاده نشد؛ چاپگر و تنظيم آن را بررسي كنيد.")});
        EXPECT_TRUE(QDir(dir.path()).isEmpty());

        preview.choosePrinter = [&](QPrinter& printer, QWidget*) {
            printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
            return true;
        };
        preview.printAction->trigger();
        EXPECT_FALSE(preview.isVisible());  // printed: the preview is done
    });
    EXPECT_EQ(pdfPages(dir.filePath(QStringLiteral("out.pdf"))), 2);
    EXPECT_EQ(messages.texts().size(), 1);
}

TEST(CertificatePreview, PdfButtonWritesEveryPageAndAStoppedJobLeavesNoFile) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("herd.pdf"));
    CountingSource source(12);
    test::MessageRecorder messages;
    withPreview(source, [&](CertificatePreview& preview) {
        preview.choosePdfFile = [&](QWidget*) { return pdf; };
        // Stopped from its progress window after a few pages.
        QTimer stopper;
        int progressWindows = 0;
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<QProgressDialog*>(w); progress && progress->value() >= 3) {
                    ++progressWindows;
                    progress->cancel();
                }
        });
        stopper.start(0);
        EXPECT_FALSE(preview.saveAsPdf());
        stopper.stop();
        EXPECT_GE(progressWindows, 1);
        EXPECT_TRUE(QDir(dir.path()).isEmpty()) << QDir(dir.path()).entryList().join(' ').toStdString();
        EXPECT_TRUE(preview.isVisible());

        EXPECT_TRUE(preview.saveAsPdf());
        EXPECT_TRUE(preview.isVisible());  // saving leaves the preview open for printing
    });
    EXPECT_TRUE(messages.boxes().isEmpty());
    EXPECT_EQ(pdfPages(pdf), 12);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("herd.pdf")});
}

// Ink in each column of `cell` (dark pixels only, so the cells' grey fills and the paper do not
// count), smoothed over three columns so that where a rasteriser puts a glyph's edge does not matter.
QList<double> inkColumns(const QImage& image, const QRect& cell) {
    QList<double> ink(cell.width() + 2, 0.0);
    for (int x = cell.left(); x <= cell.right(); ++x)
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            if (image.rect().contains(x, y)) ink[x - cell.left() + 1] += std::max(0, 160 - qGray(image.pixel(x, y)));
    QList<double> smooth(ink.size(), 0.0);
    for (qsizetype i = 1; i + 1 < ink.size(); ++i) smooth[i] = ink[i - 1] + 2 * ink[i] + ink[i + 1];
    return smooth;
}

// How far two ink profiles lie apart: 0 for the same ink, 1 for ink in wholly other columns.
double inkDistance(const QList<double>& a, const QList<double>& b) {
    double apart = 0, total = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        apart += std::abs(a[i] - b[i]);
        total += std::max(a[i], b[i]);
    }
    return total > 0 ? apart / total : 0;
}

// The preview on screen beside the PDF page rasterised at the same scale (pdftoppm, as an office
// would look at the file): every text lies in the same columns, so no letter is lost or cut on
// screen that the paper keeps. 79 % is where "تمام صفحه" lands on a common screen.
TEST(CertificatePreview, DrawsEveryTextWhereThePdfPageHasItAtEveryZoom) {
    QTemporaryDir dir;
    const CertificateLayout layout = builtinCertificateLayout();
    CountingSource source(1);
    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    ASSERT_EQ(writeCertificatesPdf(pdf, layout, source, PageRun{}), PrintOutcome::Done);
    const QByteArray shots = qgetenv("ZARTAV_PREVIEW_SHOT");
    const QList<PlacedText> texts = placeTexts(layout, *source.record(0));
    for (const double zoom : {0.79, 1.0}) {
        CertificatePageView view(layout, source);
        view.resize(1100, 1300);
        view.show();
        view.setZoomFactor(zoom);
        const double perMm = view.logicalDpiX() / 25.4 * zoom;
        const QImage screen = view.viewport()->grab().toImage();
        // The page is the first white on the view's grey.
        QPoint corner(-1, -1);
        for (int y = 0; y < screen.height() && corner.x() < 0; ++y)
            for (int x = 0; x < screen.width(); ++x)
                if (screen.pixel(x, y) == qRgb(255, 255, 255)) {
                    corner = QPoint(x, y);
                    break;
                }
        ASSERT_GE(corner.x(), 0);
        const QString base = dir.filePath(QStringLiteral("paper-%1").arg(qRound(zoom * 100)));
        QProcess raster;
        raster.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-singlefile"), QStringLiteral("-r"),
                                                 QString::number(view.logicalDpiX() * zoom), pdf, base});
        ASSERT_TRUE(raster.waitForFinished(60000));
        const QImage paper(base + QStringLiteral(".png"));
        ASSERT_FALSE(paper.isNull());
        if (!shots.isEmpty()) {
            screen.copy(QRect(corner, paper.size())).save(QString::fromLocal8Bit(shots) + QStringLiteral("-preview-%1.png").arg(qRound(zoom * 100)));
            paper.save(QString::fromLocal8Bit(shots) + QStringLiteral("-pdf-%1.png").arg(qRound(zoom * 100)));
        }
        for (const PlacedText& t : texts) {
            if (t.text.isEmpty()) continue;
            const QRectF mm = t.rect.translated(layout.page.marginLeft, layout.page.marginTop + layout.page.bandTop);
            // Inside the cell's outline.
            const QRect cell = QRectF(mm.topLeft() * perMm, mm.size() * perMm).toAlignedRect().adjusted(2, 2, -2, -2);
            const double apart = inkDistance(inkColumns(screen, cell.translated(corner)), inkColumns(paper, cell));
            EXPECT_LT(apart, 0.25) << "zoom " << zoom << ": " << t.text.toStdString();
        }
    }
}

}  // namespace
}  // namespace zartav::print
