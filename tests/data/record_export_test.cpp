#include "data/transfer/record_export.h"
#include "data/tdm.h"
#include "util/csv_reader.h"

#include "cli_run.h"
#include "record_export_fixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace zartav;

namespace {

// Another reader of workbooks, to read back what was written; empty when there is none here.
QString pythonWithOpenpyxl() {
    for (const QString& candidate : {QStringLiteral("python3"), QStringLiteral("/usr/bin/python3")})
        if (QProcess::execute(candidate, {QStringLiteral("-c"), QStringLiteral("import openpyxl")}) == 0) return candidate;
    return {};
}

}  // namespace

TEST_P(ExportTest, CsvIsUtf8WithMarkQuotedAsRfc4180WithCrLf) {
    const ExportResult result = exportRecords(list, file("out.csv"), ExportColumns::Listed);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.rows, 2);
    auto line = [](const QStringList& cells) { return cells.join(QLatin1Char(',')) + QStringLiteral("\r\n"); };
    QStringList first = expectedRows()[1], second = expectedRows()[2];
    first[4] = QStringLiteral("\"مزرعه, شمالي\"");
    second[4] = QStringLiteral("\"گفت \"\"بله\"\"\"");
    second[10] = QStringLiteral("\"سطر اول\nسطر دوم\"");
    EXPECT_EQ(readAll(file("out.csv")), QByteArray("\xEF\xBB\xBF") + (kTitles + QStringLiteral("\r\n") + line(first) + line(second)).toUtf8());
}

