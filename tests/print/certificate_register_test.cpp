#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/engine/store_address.h"
#include "data/transfer/store_backup.h"
#include "data/transfer/store_restore.h"
#include "data/link/store_choice.h"
#include "data/transfer/store_copy.h"
#include "data/schema/store_integrity.h"
#include "data/tdm.h"
#include "print/certificate_issuer.h"
#include "print/certificate_pdf.h"
#include "print/certificate_source.h"
#include "print/certificate_verify.h"

#include "cli_run.h"
#include "pinned.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

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

    static std::unique_ptr<Signer> signer(const SigningKey& key) { return std::make_unique<KeySigner>(key); }

    TDM dm;
    SigningKey key = newSigningKey();
};

// A code's facts, changed by `change`, in a code without a signature: what anyone can make.
template <typename Change>
QByteArray unsignedCode(const QByteArray& payload, Change change) {
    std::optional<Seal> seal = parseSeal(payload);
    if (!seal) return {};
    change(seal->facts);
    return sealPayload(seal->facts, nullptr).toUtf8();
}

}  // namespace

TEST_P(RegisterTest, NumbersDuplicatesAndSupersededIssues) {
    CertificateIssuer issuer(dm.Maincon, signer(key), QStringLiteral("دفتر مركزي"));
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

// The store's trust list: its keys in order, each until the next, its superseded and taken back
// numbers; and what a checker with the list alone makes of each code.
TEST_P(RegisterTest, TheTrustListCarriesKeysAndClosedNumbersAndDecidesAsTheStore) {
    QSqlDatabase db = dm.Maincon.database();
    const SigningKey first = newSigningKey();
    for (const SigningKey& k : {first, key})
        ASSERT_TRUE(certificates::addPublicKey(db, k.publicKey, QString::fromLatin1(keyFingerprint(k.publicKey).toHex())));
    CertificateIssuer issuer(dm.Maincon, signer(key), QStringLiteral("دفتر مركزي"));
    const std::optional<CertificateRecord> one = print(issuer, 1);
    ASSERT_TRUE(store->exec("UPDATE \"VaskorTemp\" SET \"تاريخ تولد\" = '1403/02/15' WHERE \"ID\" = 1"));
    const std::optional<CertificateRecord> two = print(issuer, 1);
    CertificateIssuer spoiled(dm.Maincon, signer(key), QStringLiteral("دفتر مركزي"));
    const std::optional<CertificateRecord> three = print(spoiled, 2);
    QString error;
    ASSERT_TRUE(one && two && three && spoiled.withdraw(&error)) << error.toStdString();

    const std::optional<TrustList> list = storeTrustList(db, QStringLiteral("دفتر مركزي"), &error);
    ASSERT_TRUE(list) << error.toStdString();
    ASSERT_EQ(list->keys.size(), 2);
    EXPECT_EQ(QSet<QByteArray>({list->keys[0].publicKey, list->keys[1].publicKey}), QSet<QByteArray>({first.publicKey, key.publicKey}));
    EXPECT_EQ(list->keys[0].to, list->keys[1].from);
    EXPECT_TRUE(list->keys[1].to.isEmpty());
    ASSERT_EQ(list->closed.size(), 2);
    EXPECT_EQ(std::make_pair(list->closed[0].number, list->closed[0].supersededBy), std::make_pair(qint64(1), qint64(2)));
    EXPECT_EQ(std::make_pair(list->closed[1].number, list->closed[1].supersededBy), std::make_pair(qint64(3), qint64(0)));
    // Signed by the current key alone, not an older one or a stranger's.
    const SigningKey& current = list->keys[1].publicKey == key.publicKey ? key : first;
    const SigningKey& older = &current == &key ? first : key;
    for (const SigningKey& wrong : {older, newSigningKey()})
        EXPECT_TRUE(signedTrustList(*list, KeySigner(wrong), &error).isEmpty());
    const std::optional<TrustList> read = readTrustList(signedTrustList(*list, KeySigner(current), &error), &error);
    ASSERT_TRUE(read) << error.toStdString();

    struct Case {
        const char* what;
        QByteArray code;
        Verdict verdict;
    };
    const Case cases[] = {
        {"superseded", one->seal->payload, Verdict::Superseded},
        {"current", two->seal->payload, Verdict::Genuine},
        {"taken back", three->seal->payload, Verdict::Forged},
    };
    for (const Case& c : cases) {
        const Verification offline = verifyWithLists(c.code, {*read});
        EXPECT_EQ(offline.verdict, c.verdict) << c.what << ": " << offline.english.toStdString();
        EXPECT_EQ(verifyPayload(c.code, &dm.Maincon, std::nullopt).verdict, c.verdict) << c.what;
        EXPECT_EQ(offline.seal->facts.office, QStringLiteral("دفتر مركزي")) << c.what;
    }
}

TEST_P(RegisterTest, VerdictsAgainstTheStore) {
    QSqlDatabase db = dm.Maincon.database();
    ASSERT_TRUE(certificates::addPublicKey(db, key.publicKey, QString::fromLatin1(keyFingerprint(key.publicKey).toHex())));
    CertificateIssuer issuer(dm.Maincon, signer(key), QStringLiteral("دفتر مركزي"));
    const std::optional<CertificateRecord> one = print(issuer, 1);
    const std::optional<CertificateRecord> two = print(issuer, 2);
    ASSERT_TRUE(one && two);
    const QByteArray payload = one->seal->payload;
    EXPECT_EQ(verifyPayload(payload, &dm.Maincon, std::nullopt).verdict, Verdict::Genuine);
    // The same issue in the first code form, as pages printed before the compact code carry it:
    // the whole hash and the office's name.
    SealFacts facts = parseSeal(payload)->facts;
    facts.contentHash = certificates::findIssue(db, 1)->contentHash;
    facts.office = QStringLiteral("دفتر مركزي");
    const KeySigner officeKey(key);
    const Verification first = verifyPayload(sealPayload(facts, &officeKey, nullptr, 1).toUtf8(), &dm.Maincon, std::nullopt);
    EXPECT_EQ(first.verdict, Verdict::Genuine) << first.english.toStdString();
    EXPECT_EQ(first.seal->version, 1);

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
    CertificateIssuer stranger(dm.Maincon, signer(next), {});
    const std::optional<CertificateRecord> unknown = print(stranger, 1);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(verifyPayload(unknown->seal->payload, &dm.Maincon, std::nullopt).verdict, Verdict::UnknownKey);
    ASSERT_TRUE(certificates::addPublicKey(db, next.publicKey, QString::fromLatin1(keyFingerprint(next.publicKey).toHex())));
    EXPECT_EQ(verifyPayload(unknown->seal->payload, &dm.Maincon, std::nullopt).verdict, Verdict::Genuine);
    EXPECT_EQ(certificates::publicKeys(db)->size(), 2);
    EXPECT_EQ(verifyPayload(payload, &dm.Maincon, std::nullopt).verdict, Verdict::Superseded);
}

// A code's facts are the register's: emptied of its signature and altered, it is no certificate.
TEST_P(RegisterTest, ACodeWithoutASignatureIsNeverGenuine) {
    QSqlDatabase db = dm.Maincon.database();
    ASSERT_TRUE(certificates::addPublicKey(db, key.publicKey, QString::fromLatin1(keyFingerprint(key.publicKey).toHex())));
    CertificateIssuer plain(dm.Maincon, nullptr, {});
    CertificateIssuer signing(dm.Maincon, signer(key), {});
    const std::optional<CertificateRecord> one = print(plain, 1);
    const std::optional<CertificateRecord> two = print(signing, 2);
    ASSERT_TRUE(one && two);
    const QByteArray unsignedOne = one->seal->payload;
    const QByteArray bareTwo = unsignedCode(two->seal->payload, [](SealFacts&) {});
    struct Case {
        const char* what;
        QByteArray payload;
        Verdict verdict;
        const char* says;  // in the Farsi verdict
    };
    const Case cases[] = {
        {"an unsigned issue's own code", unsignedOne, Verdict::Unsigned, "بدون امضا"},
        {"its registration number changed", unsignedCode(unsignedOne, [](SealFacts& f) { f.registration = "IR7777"; }),
         Verdict::Forged, "شماره ثبت"},
        {"its sire changed", unsignedCode(unsignedOne, [](SealFacts& f) { f.sire = "IRN1"; }), Verdict::Forged, "ثبت داخلي پدر"},
        {"its sex changed", unsignedCode(unsignedOne, [](SealFacts& f) { f.sex = QStringLiteral("نر"); }), Verdict::Forged,
         "جنس گوساله"},
        {"a signed issue's code without its signature", bareTwo, Verdict::Forged, "امضا ندارد"},
        {"and its facts changed", unsignedCode(bareTwo, [](SealFacts& f) { f.registration = "IR7777"; f.sex = QStringLiteral("ماده"); }),
         Verdict::Forged, "امضا ندارد"},
        {"a signed issue's own code", two->seal->payload, Verdict::Genuine, "معتبر است"},
    };
    for (const Case& c : cases) {
        const Verification v = verifyPayload(c.payload, &dm.Maincon, std::nullopt);
        EXPECT_EQ(v.verdict, c.verdict) << c.what << ": " << v.english.toStdString();
        EXPECT_TRUE(v.farsi.contains(QString::fromUtf8(c.says))) << c.what << ": " << v.farsi.toStdString();
    }
    EXPECT_TRUE(verifyPayload(unsignedOne, &dm.Maincon, std::nullopt).english.startsWith(QStringLiteral("unsigned")));
}

// Each issue is sealed with the one before it: an issue's content hash moved into another row,
// as a role that may print could write it, is caught by verify and by the register's own check.
TEST_P(RegisterTest, TheRegisterChecksItself) {
    const bool server = store->engine() == test::Engine::PostgreSQL;
    CertificateIssuer plain(dm.Maincon, nullptr, {});
    const std::optional<CertificateRecord> one = print(plain, 1);
    ASSERT_TRUE(one && print(plain, 2));
    EXPECT_EQ(test::runCli({"register", "--verify", "--db", store->address()}).status, 0);
    // Record 1's code under issue 2's number.
    const QByteArray numberTwo = unsignedCode(one->seal->payload, [](SealFacts& f) { f.number = 2; });
    const QString move = QStringLiteral("UPDATE \"CertificateIssues\" SET \"hash\" = (SELECT \"hash\" FROM \"CertificateIssues\" "
                                        "WHERE \"number\" = 1) WHERE \"number\" = 2");
    if (server) {
        // The server refuses it from any role; only a superuser without the triggers gets it in.
        EXPECT_FALSE(store->exec(move));
        ASSERT_TRUE(store->exec("SET session_replication_role = replica"));
    }
    ASSERT_TRUE(store->exec(move));
    if (server) {
        ASSERT_TRUE(store->exec("SET session_replication_role = origin"));
    }
    const Verification v = verifyPayload(numberTwo, &dm.Maincon, std::nullopt);
    EXPECT_EQ(v.verdict, Verdict::Forged) << v.english.toStdString();
    EXPECT_EQ(v.forgery, Forgery::Register);
    EXPECT_TRUE(v.farsi.contains(QStringLiteral("دفتر صدور"))) << v.farsi.toStdString();
    const test::CliRun check = test::runCli({"register", "--verify", "--db", store->address()});
    EXPECT_EQ(check.status, 1) << check.out.toStdString();
    EXPECT_TRUE(check.err.contains(QStringLiteral("certificate 2"))) << check.err.toStdString();
    EXPECT_EQ(verifyPayload(one->seal->payload, &dm.Maincon, std::nullopt).verdict, Verdict::Unsigned);
}

// A register written before the seals is sealed, in order, when the store is next opened to write.
TEST_P(RegisterTest, ARegisterFromBeforeTheSealsIsSealedWhenOpened) {
    CertificateIssuer plain(dm.Maincon, nullptr, {});
    const std::optional<CertificateRecord> one = print(plain, 1);
    ASSERT_TRUE(one && print(plain, 2));
    dm.Maincon.close();
    if (store->engine() == test::Engine::PostgreSQL) {
        ASSERT_TRUE(store->exec("DROP TRIGGER zartav_issue_seal ON \"CertificateIssues\""));
    }
    ASSERT_TRUE(store->exec("ALTER TABLE \"CertificateIssues\" DROP COLUMN \"seal\""));
    ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
    QSqlDatabase db = dm.Maincon.database();
    const certificates::RegisterCheck check = certificates::verifyRegister(db);
    EXPECT_TRUE(check.ok) << check.problem.toStdString();
    EXPECT_EQ(check.issues, 2);
    EXPECT_EQ(verifyPayload(one->seal->payload, &dm.Maincon, std::nullopt).verdict, Verdict::Unsigned);
}

TEST_P(RegisterTest, OfficeTextsDefaultUntilSetAndReachTheLayout) {
    QSqlDatabase db = dm.Maincon.database();
    std::optional<QHash<QString, QString>> texts = certificates::readOfficeTexts(db);
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->value("ministry"), QStringLiteral("redaz oviv azodeze"));
    EXPECT_EQ(texts->value("office"), QString());
    EXPECT_EQ(texts->value("union"), QStringLiteral("صدور شناسنامه توسط rarudev erad evud ozorudiz eveza rivav"));
    EXPECT_EQ(texts->value("deputy"), QStringLiteral("معاونت امور دام"));
    // No code names an empty issuer: the office's name is one of the texts to set.
    EXPECT_EQ(certificates::standInTexts(*texts), QStringList({"ministry", "centre", "union", "registry", "office"}));
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
    EXPECT_EQ(certificates::standInTexts(*certificates::readOfficeTexts(db)), QStringList({"centre", "union", "office"}));
    // Set back to empty: the default again.
    ASSERT_TRUE(certificates::writeOfficeTexts(db, {{"ministry", QString()}}));
    EXPECT_EQ(certificates::readOfficeTexts(db)->value("ministry"), QStringLiteral("redaz oviv azodeze"));
}

