// The Print command over a real record table, with the modal preview replaced by a recorder.
#include "../certificate_fixture.h"
#include "message_recorder.h"
#include "print/certificate_template.h"
#include "print/ui/certificate_preview.h"
#include "util/app_paths.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

namespace zartav::print {
namespace {

using sample::col;

class PrintCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        paths::setProgramFolderForTesting(dir.path());
        paths::setUserDataFolderForTesting(dir.filePath(QStringLiteral("user")));
        QList<CertificateRecord> records;
        for (const char* herd : {"10", "20", "10", "20"}) {
            CertificateRecord r = sample::realisticRecord();
            r.values[col("كد گله")] = QString::fromLatin1(herd);
            r.values[col("شماره ثبت")] = QStringLiteral("REG%1").arg(records.size() + 1);
            records << r;
        }
        ids = sample::writeDatabase(dir.filePath(QStringLiteral("Data.db")), records);
        ASSERT_EQ(ids.size(), 4);
        ASSERT_TRUE(dm.Maincon.open(dir.filePath(QStringLiteral("Data.db"))));
        ASSERT_TRUE(dm.TVascor.open());
        setPreviewRunnerForTesting([this](QWidget*, const CertificateLayout& layout, const QList<CertificateRecord>& r) {
            ++previews;
            shown = r;
            shownLayout = layout;
            rowsWhileOpen = dm.TVascor.rowCount();
        });
    }
    void TearDown() override {
        setPreviewRunnerForTesting(nullptr);
        paths::setProgramFolderForTesting(std::nullopt);
        paths::setUserDataFolderForTesting(std::nullopt);
    }

    QTemporaryDir dir;
    QList<qint64> ids;
    TDM dm;
    int previews = 0;
    int rowsWhileOpen = -1;
    QList<CertificateRecord> shown;
    CertificateLayout shownLayout;
};

TEST_F(PrintCommand, ShowsExactlyTheCurrentRecordThenEveryRecordWithItCurrent) {
    RecordTable& t = dm.TVascor;
    ASSERT_TRUE(t.setFilter(col("كد گله"), QStringLiteral("20")));
    t.setFiltered(true);
    ASSERT_EQ(t.rowCount(), 2);
    ASSERT_TRUE(t.setCurrentRow(1));  // the fourth record
    ASSERT_EQ(t.id(), ids[3]);

    test::MessageRecorder messages;
    printCurrentCertificate(nullptr, dm);

    EXPECT_EQ(previews, 1);
    EXPECT_EQ(rowsWhileOpen, 1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].value(col("شماره ثبت")), QStringLiteral("REG4"));
    EXPECT_EQ(shown[0].value(col("تاريخ چاپ")), QStringLiteral("1403/03/01"));
    EXPECT_EQ(shown[0].pictures.size(), 3);
    EXPECT_FALSE(shown[0].pictures.value(col("عكس 2")).isEmpty());
    EXPECT_EQ(shownLayout, builtinCertificateLayout());  // no Center.Fr3: the built-in layout
    EXPECT_TRUE(messages.boxes().isEmpty());

    // Afterwards: the herd filter is gone, every record shows, the printed one is current.
    EXPECT_FALSE(t.isFiltered());
    EXPECT_EQ(t.rowCount(), 4);
    EXPECT_EQ(t.id(), ids[3]);
}

TEST_F(PrintCommand, ABrokenTemplateIsReportedAndTheBuiltInLayoutPrints) {
    QFile file(dir.filePath(QStringLiteral("Center.Fr3")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("garbage");
    file.close();
    ASSERT_TRUE(dm.TVascor.setCurrentRow(2));

    test::MessageRecorder messages;
    printCurrentCertificate(nullptr, dm);
    EXPECT_EQ(previews, 1);
    EXPECT_EQ(shownLayout, builtinCertificateLayout());
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_EQ(messages.texts()[0], brokenTemplateMessage(file.fileName()));
    EXPECT_EQ(dm.TVascor.id(), ids[2]);
    EXPECT_EQ(dm.TVascor.rowCount(), 4);
}

TEST_F(PrintCommand, ATemplateBesideTheProgramIsUsed) {
    CertificateLayout own = builtinCertificateLayout();
    own.page.frame = false;
    QFile file(dir.filePath(QStringLiteral("Center.Fr3")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(serializeCertificateLayout(own));
    file.close();
    printCurrentCertificate(nullptr, dm);
    EXPECT_EQ(shownLayout, own);
}

TEST_F(PrintCommand, AnEmptyListShowsNoPreview) {
    dm.TVascor.setFilter(col("كد گله"), QStringLiteral("999"));
    dm.TVascor.setFiltered(true);
    ASSERT_EQ(dm.TVascor.rowCount(), 0);
    test::MessageRecorder messages;
    printCurrentCertificate(nullptr, dm);
    EXPECT_EQ(previews, 0);
    EXPECT_FALSE(dm.TVascor.isFiltered());
    EXPECT_EQ(dm.TVascor.rowCount(), 4);
}

TEST_F(PrintCommand, ThePrinterGetsOnePageAtTrueSizePerRecord) {
    // The preview's printer, printing to a PDF file instead of paper.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(pdf);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printCertificates(printer, builtinCertificateLayout(), {sample::realisticRecord(), CertificateRecord()});
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QLatin1String("Pages:           2"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QLatin1String("612 x 792 pts (letter)"))) << out.toStdString();
}

}  // namespace
}  // namespace zartav::print
