#include "cli_run.h"
#include "data/tdm.h"
#include "dates/calendar.h"

#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace zartav;

namespace {

// A calf whose dam and granddam are records of the store and whose sire is a bull of the
// catalogue; the sire's sire is its dam's sire too (half sibs: 12.5 %).
class PedigreeCliTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        {
            TDM dm;
            ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
        }
        ASSERT_TRUE(store->exec(QStringLiteral("INSERT INTO \"DosSperm\" (\"Name_Sp\", \"RegNo_SPF\", \"Sire_Reg_F\", \"Sire_Name\") "
                                               "VALUES ('ستاره', 'USA100', 'USA9', 'پدربزرگ')")));
        ASSERT_TRUE(store->insertRecords(
            {"ID", "كد گله", "شماره ثبت", "نام گوساله", "جنس گوساله", "تاريخ تولد", "تاريخ منجر به باروري", "ثبت خارجي", "ثبت مادر تني", "گوش ف"},
            {"1, '7', '500', 'مادربزرگ', 'ماده', '1398/01/01', '', '', '', ''",
             "2, '7', '600', 'مادر', 'ماده', '1402/01/01', '', 'usa 9', '۵۰۰', '77'",
             // Born 255 days after its conception, to a dam 19 months old; its sire is no bull.
             "3, '7', '700', 'گوساله', 'نر', '1403/08/10', '1402/11/29', 'USA100', '600', ''",
             "4, '8', '800', 'ديگري', 'نر', '1403/01/01', '', 'XX1', '', '77'"}));
    }
    QString db() const { return store->address(); }
};

}  // namespace

TEST_P(PedigreeCliTest, PedigreeInbreedingAndCheck) {
    const test::CliRun pedigree = test::runCli({"pedigree", "--db", db(), "--id", "3", "--generations", "2"});
    ASSERT_EQ(pedigree.status, 0) << pedigree.err.toStdString();
    EXPECT_EQ(pedigree.out.toStdString(), std::string("S\tUSA100\tستاره\tcatalogue\n"
                                           "D\t600\tمادر\trecord 2\n"
                                           "SS\tUSA9\tپدربزرگ\tnamed only\n"
                                           "SD\t\t\tunknown\n"
                                           "DS\tUSA9\tپدربزرگ\tnamed only\n"  // the same bull as SS
                                           "DD\t500\tمادربزرگ\trecord 1\n"));

    const test::CliRun inbreeding = test::runCli({"inbreeding", "--db", db(), "--id", "3"});
    ASSERT_EQ(inbreeding.status, 0) << inbreeding.err.toStdString();
    EXPECT_EQ(inbreeding.out, QStringLiteral("12.5 %\npedigree 35.7 % complete over 3 generations\n"));

    const test::CliRun check = test::runCli({"check", "--db", db()});
    ASSERT_EQ(check.status, 0) << check.err.toStdString();
    EXPECT_EQ(check.out.toStdString(), std::string("2\t600\tگوش فلزي تكراري\tركورد ID 4 همين گوش فلزي را دارد\n"
                                        "2\t600\tپدر در كاتالوگ نيست\tهيچ گاو كاتالوگ شماره «usa 9» را ندارد\n"
                                        "3\t700\tمادر كمتر از 20 ماه\tمادر (ID 2) در 1402/01/01 به دنيا آمده و در تولد گوساله (1403/08/10) كمتر از 20 ماه داشته است\n"
                                        "3\t700\tطول آبستني\tاز تاريخ منجر به باروري تا تاريخ تولد 256 روز است، نه 260 تا 300 روز\n"
                                        "4\t800\tگوش فلزي تكراري\tركورد ID 2 همين گوش فلزي را دارد\n"
                                        "4\t800\tپدر در كاتالوگ نيست\tهيچ گاو كاتالوگ شماره «XX1» را ندارد\n"
                                        "6 findings\n"));

    const QString csv = store->folder() + QStringLiteral("/herd.csv");
    const test::CliRun herd = test::runCli({"check", "--db", db(), "--herd", "۸", csv});
    ASSERT_EQ(herd.status, 0) << herd.err.toStdString();
    EXPECT_EQ(herd.out, QStringLiteral("2 findings\n"));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(),
              std::string("\xEF\xBB\xBFID,شماره ثبت,بررسي,شرح\r\n"
                             "4,800,گوش فلزي تكراري,ركورد ID 2 همين گوش فلزي را دارد\r\n"
                             "4,800,پدر در كاتالوگ نيست,هيچ گاو كاتالوگ شماره «XX1» را ندارد\r\n"));
}

TEST_P(PedigreeCliTest, WrongCommandLinesAndMissingRecords) {
    const struct {
        QStringList args;
        int status;
    } cases[] = {
        {{"pedigree", "--db", db()}, 2},
        {{"pedigree", "--db", db(), "--id", "x"}, 2},
        {{"pedigree", "--db", db(), "--id", "3", "--generations", "0"}, 2},
        {{"inbreeding", "--db", db(), "--id", "3", "--generations", "2"}, 2},
        {{"inbreeding", "--db", db(), "--id", "99"}, 1},
        {{"check", "--db", db(), "out.xlsx"}, 2},
        {{"check"}, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(test::runCli(c.args).status, c.status) << c.args.join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, PedigreeCliTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
