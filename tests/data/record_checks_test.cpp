#include "data/pedigree/record_checks.h"
#include "data/tdm.h"

#include "sql_test_database.h"

#include <gtest/gtest.h>

using namespace zartav;
using namespace zartav::checks;

namespace {

const calendar::SolarDate kToday{1405, 9, 18};

QString daysBefore(const char* date, int days) {
    const QStringList p = QString::fromLatin1(date).split('/');
    const calendar::SolarDate d{p[0].toInt(), p[1].toInt(), p[2].toInt()};
    const calendar::SolarDate c = calendar::fromDayNumber(calendar::toDayNumber(d) - days);
    return QStringLiteral("%1/%2/%3").arg(c.year).arg(c.month, 2, 10, QChar('0')).arg(c.day, 2, 10, QChar('0'));
}

QList<Check> checksOf(const Facts& f) {
    QList<Check> all;
    for (const Finding& finding : findingsOf(f, kToday)) all << finding.check;
    return all;
}

}  // namespace

TEST(RecordChecks, EachCheckAtItsEdges) {
    auto with = [](auto change) {
        Facts f;
        f.birth = QStringLiteral("1404/09/15");
        change(f);
        return f;
    };
    struct Case {
        const char* name;
        Facts facts;
        QList<Check> fired;
    };
    const Case cases[] = {
        {"born today", with([](Facts& f) { f.birth = "1405/09/18"; }), {}},
        {"born tomorrow", with([](Facts& f) { f.birth = "1405/09/19"; }), {Check::BirthAfterToday}},
        {"born tomorrow, short year", with([](Facts& f) { f.birth = "05/9/19"; }), {Check::BirthAfterToday}},
        {"dam 20 months to the day", with([](Facts& f) { f.damId = 7, f.damSex = "ماده", f.damBirth = "1403/01/15"; }), {}},
        {"dam a day short of 20 months", with([](Facts& f) { f.damId = 7, f.damBirth = "1403/01/16"; }), {Check::DamTooYoung}},
        // 20 months after the 31st of Tir is the last of Esfand, a common year's 29th.
        {"dam of a month's last day", with([](Facts& f) { f.birth = "1404/12/29", f.damId = 7, f.damBirth = "1403/04/31"; }), {}},
        {"dam of a month's last day, a day short", with([](Facts& f) { f.birth = "1404/12/28", f.damId = 7, f.damBirth = "1403/04/31"; }), {Check::DamTooYoung}},
        {"dam born after her calf", with([](Facts& f) { f.damId = 7, f.damBirth = "1404/10/01"; }), {Check::DamTooYoung}},
        {"male dam", with([](Facts& f) { f.damId = 7, f.damSex = "نر"; }), {Check::DamNotFemale}},
        {"freemartin male dam", with([](Facts& f) { f.damId = 7, f.damSex = "فري مارتين نر"; }), {Check::DamNotFemale}},
        {"freemartin female dam", with([](Facts& f) { f.damId = 7, f.damSex = "فري مارتين ماده"; }), {}},
        {"no dam record, no dam checks", with([](Facts& f) { f.damSex = "نر", f.damBirth = "1404/09/01"; }), {}},
        {"gestation 259 days", with([](Facts& f) { f.conception = daysBefore("1404/09/15", 259); }), {Check::Gestation}},
        {"gestation 260 days", with([](Facts& f) { f.conception = daysBefore("1404/09/15", 260); }), {}},
        {"gestation 300 days", with([](Facts& f) { f.conception = daysBefore("1404/09/15", 300); }), {}},
        {"gestation 301 days", with([](Facts& f) { f.conception = daysBefore("1404/09/15", 301); }), {Check::Gestation}},
        {"a date that names no day is not checked", with([](Facts& f) { f.conception = "1404/07/31"; }), {}},
        {"same registration number", with([](Facts& f) { f.sameNumber = 3; }), {Check::SameNumber}},
        {"same ear tags", with([](Facts& f) { f.sameMetalTag = 3, f.samePlasticTag = 4; }), {Check::SameMetalTag, Check::SamePlasticTag}},
        {"sire in the catalogue", with([](Facts& f) { f.sireForeign = "USA1", f.sireForeignKnown = true; }), {}},
        {"sire nowhere", with([](Facts& f) { f.sireForeign = "USA1", f.sireDomestic = " "; }), {Check::UnknownSire}},
    };
    for (const Case& c : cases) EXPECT_EQ(checksOf(c.facts), c.fired) << c.name;
}

