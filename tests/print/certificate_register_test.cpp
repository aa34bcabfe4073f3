#include "data/certificate_register.h"
#include "data/store_integrity.h"
#include "data/tdm.h"
#include "print/certificate_issuer.h"
#include "print/certificate_source.h"
#include "print/certificate_verify.h"

#include "sql_test_database.h"

#include <gtest/gtest.h>

using namespace zartav;
using namespace zartav::print;

namespace {

class RegisterTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
        ASSERT_TRUE(store->insertRecords({"ID", "شماره ثبت", "تاريخ تولد", "جنس گوساله", "نام گوساله"},
                                         {"1, 'IR1001', '1403/02/14', 'ماده', 'گلاره'",
                                          "2, 'IR1002', '1403/05/01', 'نر', 'طوفان'"}));
    }

    // Prints record `id` once through `issuer`, as a print job does.
    std::optional<CertificateRecord> print(CertificateIssuer& issuer, qint64 id) {
        StoredCertificates source(dm.Maincon, {id});
        std::optional<CertificateRecord> record = source.record(0);
        QString error;
        if (!record || !issuer.issue(*record, &error)) {
            ADD_FAILURE() << "not issued: " << error.toStdString();
            return std::nullopt;
        }
        return record;
    }

    TDM dm;
    SigningKey key = newSigningKey();
};

}  // namespace

TEST_P(RegisterTest, NumbersDuplicatesAndSupersededIssues) {
    CertificateIssuer issuer(dm.Maincon, key, QStringLiteral("دفتر مركزي"));
    struct Step {
        const char* what;
        qint64 record;
        const char* edit;  // an UPDATE of the record before printing, or none
        qint64 number;
        bool duplicate;
        qint64 superseded;
    };
    const Step steps[] = {
        {"first print", 1, nullptr, 1, false, 0},
        {"again, unchanged", 1, nullptr, 1, true, 0},
        {"another record", 2, nullptr, 2, false, 0},
        {"after an edit", 1, "UPDATE \"VaskorTemp\" SET \"تاريخ تولد\" = '1403/02/15' WHERE \"ID\" = 1", 3, false, 1},
        {"the edited record again", 1, nullptr, 3, true, 0},
    };
    for (const Step& s : steps) {
        if (s.edit) {
            ASSERT_TRUE(store->exec(QString::fromUtf8(s.edit)));
        }
        const std::optional<CertificateRecord> printed = print(issuer, s.record);
        ASSERT_TRUE(printed && printed->seal) << s.what;
        EXPECT_EQ(printed->seal->number, s.number) << s.what;
        EXPECT_EQ(printed->seal->duplicate, s.duplicate) << s.what;
        EXPECT_EQ(issuer.issued().last().superseded, s.superseded) << s.what;
    }
    QSqlDatabase db = dm.Maincon.database();
    const std::optional<certificates::Issue> first = certificates::findIssue(db, 1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->supersededBy, 3);
    EXPECT_EQ(first->copies, 2);
    EXPECT_FALSE(first->desk.isEmpty());
    EXPECT_EQ(store->scalar("SELECT count(*) FROM \"CertificateIssues\"").toInt(), 3);
    // One current issue per record, whoever writes the store.
    EXPECT_FALSE(store->exec("UPDATE \"CertificateIssues\" SET \"supersededBy\" = NULL WHERE \"number\" = 1"));
}

