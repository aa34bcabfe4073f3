#include "data/pedigree/pedigree.h"
#include "data/pedigree/record_checks.h"
#include "data/tdm.h"

#include "sql_test_database.h"

#include <gtest/gtest.h>

using namespace zartav;
using namespace zartav::pedigree;

namespace {

struct Bull {
    const char* foreign;
    const char* sire = "";
    const char* dam = "";
    const char* siresSire = "";  // GSSir_RegF
    const char* damsSire = "";   // GDSir_RegF
};
struct Cow {
    int id;
    const char* number;
    const char* sire = "";
    const char* dam = "";
};

class PedigreeTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
    }

    void fill(const QList<Bull>& bulls, const QList<Cow>& cows) {
        ASSERT_TRUE(store->exec(QStringLiteral("DELETE FROM \"VaskorTemp\"")));
        ASSERT_TRUE(store->exec(QStringLiteral("DELETE FROM \"DosSperm\"")));
        for (const Bull& b : bulls)
            ASSERT_TRUE(store->exec(QStringLiteral("INSERT INTO \"DosSperm\" (\"Name_Sp\", \"RegNo_SPF\", \"Sire_Reg_F\", "
                                                   "\"Dam_RegNo\", \"GSSir_RegF\", \"GDSir_RegF\") VALUES "
                                                   "('bull %1', '%1', '%2', '%3', '%4', '%5')")
                                        .arg(QString::fromUtf8(b.foreign), QString::fromUtf8(b.sire), QString::fromUtf8(b.dam),
                                             QString::fromUtf8(b.siresSire), QString::fromUtf8(b.damsSire))));
        QStringList rows;
        for (const Cow& c : cows)
            rows << QStringLiteral("%1, '%2', '%3', '%4'")
                        .arg(c.id)
                        .arg(QString::fromUtf8(c.number), QString::fromUtf8(c.sire), QString::fromUtf8(c.dam));
        ASSERT_TRUE(store->insertRecords({"ID", "شماره ثبت", "ثبت خارجي", "ثبت مادر تني"}, rows));
    }

    std::optional<Pedigree> of(qint64 id) {
        AnimalReader reader(dm.Maincon);
        Animal root;
        QString error;
        EXPECT_TRUE(reader.record(id, root, &error)) << error.toStdString();
        std::optional<Pedigree> p = Pedigree::read(reader, root, &error);
        EXPECT_TRUE(p) << error.toStdString();
        return p;
    }

    TDM dm;
};

}  // namespace

TEST_P(PedigreeTest, InbreedingOfKnownPedigrees) {
    struct Case {
        const char* name;
        QList<Bull> bulls;
        QList<Cow> cows;
        double f;
    };
    const Case cases[] = {
        {"parent x offspring", {{"B"}}, {{1, "C", "B"}, {2, "K", "B", "C"}}, 0.25},
        {"full sibs", {{"P"}, {"S", "P", "Q"}}, {{1, "Q"}, {2, "D", "P", "Q"}, {3, "K", "S", "D"}}, 0.25},
        {"half sibs", {{"P"}, {"S", "P", "Q1"}}, {{2, "D", "P", "Q2"}, {3, "K", "S", "D"}}, 0.125},
        {"first cousins",
         {{"P"}, {"A", "P", "Q"}, {"S", "A", "R1"}},
         {{1, "Q"}, {2, "B", "P", "Q"}, {3, "D", "X", "B"}, {4, "K", "S", "D"}},
         0.0625},
        {"unrelated founders", {{"S"}}, {{1, "D"}, {2, "K", "S", "D"}}, 0},
        {"unknown parents", {}, {{2, "K", "S", "D"}}, 0},
        // P is the sire's sire and the dam's dam's dam's sire: (1/2)^(1 + 3 + 1).
        {"common ancestor at different depths",
         {{"P"}, {"S", "P"}},
         {{1, "M3", "P"}, {2, "M2", "Y", "M3"}, {3, "D", "Z", "M2"}, {4, "K", "S", "D"}},
         0.03125},
        // The sire's sire X and the sire's dam M are found nowhere; their sires G and H only in
        // the bull's grandparent columns. The dam is G's daughter: (1/2)^(2 + 1 + 1).
        {"ancestors known only through the catalogue", {{"S", "X", "M", "G", "H"}}, {{1, "D", "G"}, {2, "K", "S", "D"}}, 0.0625},
        {"both grandsires through the catalogue",
         {{"S", "X", "M", "G", "H"}},
         {{1, "E", "H"}, {2, "D", "G", "E"}, {3, "K", "S", "D"}},
         0.09375},  // G: (1/2)^4, H: (1/2)^5
        // Numbers typed with Persian digits, blanks and small letters are the same animals.
        {"Persian digits", {{"IRN12"}, {"USA7", "irn ۱۲", "1001"}}, {{1, "1001"}, {2, "۲۰۰۲", "IRN١٢", "۱۰۰۱"}, {3, "K", "usa۷", "2002"}}, 0.25},
    };
    for (const Case& c : cases) {
        fill(c.bulls, c.cows);
        std::optional<Pedigree> p = of(c.cows.last().id);
        ASSERT_TRUE(p) << c.name;
        EXPECT_NEAR(p->inbreeding(), c.f, 1e-12) << c.name;
    }
}

