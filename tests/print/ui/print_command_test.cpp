// The Print command over a real record table, with the modal preview replaced by a recorder.
#include "../certificate_fixture.h"
#include "message_recorder.h"
#include "print/certificate_issuer.h"
#include "print/certificate_template.h"
#include "print/ui/certificate_preview.h"
#include "print/ui/certificate_printer.h"
#include "util/app_paths.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

namespace zartav::print {
namespace {

using sample::col;

// `layout` with the texts the office of the test store set.
CertificateLayout withOfficeTexts(CertificateLayout layout) {
    applyOfficeTexts(layout, sample::officeTexts());
    return layout;
}

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
        setPreviewRunnerForTesting([this](QWidget*, const CertificateLayout& layout, CertificateSource& source) {
            ++previews;
            shown.clear();
            for (int i = 0; i < source.count(); ++i) shown << source.record(i).value_or(CertificateRecord());
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

TEST_F(PrintCommand, ShowsExactlyTheCurrentRecordAndLeavesTheListAsItWas) {
    RecordTable& t = dm.TVascor;
    ASSERT_TRUE(t.setFilter(col("كد گله"), QStringLiteral("20")));
    t.setFiltered(true);
    ASSERT_EQ(t.rowCount(), 2);
    ASSERT_TRUE(t.setCurrentRow(1));  // the fourth record
    ASSERT_EQ(t.id(), ids[3]);

    test::MessageRecorder messages;
    printCurrentCertificate(nullptr, dm);

    EXPECT_EQ(previews, 1);
    EXPECT_EQ(rowsWhileOpen, 2);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].value(col("شماره ثبت")), QStringLiteral("REG4"));
    EXPECT_EQ(shown[0].value(col("تاريخ چاپ")), QStringLiteral("1403/03/01"));
    EXPECT_EQ(shown[0].pictures.size(), 3);
    EXPECT_FALSE(shown[0].pictures.value(col("عكس 2")).isEmpty());
    EXPECT_EQ(shownLayout, withOfficeTexts(builtinCertificateLayout()));  // no Center.Fr3: the built-in layout
    EXPECT_TRUE(messages.boxes().isEmpty());

    // Afterwards the list shows what its herd tab says, with the printed record current.
    EXPECT_TRUE(t.isFiltered());
    EXPECT_EQ(t.rowCount(), 2);
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
    EXPECT_EQ(shownLayout, withOfficeTexts(builtinCertificateLayout()));
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_EQ(messages.texts()[0], QStringLiteral("فايل قالب شناسنامه خوانده نشد؛ شناسنامه با قالب خود برنامه چاپ مي شود.\n") +
                                       QChar(0x2068) + file.fileName() + QChar(0x2069));
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
    EXPECT_EQ(shownLayout, withOfficeTexts(own));
}

QStringList registrations(const QList<CertificateRecord>& records) {
    QStringList out;
    for (const CertificateRecord& r : records) out << r.value(col("شماره ثبت"));
    return out;
}

TEST_F(PrintCommand, AnEmptyListSaysThereIsNothingToPrint) {
    const std::function<void(TDM&)> commands[] = {
        [](TDM& d) { printCurrentCertificate(nullptr, d); },
        [](TDM& d) { printCertificateBatch(nullptr, d, {}, QStringLiteral("999")); },
    };
    for (const auto& command : commands) {
        dm.TVascor.setFilter(col("كد گله"), QStringLiteral("999"));
        dm.TVascor.setFiltered(true);
        ASSERT_EQ(dm.TVascor.rowCount(), 0);
        test::MessageRecorder messages;
        command(dm);
        EXPECT_EQ(previews, 0);
        EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("ركوردي براي چاپ وجود ندارد.")});
        dm.TVascor.setFiltered(false);
    }
}

TEST_F(PrintCommand, BatchPrintsTheChosenRowsOrTheHerdInIdOrderAndLeavesTheListAlone) {
    struct Case {
        const char* what;
        QList<qint64> chosen;
        std::optional<QString> herd;
        QStringList pages;
    };
    const Case cases[] = {
        {"rows chosen, out of order", {ids[3], ids[0], ids[2]}, QStringLiteral("20"), {"REG1", "REG3", "REG4"}},
        {"one row chosen: its herd", {ids[1]}, QStringLiteral("20"), {"REG2", "REG4"}},
        {"nothing chosen, herd 10", {}, QStringLiteral("10"), {"REG1", "REG3"}},
        {"nothing chosen, every herd", {}, std::nullopt, {"REG1", "REG2", "REG3", "REG4"}},
    };
    RecordTable& t = dm.TVascor;
    ASSERT_TRUE(t.setFilter(col("كد گله"), QStringLiteral("20")));
    t.setFiltered(true);
    ASSERT_TRUE(t.setCurrentRow(1));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::MessageRecorder messages;
        printCertificateBatch(nullptr, dm, c.chosen, c.herd);
        EXPECT_EQ(registrations(shown), c.pages);
        EXPECT_EQ(shown.value(0).pictures.size(), 3);
        EXPECT_TRUE(messages.boxes().isEmpty());
        // The list keeps its herd and its current record.
        EXPECT_TRUE(t.isFiltered());
        EXPECT_EQ(t.rowCount(), 2);
        EXPECT_EQ(t.id(), ids[3]);
    }
}

TEST_F(PrintCommand, ALayoutOfTheOldReportEngineIsReportedOncePerRun) {
    QFile file(dir.filePath(QStringLiteral("Center.Fr3")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Well-formed XML of another kind, as the report engine used before wrote its layouts.
    file.write("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<report version=\"4\"><page/></report>");
    file.close();
    test::MessageRecorder messages;
    printCurrentCertificate(nullptr, dm);
    printCertificateBatch(nullptr, dm, {}, std::nullopt);
    printCurrentCertificate(nullptr, dm);
    EXPECT_EQ(previews, 3);
    EXPECT_EQ(shownLayout, withOfficeTexts(builtinCertificateLayout()));
    EXPECT_EQ(messages.texts(),
              QStringList{QStringLiteral("فايل قالب شناسنامه زير قالب اين برنامه نيست (شايد از برنامه قبلي مانده است)؛ "
                                         "شناسنامه ها با قالب خود برنامه چاپ مي شوند.\n") +
                          QChar(0x2068) + file.fileName() + QChar(0x2069)});
}

TEST_F(PrintCommand, ThePrinterGetsOnePageAtTrueSizePerRecord) {
    // A printer of the print dialog's "print to file" kind, so the job lands where it is read back.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(pdf);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    CertificateList source({sample::realisticRecord(), CertificateRecord(), CertificateRecord()});
    ASSERT_EQ(printCertificates(printer, builtinCertificateLayout(), source, {}), PrintOutcome::Done);
    // Pages the print dialog chose narrow the job.
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    const QString part = dir.filePath(QStringLiteral("part.pdf"));
    printer.setOutputFileName(part);
    ASSERT_EQ(printCertificates(printer, builtinCertificateLayout(), source, {}), PrintOutcome::Done);
    for (const auto& [file, pages] : {std::pair{pdf, 3}, std::pair{part, 2}}) {
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {file});
        ASSERT_TRUE(info.waitForFinished(30000));
        const QString out = QString::fromUtf8(info.readAllStandardOutput());
        EXPECT_TRUE(out.contains(QStringLiteral("Pages:           %1").arg(pages))) << out.toStdString();
        EXPECT_TRUE(out.contains(QLatin1String("612 x 792 pts (letter)"))) << out.toStdString();
    }
}

}  // namespace
}  // namespace zartav::print