TEST(RecordChecks, WarningsReadInFarsi) {
    Facts f;
    f.birth = QStringLiteral("1405/09/20");
    f.sameNumber = 12;
    f.sireDomestic = QStringLiteral("IR55");
    const QString text = confirmationText(findingsOf(f, kToday));
    EXPECT_EQ(text, QStringLiteral("پيش از ثبت اين شناسنامه به اين موارد توجه كنيد:\n"
                                   "• تاريخ تولد بعد از امروز: تاريخ تولد 1405/09/20 است و امروز 1405/09/18\n"
                                   "• شماره ثبت تكراري: ركورد ID 12 همين شماره ثبت را دارد\n"
                                   "• پدر در كاتالوگ نيست: هيچ گاو كاتالوگ شماره «IR55» را ندارد\n\n"
                                   "با اين حال ذخيره شود؟"));
}

class RecordChecksStore : public test::StoreEngineTest {};

TEST_P(RecordChecksStore, FactsFromTheStoreAndFromTheForm) {
    ASSERT_TRUE(store);
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
    ASSERT_TRUE(store->exec(QStringLiteral("INSERT INTO \"DosSperm\" (\"RegNo_SPF\", \"RegNo_Sp\") VALUES ('USA1', 'IR9')")));
    // ID, herd, registration number, metal tag, plastic tag, sex, birth, sire foreign, domestic, dam.
    ASSERT_TRUE(store->insertRecords({"ID", "كد گله", "شماره ثبت", "گوش ف", "گوش پ", "جنس گوساله", "تاريخ تولد", "ثبت خارجي", "ثبت داخلي", "ثبت مادر تني"},
                                     {"1, '10', 'D1', '11', '', 'نر', '1400/01/01', '', '', ''",
                                      "2, '10', 'K', '55', '', 'ماده', '1404/01/01', 'usa 1', 'Z9', 'd۱'",
                                      "3, '20', 'K', '۵۵', '', 'ماده', '1404/01/01', '', '', ''",
                                      "4, '20', 'D1', '', '', 'ماده', '1401/01/01', '', 'ir۹', 'D1'"}));
    QList<Facts> all;
    QString why;
    ASSERT_TRUE(forEachRecord(dm.Maincon, std::nullopt, [&](const Facts& f) { return all << f, true; }, &why))
        << why.toStdString();
    ASSERT_EQ(all.size(), 4);
    EXPECT_EQ(all[1].damId, 1);  // the lowest "ID" carrying the number
    EXPECT_EQ(all[1].damSex, QStringLiteral("نر"));
    EXPECT_EQ(all[1].sameNumber, 3);
    EXPECT_EQ(all[1].sameMetalTag, 3);
    EXPECT_EQ(all[1].samePlasticTag, 0);  // empty tags are no one's
    EXPECT_TRUE(all[1].sireForeignKnown);
    EXPECT_FALSE(all[1].sireDomesticKnown);
    EXPECT_EQ(all[3].damId, 1);  // not itself
    EXPECT_TRUE(all[3].sireDomesticKnown);
    EXPECT_EQ(all[0].sameNumber, 4);

    QList<qint64> herd;
    ASSERT_TRUE(forEachRecord(dm.Maincon, QStringLiteral("۲۰"), [&](const Facts& f) { return herd << f.id, true; }));
    EXPECT_EQ(herd, QList<qint64>({3, 4}));

    // A record being typed, not saved yet.
    const QHash<QString, QString> typed = {{"شماره ثبت", "k"}, {"ثبت مادر تني", "D 1"}, {"گوش پ", ""}, {"ثبت داخلي", "IR9"}};
    QString error;
    const std::optional<Facts> f = factsOf(dm.Maincon, 0, [&](const char* c) { return typed.value(QString::fromUtf8(c)); }, &error);
    ASSERT_TRUE(f) << error.toStdString();
    EXPECT_EQ(f->damId, 1);
    EXPECT_EQ(f->sameNumber, 2);
    EXPECT_EQ(f->sameMetalTag, 0);
    EXPECT_TRUE(f->sireDomesticKnown);
    // Saved as record 2, it is not its own duplicate.
    EXPECT_EQ(factsOf(dm.Maincon, 2, [&](const char* c) { return typed.value(QString::fromUtf8(c)); })->sameNumber, 3);

    // Read a few records a statement, the walk gives the same facts, each record once, in order,
    // and a hand-made record numbered 0 is not passed over.
    ASSERT_TRUE(store->insertRecords({"ID", "كد گله", "شماره ثبت", "گوش ف"}, {"0, '20', 'Z', '99'"}));
    auto walk = [&](const std::optional<QString>& herd, int chunk) {
        QStringList seen;
        EXPECT_TRUE(forEachRecord(dm.Maincon, herd, [&](const Facts& f) {
            return seen << QStringLiteral("%1:%2,%3,%4,%5").arg(f.id).arg(f.damId).arg(f.sameNumber).arg(f.sameMetalTag).arg(f.damSex), true;
        }, nullptr, chunk));
        return seen;
    };
    const QStringList whole = {"0:0,0,0,", "1:0,4,0,", "2:1,3,3,نر", "3:0,2,2,", "4:1,1,0,نر"};
    for (const int chunk : {1, 2, 5, 6}) EXPECT_EQ(walk(std::nullopt, chunk), whole) << chunk;
    EXPECT_EQ(walk(QStringLiteral("20"), 2), QStringList({"0:0,0,0,", "3:0,2,2,", "4:1,1,0,نر"}));
}