TEST_P(PedigreeTest, PositionsCompletenessAndLoops) {
    // The dam and granddam are records; the sire's dam is named by the catalogue alone.
    fill({{"S", "SS", "SD"}}, {{1, "DD"}, {2, "D", "DS", "DD"}, {3, "K", "S", "D"}});
    std::optional<Pedigree> p = of(3);
    ASSERT_TRUE(p);
    const struct {
        const char* position;
        Source source;
        const char* number;
    } known[] = {{"S", Source::Catalogue, "S"}, {"D", Source::Record, "D"},   {"SS", Source::Number, "SS"},
                 {"SD", Source::Number, "SD"},  {"DS", Source::Number, "DS"}, {"DD", Source::Record, "DD"}};
    for (const auto& k : known) {
        const int at = p->at(QString::fromLatin1(k.position));
        ASSERT_GE(at, 0) << k.position;
        EXPECT_EQ(p->node(at).animal.source, k.source) << k.position;
        EXPECT_EQ(p->node(at).animal.number, QString::fromUtf8(k.number)) << k.position;
    }
    EXPECT_EQ(p->at(QStringLiteral("SSS")), -1);
    EXPECT_NEAR(p->completeness(), 6.0 / 14.0, 1e-12);
    EXPECT_NEAR(p->completeness(1), 1.0, 1e-12);
    EXPECT_EQ(Pedigree::positions(2), QStringList({"S", "D", "SS", "SD", "DS", "DD"}));

    // A cow recorded as her own granddam: the loop loses a link, the pedigree still reads.
    fill({}, {{1, "A", "", "B"}, {2, "B", "", "A"}, {3, "K", "S", "A"}});
    p = of(3);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->inbreeding(), 0);
}

TEST_P(PedigreeTest, MatingInbreedingForEveryBull) {
    // Bulls P, S (son of P) and U (unrelated); the dam is P's daughter.
    fill({{"P"}, {"S", "P"}, {"U"}}, {{1, "D", "P"}});
    AnimalReader reader(dm.Maincon);
    PedigreeGraph graph;
    for (const char* bull : {"P", "S", "U"}) {
        AnimalReader::Found found;
        ASSERT_TRUE(reader.find({QString::fromLatin1(bull)}, {}, found));
        graph.add(found.catalogue.value(QString::fromLatin1(bull)));
    }
    Animal dam;
    ASSERT_TRUE(reader.record(1, dam));
    const int d = graph.add(dam);
    ASSERT_TRUE(graph.complete(reader));
    const QVector<double> f = graph.matingInbreeding(d);
    EXPECT_NEAR(f[graph.nodeOf(QStringLiteral("c1"))], 0.25, 1e-12);   // sire x daughter
    EXPECT_NEAR(f[graph.nodeOf(QStringLiteral("c2"))], 0.125, 1e-12);  // half brother
    EXPECT_NEAR(f[graph.nodeOf(QStringLiteral("c3"))], 0, 1e-12);
}

TEST(PedigreeText, FoldingAndPercentages) {
    EXPECT_EQ(fold(QStringLiteral(" usa ۱۲٣\u00A04b ")), QStringLiteral("USA1234B"));
    EXPECT_EQ(percentText(0.125), QStringLiteral("12.5 %"));
    EXPECT_EQ(percentText(0.0625), QStringLiteral("6.25 %"));
    EXPECT_EQ(percentText(0.0625, 1), QStringLiteral("6.3 %"));
    EXPECT_EQ(percentText(0.25), QStringLiteral("25 %"));
    EXPECT_EQ(percentText(0), QStringLiteral("0 %"));
}

INSTANTIATE_TEST_SUITE_P(Engines, PedigreeTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