TEST_P(RegisterTest, VerdictsAgainstTheStore) {
    QSqlDatabase db = dm.Maincon.database();
    ASSERT_TRUE(certificates::addPublicKey(db, key.publicKey, QString::fromLatin1(keyFingerprint(key.publicKey).toHex())));
    CertificateIssuer issuer(dm.Maincon, key, QStringLiteral("دفتر مركزي"));
    const std::optional<CertificateRecord> one = print(issuer, 1);
    const std::optional<CertificateRecord> two = print(issuer, 2);
    ASSERT_TRUE(one && two);
    const QByteArray payload = one->seal->payload;
    EXPECT_EQ(verifyPayload(payload, &dm.Maincon, std::nullopt).verdict, Verdict::Genuine);

    // Edited after the issue: superseded, naming the column.
    ASSERT_TRUE(store->exec("UPDATE \"VaskorTemp\" SET \"جنس گوساله\" = 'نر' WHERE \"ID\" = 1"));
    const Verification edited = verifyPayload(payload, &dm.Maincon, std::nullopt);
    EXPECT_EQ(edited.verdict, Verdict::Superseded);
    EXPECT_EQ(edited.changed, QStringList{QStringLiteral("جنس گوساله")});
    EXPECT_TRUE(edited.farsi.contains(QStringLiteral("جنس گوساله"))) << edited.farsi.toStdString();

    // Deleted: superseded, and says so.
    ASSERT_TRUE(store->exec("DELETE FROM \"VaskorTemp\" WHERE \"ID\" = 2"));
    const Verification deleted = verifyPayload(two->seal->payload, &dm.Maincon, std::nullopt);
    EXPECT_EQ(deleted.verdict, Verdict::Superseded);
    EXPECT_TRUE(deleted.recordDeleted);

    // A key the store does not hold, and a new key that keeps the old one.
    const SigningKey next = newSigningKey();
    CertificateIssuer stranger(dm.Maincon, next, {});
    const std::optional<CertificateRecord> unknown = print(stranger, 1);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(verifyPayload(unknown->seal->payload, &dm.Maincon, std::nullopt).verdict, Verdict::UnknownKey);
    ASSERT_TRUE(certificates::addPublicKey(db, next.publicKey, QString::fromLatin1(keyFingerprint(next.publicKey).toHex())));
    EXPECT_EQ(verifyPayload(unknown->seal->payload, &dm.Maincon, std::nullopt).verdict, Verdict::Genuine);
    EXPECT_EQ(certificates::publicKeys(db)->size(), 2);
    EXPECT_EQ(verifyPayload(payload, &dm.Maincon, std::nullopt).verdict, Verdict::Superseded);
}

TEST_P(RegisterTest, OfficeTextsDefaultUntilSetAndReachTheLayout) {
    QSqlDatabase db = dm.Maincon.database();
    std::optional<QHash<QString, QString>> texts = certificates::readOfficeTexts(db);
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->value("ministry"), QStringLiteral("redaz oviv azodeze"));
    EXPECT_EQ(texts->value("office"), QString());
    ASSERT_TRUE(certificates::writeOfficeTexts(db, {{"ministry", QStringLiteral("وزارت جهاد كشاورزي")},
                                                    {"registry", QStringLiteral("ثبت مشخصات و دفتر انساب مركز اصلاح نژاد دام كشور")},
                                                    {"signatory", QStringLiteral("علي رضايي")},
                                                    {"role", QStringLiteral("رئيس اداره")}}));
    CertificateLayout layout = builtinCertificateLayout();
    ASSERT_EQ(useOfficeTexts(dm.Maincon, layout), QString());
    QStringList shown;
    for (const Element& e : layout.elements)
        if (e.kind == ElementKind::Text) shown << e.text;
    const QString all = shown.join(QLatin1Char('\n'));
    EXPECT_TRUE(shown.contains(QStringLiteral("وزارت جهاد كشاورزي")));
    EXPECT_FALSE(all.contains(QStringLiteral("redaz")));
    EXPECT_TRUE(all.contains(QStringLiteral("دفتر انساب مركز اصلاح نژاد دام كشور")));
    EXPECT_TRUE(all.contains(QStringLiteral("zida dovez ovev adi vazo")));  // the centre line, not set
    EXPECT_TRUE(shown.contains(QStringLiteral("علي رضايي، رئيس اداره")));
    // Set back to empty: the default again.
    ASSERT_TRUE(certificates::writeOfficeTexts(db, {{"ministry", QString()}}));
    EXPECT_EQ(certificates::readOfficeTexts(db)->value("ministry"), QStringLiteral("redaz oviv azodeze"));
}

TEST_P(RegisterTest, AStoreFromAnEarlierVersionGetsTheRegisterWhenOpened) {
    dm.Maincon.close();
    for (const char* table : {"CertificateIssues", "CertificateKeys", "CertificateOffice"})
        ASSERT_TRUE(store->exec(QStringLiteral("DROP TABLE \"%1\"").arg(QLatin1String(table))));
    ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
    CertificateIssuer issuer(dm.Maincon, std::nullopt, {});
    const std::optional<CertificateRecord> printed = print(issuer, 1);
    ASSERT_TRUE(printed && printed->seal);
    EXPECT_EQ(printed->seal->number, 1);
}

TEST_P(RegisterTest, TheRegisterIsOneOfTheFilesOwnObjects) {
    if (store->engine() != test::Engine::SQLite) GTEST_SKIP() << "the schema check is the file's";
    EXPECT_TRUE(integrity::checkOpened(dm.Maincon.database()).ok);
    ASSERT_TRUE(store->exec("CREATE INDEX ix_CertificateIssues_extra ON CertificateIssues (hash)"));
    EXPECT_FALSE(integrity::checkOpened(dm.Maincon.database()).ok);
}

INSTANTIATE_TEST_SUITE_P(Engines, RegisterTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
