#include "data/tdm.h"
#include "entry/catalogue_import.h"
#include "entry/catalogue_search.h"
#include "util/cp1256.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zartav;
using namespace zartav::catalogue;

namespace {

class CatalogueDb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(connection.open(dbPath()));
    }
    QString dbPath() const { return dir.filePath("Data.db"); }
    QSqlDatabase db() const { return connection.database(); }

    ImportResult load(const QByteArray& csv) { return importCatalogueCsv(db(), csv); }

    QList<QStringList> rows(const QStringList& columns) const {
        QList<QStringList> out;
        QSqlQuery q(db());
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT [%1] FROM DosSperm ORDER BY rowid").arg(columns.join("], ["))));
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < columns.size(); ++i) row << q.value(i).toString();
            out << row;
        }
        return out;
    }

    QTemporaryDir dir;
    Connection connection;
};

const QByteArray kBulls =
    "Name_Sp,Code_Sp,RegNo_SPF,RegNo_Sp\n"
    "Alpha,A1,USA000111,IR100\n"
    "Bravo,B2,CAN000222,IR200\n"
    "Charlie,C3,USA000333,IR300\n"
    "Quote,Q4,\"O'NEIL 50%\",IR400\n";

}  // namespace

TEST_F(CatalogueDb, ImportLoadsRowsInFileOrderAndReplacesTheCatalogue) {
    ImportResult r = load(kBulls);
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.rows, 4);
    r = load("NAME_SP,regno_spf,Unknown Column,Breeder\n"
             "\"Delta, Jr\",NZL9,ignored,\"خانه پرورش\"\n"
             "Echo,NZL8,,\n");
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.rows, 2);
    const QList<QStringList> expected = {
        {"Delta, Jr", "NZL9", "", "خانه پرورش"},
        {"Echo", "NZL8", "", ""},
    };
    EXPECT_EQ(rows({"Name_Sp", "RegNo_SPF", "Code_Sp", "Breeder"}), expected);
}

TEST_F(CatalogueDb, ImportReadsWindows1256SemicolonFiles) {
    const QByteArray csv = encodeCp1256(QStringLiteral("Name_Sp;RegNo_SPF;Breeder\nآلفا;IRN1;مزرعه نمونه\n"));
    const ImportResult r = load(csv);
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(rows({"Name_Sp", "RegNo_SPF", "Breeder"}),
              QList<QStringList>({{"آلفا", "IRN1", "مزرعه نمونه"}}));
}

TEST_F(CatalogueDb, MalformedFilesChangeNothingAndNameTheLine) {
    ASSERT_TRUE(load(kBulls).ok());
    struct Case {
        const char* name;
        QByteArray csv;
        int line;
    };
    const Case cases[] = {
        {"too many fields", "Name_Sp,RegNo_SPF\nA,1\nB,2,3\n", 3},
        {"too few fields", "Name_Sp,RegNo_SPF\nA,1\nB\n", 3},
        {"open quote", "Name_Sp,RegNo_SPF\nA,1\n\"B,2\n", 3},
        {"value too long", "Name_Sp,RegNo_SPF\nA,1\nB," + QByteArray(51, 'x') + "\n", 3},
        {"no catalogue column", "Bull,Number\nA,1\n", 1},
        {"column named twice", "Name_Sp,name_sp\nA,B\n", 1},
        {"empty file", "", 0},
        {"a direction control", "Name_Sp,RegNo_SPF\nA,1\nB,\xE2\x80\xAE" "2\n", 3},  // U+202E
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ImportResult r = load(c.csv);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.errorLine, c.line) << r.error.toStdString();
        EXPECT_EQ(rows({"Name_Sp"}).size(), 4);
    }
    // A broken quote is told in the words the record import uses.
    EXPECT_EQ(load("Name_Sp,RegNo_SPF\nA,\"1\n").error, QStringLiteral("علامت \" باز شده و تا پايان فايل بسته نشده است"));
    EXPECT_EQ(load("Name_Sp\n\xE2\x81\xA6" "A\n").error,  // U+2066
              QStringLiteral("ستون «Name_Sp»: نويسه نامرئي تغيير جهت متن دارد كه ترتيب نوشته را در چاپ بر هم مي زند؛ "
                             "آن را پاك كنيد و دوباره بنويسيد"));
}

// One rule for every letter: full Unicode case folding, and the digits the Persian keyboard
// types read as 0-9. The first match in the catalogue's own order wins.
TEST(ForeignRegSearch, FirstRowWhoseNumberBeginsWithTheTypedText) {
    ForeignRegSearch search;
    search.reset({"USA000111", "CAN000222", "USA000333", "O'NEIL 50%", "ÄRZ-7", "ΣIGMA", "", "IRN1234"});
    struct Case {
        const char* typed;
        int row;
    };
    const Case cases[] = {
        {"USA", 0},  {"usa000333", 2}, {"CAN", 1},   {"USA0004", -1}, {"O'NEIL 50%", 3}, {"%", -1},
        {"_", -1},   {"ärz", 4},       {"σig", 5},   {"IRN۱۲", 7},    {"irn١٢٣٤", 7},    {" USA", -1},
        {"", -1},    {"USA0001110", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(search.find(QString::fromUtf8(c.typed)), c.row);
    }
    search.reset({});
    EXPECT_EQ(search.find(QStringLiteral("USA")), -1);
}

// Loading a catalogue changes nothing but its rows: no index of ours joins the file.
TEST_F(CatalogueDb, ImportAddsNoIndex) {
    ASSERT_TRUE(load(kBulls).ok());
    QSqlQuery q(db());
    // The store's own folded registration numbers aside.
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'DosSperm' "
                       "AND name NOT LIKE 'ix_DosSperm_number_%'") && q.next());
    EXPECT_EQ(q.value(0).toInt(), 0);
}

TEST(ImportCatalogueCommand, LoadsAFileAndRefusesAMalformedOne) {
    QTemporaryDir dir;
    const QString db = dir.filePath("Data.db");
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    auto run = [](const QStringList& args, QString* out = nullptr, QString* err = nullptr) {
        QProcess p;
        p.start(ZARTAV_CLI, QStringList{"import-catalogue"} + args);
        EXPECT_TRUE(p.waitForFinished(30000));
        if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
        if (err) *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    QString out, err;
    EXPECT_EQ(run({"--db", db, write("good.csv", kBulls)}, &out), 0);
    EXPECT_TRUE(out.contains("4 catalogue rows")) << out.toStdString();
    EXPECT_EQ(run({"--db", db, write("bad.csv", "Name_Sp\nA\n\"B\n")}, nullptr, &err), 1);
    EXPECT_TRUE(err.contains("line 3")) << err.toStdString();
    EXPECT_EQ(run({"--db", db}), 2);

    Connection connection;
    ASSERT_TRUE(connection.open(db));
    QSqlQuery q(connection.database());
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM DosSperm") && q.next());
    EXPECT_EQ(q.value(0).toInt(), 4);
}
