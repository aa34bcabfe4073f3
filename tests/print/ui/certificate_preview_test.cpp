// The real preview window: pages drawn as they come on screen, printing that fails reported in
// the preview, the PDF button, and a stopped job that leaves nothing behind.
#include "../certificate_fixture.h"
#include "message_recorder.h"
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

}  // namespace
}  // namespace zartav::print
