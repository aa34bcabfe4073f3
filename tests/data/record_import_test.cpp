// Records from a spreadsheet's CSV file into either store: whole files or nothing.
#include "date_edges.h"
#include "record_import_fixture.h"
#include "util/cp1256.h"


#include <gtest/gtest.h>

using namespace zartav;

TEST_P(RecordImportTest, ABadFileIsRefusedWithItsLineColumnAndReasonAndAddsNothing) {
    ASSERT_TRUE(load((kHeader + "\n1,1405/01/01,a\n2,,b\n").toUtf8()).ok);
    ASSERT_EQ(count(), 2);
    QString manyGood;
    for (int i = 0; i < 150; ++i) manyGood += QStringLiteral("%1,1405/02/03,x\r\n").arg(i);
    struct Case {
        const char* name;
        QByteArray csv;
        const char* refusal;
    };
    const Case cases[] = {
        {"a quote never closed", (kHeader + "\r\n1,1405/01/02,\"abc\r\n2,1405/01/03,x\r\n").toUtf8(),
         "سطر 2: علامت \" باز شده و تا پايان فايل بسته نشده است"},
        {"a quote inside a field", (kHeader + "\n1,1405/01/02,ab\"c\n").toUtf8(), "سطر 2: علامت \" در ميان متن فيلد آمده است"},
        {"a column that does not exist", QStringLiteral("شماره ثبت,رنگ,نام گوساله\n1,2,3\n").toUtf8(),
         "سطر 1، ستون «رنگ»: ركوردها چنين ستوني ندارند"},
        {"one blank where the name has two", QStringLiteral("نوع تلقيح 1\nمصنوعي\n").toUtf8(),
         "سطر 1، ستون «نوع تلقيح 1»: ركوردها چنين ستوني ندارند"},
        {"a column named twice", QStringLiteral("بدن,وزن,بدن\n1,2,3\n").toUtf8(), "سطر 1، ستون «بدن»: اين ستون دو بار آمده است"},
        {"a photo column", QStringLiteral("بدن,عكس 1\n1,2\n").toUtf8(), "سطر 1، ستون «عكس 1»: عكس از فايل CSV خوانده نمي شود"},
        {"a row too long", (kHeader + "\n1,1405/01/02,a\n2,1405/01/02,b,c\n").toUtf8(),
         "سطر 3: اين سطر 4 فيلد دارد، بيش از 3 ستون سطر اول"},
        {"a row too short", (kHeader + "\n1,1405/01/02\n").toUtf8(), "سطر 2: اين سطر 2 فيلد دارد، كمتر از 3 ستون سطر اول"},
        {"a month that does not exist", (kHeader + "\n1,1405/01/02,a\n2,1405/13/01,b\n").toUtf8(),
         "سطر 3، ستون «تاريخ تولد»: تاريخ 1405/13/01 صحيح نمي باشد؛ ماه صحيح نيست"},
        {"a date with letters", QStringLiteral("تاريخ  تلقيح 2\n1405/1/x\n").toUtf8(),
         "سطر 2، ستون «تاريخ  تلقيح 2»: تاريخ 1405/1/x صحيح نمي باشد؛ جهت تاريخ از اعداد 0 تا 9 استفاده كنيد"},
        {"a value longer than the column", (kHeader + "\n1,1405/01/02," + QString(51, QChar(u'ب')) + "\n").toUtf8(),
         "سطر 2، ستون «نام گوساله»: 51 حرف دارد؛ اين ستون حداكثر 50 حرف مي گيرد"},
        {"a NUL byte", (kHeader + "\n1,1405/01/02,a\n2,").toUtf8() + QByteArray("\0\n", 2),
         "سطر 3: متن فايل نه UTF-8 است و نه Windows-1256"},
        {"an empty file", QByteArray(), "سطر 1: فايل خالي است؛ سطر اول بايد نام ستونها را داشته باشد"},
        {"a bad row after a batch was written", (kHeader + "\r\n" + manyGood + "x,1405/00/01,y\r\n").toUtf8(),
         "سطر 152، ستون «تاريخ تولد»: تاريخ 1405/00/01 صحيح نمي باشد؛ ماه صحيح نيست"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RecordImportReport report = load(c.csv);
        EXPECT_FALSE(report.ok);
        EXPECT_EQ(report.refusal(), QString::fromUtf8(c.refusal));
        EXPECT_EQ(count(), 2);
    }
}

TEST_P(RecordImportTest, DatesAreHeldAgainstTheLengthOfTheirMonth) {
    qint64 added = 0;
    for (const test::DateEdge& edge : test::kDateEdges) {
        SCOPED_TRACE(edge.date);
        const RecordImportReport report = load((kHeader + "\n1," + edge.date + ",a\n").toUtf8());
        EXPECT_EQ(report.ok, test::exists(edge));
        if (!test::exists(edge)) {
            EXPECT_EQ(report.refusal(), QStringLiteral("سطر 2، ستون «تاريخ تولد»: تاريخ %1 صحيح نمي باشد؛ اين ماه بيش از %2 روز ندارد")
                                            .arg(QString::fromLatin1(edge.date))
                                            .arg(edge.daysInMonth));
        }
        EXPECT_EQ(count(), added += test::exists(edge) ? 1 : 0);
    }
}

TEST_P(RecordImportTest, CodesTakeLatinDigitsFormulaGuardsComeOffAndDirectionControlsAreRefused) {
    const QString header = QStringLiteral("شماره ثبت,كد گله,گوش پ مادر تني,وزن,نام گوساله,نام");
    const RecordImportReport report = load((header + QStringLiteral("\n"
                                                                    "۹۸۰۰۰۱۲۳,۱۲۰۷,٤٥٦,۳۵,'=1+2,مي\u200Cرود\n"
                                                                    "'-5,1207,'abc,''@x,'+,'\n")).toUtf8());
    ASSERT_TRUE(report.ok) << report.refusal().toStdString();
    const QList<std::pair<QString, QStringList>> stored = {
        {"شماره ثبت", {"98000123", "-5"}}, {"كد گله", {"1207", "1207"}},  {"گوش پ مادر تني", {"456", "'abc"}},
        {"وزن", {"۳۵", "'@x"}},             {"نام گوساله", {"=1+2", "+"}}, {"نام", {"مي\u200Cرود", "'"}},
    };
    for (const auto& [name, values] : stored) EXPECT_EQ(column(name), values) << name.toStdString();

    const QString reason = QStringLiteral("نويسه نامرئي تغيير جهت متن دارد كه ترتيب نوشته را در چاپ بر هم مي زند؛ "
                                          "آن را پاك كنيد و دوباره بنويسيد");
    for (const QString& control : {QStringLiteral("\u202E"), QStringLiteral("\u2067"), QStringLiteral("\u202A")}) {
        const RecordImportReport refused = load((header + "\n1,2,3,4,5,6\n98" + control + "123,1,2,3,4,5\n").toUtf8());
        EXPECT_EQ(refused.refusal(), QStringLiteral("سطر 3، ستون «شماره ثبت»: ") + reason);
    }
    EXPECT_EQ(count(), 2);
}

TEST_P(RecordImportTest, InvisibleCharactersAreRefusedInCodeAndNumberColumns) {
    const QString reason = QStringLiteral("نويسه نامرئي دارد (مانند فاصله بي عرض يا نيم فاصله) كه در شماره و كد جايي "
                                          "ندارد و آن را با شماره ديگري يكسان نشان مي دهد؛ آن را پاك كنيد و دوباره بنويسيد");
    // Zero-width space, zero-width non-joiner, right-to-left mark, word joiner, byte order mark, soft hyphen.
    for (const char16_t c : {u'\u200B', u'\u200C', u'\u200F', u'\u2060', u'\uFEFF', u'\u00AD'}) {
        SCOPED_TRACE(int(c));
        const QString header = QStringLiteral("شماره ثبت,كد گله,نام گوساله");
        EXPECT_EQ(load((header + "\nIR5,1207,a\nIR6,12" + QChar(c) + "07,b\n").toUtf8()).refusal(),
                  QStringLiteral("سطر 3، ستون «كد گله»: ") + reason);
    }
    EXPECT_EQ(count(), 0);
}

TEST_P(RecordImportTest, ACancelledImportAddsNothing) {
    QString rows = kHeader + QStringLiteral("\n");
    for (int i = 0; i < 250; ++i) rows += QStringLiteral("%1,1405/02/03,x\n").arg(i);
    QByteArray bytes = rows.toUtf8();
    QBuffer file(&bytes);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<qint64> seen;
    const RecordImportReport report = importRecordsCsv(connection, file, [&](qint64 done, qint64 total) {
        EXPECT_EQ(total, bytes.size());
        seen << done;
        return seen.size() < 2;
    });
    EXPECT_TRUE(report.cancelled);
    EXPECT_FALSE(report.ok);
    EXPECT_EQ(seen.size(), 2);
    EXPECT_EQ(count(), 0);
}

TEST_P(RecordImportTest, Utf8AndWindows1256FilesBringTheSameRecordsWithNewIds) {
    ASSERT_TRUE(load((kHeader + "\n1,1405/01/01,a\n2,1405/01/01,b\n").toUtf8()).ok);
    ASSERT_TRUE(store->exec(QStringLiteral("DELETE FROM \"VaskorTemp\" WHERE \"ID\" = 2")));
    // Any columns in any order; "ID" read and left to the store; dates completed as the entry
    // form completes them, Persian digits too; a blank row passed over.
    const QString text = QStringLiteral(
        "ID;نام گوساله;تاريخ  تلقيح 1;كد گله;نام\n"
        "77;ستاره سفيد;1405/9/3;12;\"گاو; نر\"\n"
        ";;;;\n"
        "78;يكتا;۱۴۰۴/۱۲/۲۹;12;\n");
    const RecordImportReport utf8 = load("\xEF\xBB\xBF" + text.toUtf8());
    ASSERT_TRUE(utf8.ok) << utf8.refusal().toStdString();
    EXPECT_EQ(utf8.records, 2);
    const RecordImportReport cp1256 = load(encodeCp1256(QString(text).replace(QLatin1String("\n"), QLatin1String("\r\n"))));
    ASSERT_TRUE(cp1256.ok) << cp1256.refusal().toStdString();
    EXPECT_EQ(column(QStringLiteral("ID")), QStringList({"1", "3", "4", "5", "6"}));
    EXPECT_EQ(column(QStringLiteral("نام گوساله")), QStringList({"a", "ستاره سفيد", "يكتا", "ستاره سفيد", "يكتا"}));
    EXPECT_EQ(column(QStringLiteral("تاريخ  تلقيح 1")),
              QStringList({"<null>", "1405/09/03", "1404/12/29", "1405/09/03", "1404/12/29"}));
    EXPECT_EQ(column(QStringLiteral("نام")), QStringList({"<null>", "گاو; نر", "<null>", "گاو; نر", "<null>"}));
    EXPECT_EQ(column(QStringLiteral("كد گله")), QStringList({"<null>", "12", "12", "12", "12"}));
    // No print date in the file: each record gets the day of the import, as New gives its own.
    EXPECT_EQ(column(QStringLiteral("تاريخ چاپ")), QStringList(5, importDay()));
    ASSERT_TRUE(load(QStringLiteral("شماره ثبت,تاريخ چاپ\n9,\n10,1404/1/2\n").toUtf8()).ok);
    EXPECT_EQ(column(QStringLiteral("تاريخ چاپ")).mid(5), QStringList({importDay(), "1404/01/02"}));
}

INSTANTIATE_TEST_SUITE_P(Engines, RecordImportTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