TEST_P(RegisterTest, TheKeyFileNamedInTheDeskSettingsSignsAndOneOthersMayReadIsWarnedOf) {
    QTemporaryDir dir;
    const QString keyFile = dir.filePath(QStringLiteral("office.key"));
    ASSERT_TRUE(writeKeyFiles(keyFile, key, nullptr));
    const QString settings = dir.filePath(QStringLiteral("Zartav.conf"));
    const test::Pinned pinnedSettings(zartav::store::setSettingsFileForTesting, settings);
    const QString wide = QStringLiteral("فايل كليد امضاي %1 را كاربران ديگر اين رايانه هم مي توانند بخوانند؛ "
                                        "دسترسي آن را فقط به صاحب فايل بدهيد (chmod 600).")
                             .arg(QChar(0x2068) + keyFile + QChar(0x2069));
    const struct {
        const char* settingsText;  // the desk's settings file as a person writes it
        QFile::Permissions mode;
        bool signing;
        QString notice;
    } cases[] = {
        {"[Certificate]\nKeyFile=%1\n", QFile::ReadOwner | QFile::WriteOwner, true, {}},
        {"[Certificate]\nKeyFile=%1\n", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther, true, wide},
        {"[Store]\nAddress=Data.db\n", QFile::ReadOwner | QFile::WriteOwner, false,
         QStringLiteral("اين رايانه كليد امضاي گواهي ندارد؛ كد شناسنامه ها بدون امضا چاپ مي شود.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settingsText);
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QString::fromLatin1(c.settingsText).arg(keyFile).toUtf8());
        file.close();
        ASSERT_TRUE(QFile::setPermissions(keyFile, c.mode));
        const DeskIssuing issuing = issuingForThisDesk(dm.Maincon, QStringLiteral("دفتر"));
        ASSERT_TRUE(issuing.issuer);
        EXPECT_EQ(issuing.issuer->isSigning(), c.signing);
        EXPECT_EQ(issuing.notice, c.notice);
        if (c.signing) {
            const std::optional<CertificateRecord> printed = print(*issuing.issuer, 1);
            ASSERT_TRUE(printed && printed->seal);
            EXPECT_TRUE(printed->seal->isSigned);
        }
    }
}

TEST_P(RegisterTest, AStoreFromAnEarlierVersionGetsTheRegisterWhenOpened) {
    dm.Maincon.close();
    for (const char* table : {"CertificateIssues", "CertificateKeys", "CertificateOffice"})
        ASSERT_TRUE(store->exec(QStringLiteral("DROP TABLE \"%1\"").arg(QLatin1String(table))));
    ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
    CertificateIssuer issuer(dm.Maincon, nullptr, {});
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

TEST_P(RegisterTest, AJobThatPutsNoFileOutTakesItsNumbersBack) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    // Each job prints records 1 and 2; `stopAfter` pages in, it is stopped (0: it runs through).
    struct Job {
        const char* what;
        const char* edit;  // an UPDATE before the job, or none
        int stopAfter;
        qint64 numbers[2];       // the current issues of records 1 and 2 afterwards (0: none)
        qint64 copiesOfFirst;    // copies of record 1's current issue
    };
    const Job jobs[] = {
        {"stopped at once", nullptr, 1, {0, 0}, 0},
        {"printed: the numbers taken back are not given again", nullptr, 0, {3, 4}, 1},
        {"a reprint stopped", nullptr, 1, {3, 4}, 1},
        {"an edited record's job stopped: its issue is current again", "UPDATE \"VaskorTemp\" SET \"نام گوساله\" = 'ماهي' WHERE \"ID\" = 1", 1, {3, 4}, 1},
    };
    for (const Job& j : jobs) {
        if (j.edit) {
            ASSERT_TRUE(store->exec(QString::fromUtf8(j.edit)));
        }
        CertificateIssuer issuer(dm.Maincon, signer(key), {});
        StoredCertificates source(dm.Maincon, {1, 2});
        PageRun run;
        run.issuer = &issuer;
        run.progress = [&](int done, int) { return j.stopAfter == 0 || done < j.stopAfter; };
        QString error;
        const PrintOutcome outcome = writeCertificatesPdf(pdf, builtinCertificateLayout(), source, run, &error);
        EXPECT_EQ(outcome, j.stopAfter ? PrintOutcome::Cancelled : PrintOutcome::Done) << j.what << error.toStdString();
        if (&j == &jobs[0]) {
            EXPECT_FALSE(QFileInfo::exists(pdf));
        }
        for (int r = 0; r < 2; ++r)
            EXPECT_EQ(store->scalar(QStringLiteral("SELECT COALESCE(MAX(\"number\"), 0) FROM \"CertificateIssues\" "
                                                   "WHERE \"record\" = %1 AND \"supersededBy\" IS NULL").arg(r + 1)).toLongLong(),
                      j.numbers[r]) << j.what << " record " << r + 1;
        if (j.copiesOfFirst) {
            EXPECT_EQ(store->scalar("SELECT \"copies\" FROM \"CertificateIssues\" WHERE \"record\" = 1 AND \"supersededBy\" IS NULL")
                          .toLongLong(),
                      j.copiesOfFirst) << j.what;
        }
    }
    // The numbers taken back stay in the register, marked, so the chain of seals is unbroken.
    EXPECT_EQ(store->scalar("SELECT count(*) FROM \"CertificateIssues\" WHERE \"copies\" > 0").toInt(), 2);
    QSqlDatabase db = dm.Maincon.database();
    EXPECT_TRUE(certificates::verifyRegister(db).ok);
}

// A register that gives no answer (its link gone) stops the job, and the message says so in Farsi
// with why, never an empty reason.
TEST_P(RegisterTest, ARegisterThatCannotBeWrittenIsNamedInFarsiWithTheReason) {
    // A server's link is made again as it is used; a closed file stands for one that is gone.
    if (store->engine() != test::Engine::SQLite) GTEST_SKIP() << "the link to a server is made again";
    QTemporaryDir dir;
    TDM gone;
    ASSERT_TRUE(gone.Maincon.open(store->address())) << gone.Maincon.technicalError().toStdString();
    gone.Maincon.database().close();
    CertificateIssuer issuer(gone.Maincon, nullptr, {});
    StoredCertificates source(dm.Maincon, {1, 2});
    PageRun run;
    run.issuer = &issuer;
    QString error;
    EXPECT_EQ(writeCertificatesPdf(dir.filePath(QStringLiteral("herd.pdf")), builtinCertificateLayout(), source, run, &error),
              PrintOutcome::Failed);
    const QStringList lines = error.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << error.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("شناسنامه ركوردهاي شماره 1 تا 2 در دفتر صدور گواهي ها ثبت نشد و چاپ نشد."));
    EXPECT_FALSE(QString(lines[1]).remove(QChar(0x2068)).remove(QChar(0x2069)).trimmed().isEmpty());
    EXPECT_FALSE(issuer.lastError().isEmpty());
    EXPECT_EQ(store->scalar("SELECT count(*) FROM \"CertificateIssues\"").toInt(), 0);
}