TEST_P(ExportTest, XlsxReadsBackInAnotherReaderRightToLeft) {
    const QString python = pythonWithOpenpyxl();
    if (python.isEmpty()) GTEST_SKIP() << "python3-openpyxl is not installed";
    const ExportResult result = exportRecords(list, file("out.xlsx"), ExportColumns::Listed);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    QProcess reader;
    reader.start(python, {QStringLiteral("-c"), QStringLiteral(R"(import json, sys, openpyxl
sheet = openpyxl.load_workbook(sys.argv[1]).active
print(json.dumps({"rtl": bool(sheet.sheet_view.rightToLeft), "width": sheet.column_dimensions["A"].width or 0,
                  "rows": [[c if c is not None else "" for c in r] for r in sheet.iter_rows(values_only=True)]}))
)"), file("out.xlsx")});
    ASSERT_TRUE(reader.waitForFinished(60000));
    const QJsonObject read = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    ASSERT_FALSE(read.isEmpty()) << reader.readAllStandardError().toStdString();
    EXPECT_TRUE(read[QStringLiteral("rtl")].toBool());
    EXPECT_GE(read[QStringLiteral("width")].toDouble(), 10);
    QList<QStringList> rows;
    for (const QJsonValue& r : read[QStringLiteral("rows")].toArray()) {
        QStringList cells;
        for (const QJsonValue& c : r.toArray()) cells << c.toString();
        rows << cells;
    }
    EXPECT_EQ(rows, expectedRows());
}

// A spreadsheet sums the quantities: weight, the HF percentages, parity, the count of
// inseminations and the ID are numbers when they hold one; codes keep their leading zeros as
// text. The sheet is named after the herd the list shows, any other list's "ركوردها".
TEST_P(ExportTest, XlsxQuantitiesAreNumbersAndTheSheetIsNamedAfterTheHerd) {
    const QString python = pythonWithOpenpyxl();
    if (python.isEmpty()) GTEST_SKIP() << "python3-openpyxl is not installed";
    ASSERT_TRUE(store->insertRecords({"ID", "كد گله", "گوش ف", "وزن", "HFگوساله", "HFپدر", "دوره زايش", "تعداد تلقيح"},
                                     {"50, '0301', '0042', '41', '87.5', '۱۰۰', '3', 'نامعلوم'"}));
    const struct {
        const char* title;
        QJsonValue value;
    } expected[] = {
        {"كد گله", QStringLiteral("0301")}, {"گوش ف", QStringLiteral("0042")}, {"وزن", 41}, {"HFگوساله", 87.5},
        {"HFپدر", 100}, {"دوره زايش", 3}, {"تعداد تلقيح", QStringLiteral("نامعلوم")}, {"ID", 50},
    };
    RecordTable herd(dm.Maincon);
    herd.setFilter(QStringLiteral("كد گله"), QStringLiteral("0301"));
    herd.setFiltered(true);
    RecordTable all(dm.Maincon);
    const struct {
        RecordTable* list;
        const char* sheet;
    } lists[] = {{&herd, "0301"}, {&all, "ركوردها"}};
    for (const auto& [shown, sheetName] : lists) {
        ASSERT_TRUE(exportRecords(*shown, file("sums.xlsx"), ExportColumns::All).ok);
        QProcess reader;
        reader.start(python, {QStringLiteral("-c"), QStringLiteral(R"(import json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
rows = list(book.active.iter_rows(values_only=True))
print(json.dumps({"names": book.sheetnames, "row": {t: v for t, v in zip(rows[0], rows[-1])}}, ensure_ascii=False))
)"), file("sums.xlsx")});
        ASSERT_TRUE(reader.waitForFinished(60000));
        const QJsonObject read = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
        ASSERT_FALSE(read.isEmpty()) << reader.readAllStandardError().toStdString();
        EXPECT_EQ(read[QStringLiteral("names")].toArray(), QJsonArray{QString::fromUtf8(sheetName)});
        for (const auto& [title, value] : expected)
            EXPECT_EQ(read[QStringLiteral("row")][QString::fromUtf8(title)], value) << title << " in " << sheetName;
    }
}

// A cell that begins like a formula would run in the spreadsheet that opens the list: the CSV
// writes it behind an apostrophe, the record import takes that off again, and the workbook
// keeps every value a string.
TEST_P(ExportTest, CellsASpreadsheetWouldRunAreGuardedInCsvAndStayTextInXlsx) {
    const struct {
        QString value, cell;
    } cases[] = {
        {"=HYPERLINK(\"http://x.example\",\"y\")", "'=HYPERLINK(\"http://x.example\",\"y\")"},
        {"+cmd|' /C calc'!A0", "'+cmd|' /C calc'!A0"},
        {"-5", "'-5"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tTab", "'\tTab"},
        {"\rCR", "'\rCR"},
        {"'=already", "''=already"},  // so the import gives back exactly this
        {"'plain", "'plain"},
        {"a=b", "a=b"},
    };
    QStringList rows;
    for (const auto& c : cases)
        rows << QStringLiteral("%1, '77', '%2'").arg(100 + rows.size()).arg(QString(c.value).replace(u'\'', QStringLiteral("''")));
    ASSERT_TRUE(store->insertRecords({"ID", "كد گله", "نام گوساله"}, rows));
    RecordTable shown(dm.Maincon);
    shown.setFilter(QStringLiteral("كد گله"), QStringLiteral("77"));
    shown.setFiltered(true);
    const int calfName = int(kTitles.split(QLatin1Char(',')).indexOf(QStringLiteral("نام گوساله")));

    ASSERT_TRUE(exportRecords(shown, file("risky.csv"), ExportColumns::Listed).ok);
    csv::Reader reader(csv::decode(readAll(file("risky.csv"))), QLatin1Char(','));
    csv::Row row;
    ASSERT_TRUE(reader.next(&row));  // the titles
    for (const auto& c : cases) {
        ASSERT_TRUE(reader.next(&row));
        EXPECT_EQ(row.fields.value(calfName), c.cell) << c.value.toStdString();
    }
    const QString target = file("back.db");
    const test::CliRun back = test::runCli({QStringLiteral("import-records"), QStringLiteral("--db"), target, file("risky.csv")});
    ASSERT_EQ(back.status, 0) << back.err.toStdString();
    Connection imported;
    ASSERT_TRUE(imported.open(target));
    RecordTable read(imported);
    ASSERT_TRUE(read.open());
    ASSERT_EQ(read.rowCount(), int(std::size(cases)));
    for (int r = 0; r < read.rowCount(); ++r) EXPECT_EQ(read.listValue(r, calfName), cases[r].value);

    const QString python = pythonWithOpenpyxl();
    if (python.isEmpty()) GTEST_SKIP() << "python3-openpyxl is not installed";
    ASSERT_TRUE(exportRecords(shown, file("risky.xlsx"), ExportColumns::Listed).ok);
    QProcess sheet;
    sheet.start(python, {QStringLiteral("-c"), QStringLiteral(R"(import json, sys, openpyxl
rows = openpyxl.load_workbook(sys.argv[1]).active.iter_rows(min_row=2)
print(json.dumps([[r[int(sys.argv[2])].data_type, r[int(sys.argv[2])].value] for r in rows]))
)"), file("risky.xlsx"), QString::number(calfName)});
    ASSERT_TRUE(sheet.waitForFinished(60000));
    const QJsonArray cells = QJsonDocument::fromJson(sheet.readAllStandardOutput()).array();
    ASSERT_EQ(cells.size(), qsizetype(std::size(cases))) << sheet.readAllStandardError().toStdString();
    for (qsizetype i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i][0].toString(), QStringLiteral("s")) << cases[i].value.toStdString();  // "f" would be a formula
        // The workbook writes a carriage return as its own escape, which this reader keeps.
        EXPECT_EQ(cells[i][1].toString(), QString(cases[i].value).replace(u'\r', QStringLiteral("_x000D_")));
    }
}

// A value no spreadsheet cell holds (an older file store may keep any length) is named with its
// row and column instead of blaming the folder; the CSV, which has no such limit, takes it.
TEST_P(ExportTest, AValueTooLongForACellIsNamedByRowAndColumn) {
    if (GetParam() == test::Engine::PostgreSQL) GTEST_SKIP() << "the server's columns hold 50 characters";
    ASSERT_TRUE(store->exec(QStringLiteral("UPDATE \"VaskorTemp\" SET \"نام گوساله\" = replace(hex(zeroblob(40000)), '00', 'ب') "
                                           "WHERE \"ID\" = 2")));
    const ExportResult refused = exportRecords(list, file("long.xlsx"), ExportColumns::Listed);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, QStringLiteral("فايل زير نوشته نشد:\n\u2068%1\u2069\nسطر 3 برگ، ستون «نام گوساله»: اين مقدار "
                                            "40000 حرف دارد و يك خانه اكسل حداكثر 32767 حرف مي گيرد؛ خروجي csv. بگيريد.")
                                 .arg(QDir::toNativeSeparators(file("long.xlsx"))));
    EXPECT_EQ(filesInFolder(), QStringList());
    EXPECT_TRUE(exportRecords(list, file("long.csv"), ExportColumns::Listed).ok);
}

TEST_P(ExportTest, CancelledOrUnwritableLeavesNoFile) {
    ASSERT_TRUE(store->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
                                           "INSERT INTO \"VaskorTemp\" (\"ID\", \"كد گله\", \"شماره ثبت\") "
                                           "SELECT 100 + i, '10', '98' || CAST(i AS TEXT) FROM n")));
    for (const char* name : {"out.csv", "out.xlsx"}) {
        const ExportResult result = exportRecords(list, file(name), ExportColumns::Listed,
                                                  [](qint64 done, qint64) { return done < 300; });
        EXPECT_TRUE(result.cancelled) << name;
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(filesInFolder(), QStringList()) << name;
    }
    // A folder that cannot be made: its parent is a file.
    QFile plain(file("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const char* name : {"plain/out.csv", "plain/out.xlsx"}) {
        const ExportResult result = exportRecords(list, file(name), ExportColumns::Listed);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.cancelled);
        EXPECT_TRUE(result.error.startsWith(QStringLiteral("فايل زير نوشته نشد؛ پوشه آن نوشتني نيست"))) << result.error.toStdString();
    }
    EXPECT_EQ(filesInFolder(), QStringList());
    const ExportResult other = exportRecords(list, file("out.txt"), ExportColumns::Listed);
    EXPECT_TRUE(other.error.startsWith(QStringLiteral("نام فايل خروجي بايد به xlsx. (اكسل) يا csv. ختم شود"))) << other.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, ExportTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