TEST_P(RecordChecksStore, InvisibleCharactersAreFoldedAwayWhenNumbersAreCompared) {
    ASSERT_TRUE(store);
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
    ASSERT_TRUE(store->exec(QStringLiteral("INSERT INTO \"DosSperm\" (\"RegNo_SPF\", \"RegNo_Sp\") VALUES ('USA1', 'IR9')")));
    QStringList rows{QStringLiteral("1, 'IR5', '11', 'USA1'")};
    // Zero-width space, zero-width non-joiner, right-to-left mark, word joiner, byte order mark, soft hyphen,
    // as a store written before they were refused may hold them.
    const char16_t invisibles[] = {0x200B, 0x200C, 0x200F, 0x2060, 0xFEFF, 0x00AD};
    for (int i = 0; i < 6; ++i) {
        const QString c(QChar(invisibles[i]));
        rows << QString::number(10 + i) + QStringLiteral(", 'IR") + c + QStringLiteral("5', '1") + c +
                    QStringLiteral("1', 'US") + c + QStringLiteral("A1'");
    }
    ASSERT_TRUE(store->insertRecords({"ID", "شماره ثبت", "گوش ف", "ثبت خارجي"}, rows));
    QList<Facts> all;
    ASSERT_TRUE(forEachRecord(dm.Maincon, std::nullopt, [&](const Facts& f) { return all << f, true; }));
    ASSERT_EQ(all.size(), 7);
    for (int i = 1; i < 7; ++i) {
        SCOPED_TRACE(int(invisibles[i - 1]));
        EXPECT_EQ(all[i].sameNumber, 1);
        EXPECT_EQ(all[i].sameMetalTag, 1);
        EXPECT_TRUE(all[i].sireForeignKnown);
    }
    // The same for a number being typed.
    const QHash<QString, QString> typed = {{"شماره ثبت", QStringLiteral("IR\u200B5")}, {"ثبت خارجي", QStringLiteral("USA\u00AD1")}};
    const std::optional<Facts> f = factsOf(dm.Maincon, 0, [&](const char* c) { return typed.value(QString::fromUtf8(c)); });
    ASSERT_TRUE(f);
    EXPECT_EQ(f->sameNumber, 1);
    EXPECT_TRUE(f->sireForeignKnown);
}

INSTANTIATE_TEST_SUITE_P(Engines, RecordChecksStore, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