// A certificate issued before a copy or a backup still verifies genuine after it, and the next
// number is past every number the store had given out, even one taken back.
TEST_P(RegisterTest, CopiesAndRestoresKeepTheIssuedNumbers) {
    QTemporaryDir dir;
    const test::PinnedVariable dataHome("XDG_DATA_HOME", dir.filePath(QStringLiteral("user")).toUtf8());
    QSqlDatabase db = dm.Maincon.database();
    ASSERT_TRUE(certificates::addPublicKey(db, key.publicKey, QString::fromLatin1(keyFingerprint(key.publicKey).toHex())));
    CertificateIssuer first(dm.Maincon, signer(key), {});
    const std::optional<CertificateRecord> one = print(first, 1);
    ASSERT_TRUE(one);
    CertificateIssuer withdrawn(dm.Maincon, signer(key), {});
    ASSERT_TRUE(print(withdrawn, 2) && withdrawn.withdraw(nullptr));  // number 2 never reached paper

    // The store's copy onto a file, and (for the server) that file back over the server.
    const QString file = dir.filePath(QStringLiteral("copy.db"));
    {
        Connection copy;
        ASSERT_TRUE(copy.open(file));
        const StoreCopyReport report = copyStore(dm.Maincon, copy, false);
        ASSERT_TRUE(report.ok) << report.error.toStdString();
        EXPECT_EQ(report.certificateIssues, 2);  // number 2 with them, marked as taken back
        EXPECT_EQ(verifyPayload(one->seal->payload, &copy, std::nullopt).verdict, Verdict::Genuine);
        if (store->engine() == test::Engine::PostgreSQL) {
            const StoreCopyReport back = copyStore(copy, dm.Maincon, true, {}, RegisterCopy::Bring);
            ASSERT_TRUE(back.ok) << back.error.toStdString();
            EXPECT_EQ(verifyPayload(one->seal->payload, &dm.Maincon, std::nullopt).verdict, Verdict::Genuine);
        }
        CertificateIssuer there(copy, signer(key), {});
        StoredCertificates source(copy, {2});
        std::optional<CertificateRecord> two = source.record(0);
        ASSERT_TRUE(two && there.issue(*two, nullptr));
        EXPECT_EQ(two->seal->number, 3);
    }

    // A backup, a number given after it, and the backup restored: that number is not given again.
    const QString backup = dir.filePath(QStringLiteral("backup.db"));
    const std::optional<StoreAddress> address = StoreAddress::parse(store->address());
    ASSERT_TRUE(address);
    ASSERT_TRUE(backupStore(*address, backup, false).ok);
    CertificateIssuer after(dm.Maincon, signer(key), {});
    ASSERT_TRUE(print(after, 2));
    EXPECT_EQ(after.issued().last().number, 3);
    dm.Maincon.close();
    store->closeSide();
    // Restored by the owner of the server's tables, register and all.
    const BackupReport restored = restoreStore(*address, backup, EmptyCopy::Refuse, {}, RegisterCopy::Bring);
    ASSERT_TRUE(restored.ok) << restoreSummary(restored).toStdString();
    ASSERT_TRUE(dm.Maincon.open(store->address()));
    EXPECT_EQ(verifyPayload(one->seal->payload, &dm.Maincon, std::nullopt).verdict, Verdict::Genuine);
    CertificateIssuer again(dm.Maincon, signer(key), {});
    ASSERT_TRUE(print(again, 2));
    EXPECT_EQ(again.issued().last().number, 4);
}

INSTANTIATE_TEST_SUITE_P(Engines, RegisterTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
