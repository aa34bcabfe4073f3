#include "print/base45.h"
#include "print/certificate_code.h"
#include "print/certificate_seal.h"
#include "print/certificate_verify.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace zartav::print;

namespace {

SealFacts sampleFacts() {
    SealFacts f;
    f.number = 4017;
    f.registration = QStringLiteral("IR98|12%345");  // the separator and the escape inside a value
    f.birthDate = QStringLiteral("1403/02/14");
    f.sex = QStringLiteral("ماده");
    f.sire = QStringLiteral("IRN2210");
    f.dam = QStringLiteral("IR9711223344");
    f.hf = QStringLiteral("100");
    f.contentHash = QByteArray(kHashBytes, '\x5a');
    f.issued = QStringLiteral("1405/09/18");
    f.office = QStringLiteral("اتحاديه دامداران مركزي");
    return f;
}

std::optional<QByteArray> offline(const Signer& key) { return key.publicKey(); }

}  // namespace

// What a form keeps of the facts: the compact code names its office by its key, and carries
// less of the hash.
SealFacts keptBy(int version, SealFacts f) {
    if (version == 2) {
        f.office.clear();
        f.contentHash = f.contentHash.left(kCompactHashBytes);
    }
    return f;
}

// The compact code's bytes, and a code of the bytes.
QByteArray compactBytes(const QByteArray& code) { return fromBase45(code.mid(4)).value_or(QByteArray()); }
QByteArray compactCode(const QByteArray& bytes) { return "ZC2:" + toBase45(bytes); }

TEST(CertificateSeal, PayloadRoundTripsSignedAndUnsignedInBothForms) {
    const KeySigner key(newSigningKey());
    for (const int version : {1, 2}) {
        for (const Signer* k : {static_cast<const Signer*>(&key), static_cast<const Signer*>(nullptr)}) {
            const QString payload = sealPayload(sampleFacts(), k, nullptr, version);
            const std::optional<Seal> seal = parseSeal(payload.toUtf8());
            ASSERT_TRUE(seal) << payload.toStdString();
            EXPECT_EQ(seal->version, version);
            EXPECT_EQ(seal->facts, keptBy(version, sampleFacts()));
            EXPECT_EQ(seal->isSigned(), k != nullptr);
            EXPECT_EQ(sealSignatureHolds(*seal, key.publicKey()), k != nullptr);
        }
    }
    // The compact code: QR's alphanumeric letters only, few enough for a version 9 symbol (53
    // modules) at level Q, which the printed square holds at 0.7 mm a module.
    const QString compact = sealPayload(sampleFacts(), &key);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ZC2:[0-9A-Z $%*+\\-./:]+$")).match(compact).hasMatch()) << compact.toStdString();
    EXPECT_LE(qrModules(compact.toLatin1()).width, 53);
}

// Each kind of fact the compact code packs comes back as it was typed, odd ones included.
TEST(CertificateSeal, CompactFactsComeBackAsTyped) {
    const char* texts[] = {"", "100", "87.5", "IR9812345678", "ir98-12 a", "1403/02/14", "1403/2/14", "1403/13/40",
                           "0999/01/01", "ماده", "نر", "فري مارتين نر", "ماده ", "گلاره‌ی ۱۲", "HF٪۷۵", "IR\u00e9\u4e2d"};
    for (const char* text : texts) {
        SealFacts f = sampleFacts();
        f.registration = f.sire = f.hf = f.birthDate = QString::fromUtf8(text);
        const std::optional<Seal> seal = parseSeal(sealPayload(f, nullptr).toUtf8());
        ASSERT_TRUE(seal) << text;
        EXPECT_EQ(seal->facts, keptBy(2, f)) << text;
    }
}

TEST(CertificateSeal, Base45KeepsToItsStandardsExamples) {
    const std::pair<const char*, const char*> vectors[] = {
        {"AB", "BB8"}, {"Hello!!", "%69 VD92EX0"}, {"base-45", "UJCLQE7W581"}, {"ietf!", "QED8WEX0"}, {"", ""},
    };
    for (const auto& [bytes, text] : vectors) {
        EXPECT_EQ(toBase45(bytes), QByteArray(text)) << bytes;
        EXPECT_EQ(fromBase45(text), QByteArray(bytes)) << text;
    }
    for (const char* bad : {"GGW", ":::", "A", "BB8A", "bb8", "QED8WEX0\n"}) EXPECT_FALSE(fromBase45(bad)) << bad;
}

// A certificate printed before the compact code, as its code reads, with its office's key.
TEST(CertificateSeal, CodesOfTheFirstFormStillVerify) {
    const QByteArray printed = QStringLiteral(
        "ZC1|1|IR9812345678|1403/02/14|ماده|IRN2210|IR9711223344|100|YVW4ZZQnxo-nM1i7EL3Nbw|1405/09/20|"
        "اتحاديه دامداران استان مركزي|2503ed645e3efa89|jeIp3cir0Qj9bmdzYflyHZLMiG_gFFjhsr80s6VPAqEClVe_UX_QbPnw4yPB6Kdl6koS5JpSzdbBf7H3AqttBg")
                                   .toUtf8();
    const QByteArray key = QByteArray::fromBase64("3KkhSNF7Z4IAT+vanMihIz1U1qVZxfL7brvKd2gsu/Q=");
    const Verification v = verifyPayload(printed, nullptr, key);
    EXPECT_EQ(v.verdict, Verdict::Genuine) << v.english.toStdString();
    ASSERT_TRUE(v.seal);
    EXPECT_EQ(v.seal->facts.office, QStringLiteral("اتحاديه دامداران استان مركزي"));
    QByteArray altered = printed;
    altered.replace("IRN2210", "IRN2211");
    EXPECT_EQ(verifyPayload(altered, nullptr, key).verdict, Verdict::Forged);
}

TEST(CertificateSeal, VerdictsOffline) {
    const KeySigner office(newSigningKey());
    const KeySigner other(newSigningKey());
    const QByteArray genuine = sealPayload(sampleFacts(), &office).toUtf8();
    // The birth date's day, 14, as 15: one bit of the packed date.
    QByteArray bytes = compactBytes(genuine);
    const qsizetype day = bytes.indexOf(QByteArray::fromHex("030af64e"));
    ASSERT_GT(day, 0);
    bytes[day + 3] = char(bytes[day + 3] ^ 1);
    struct Case {
        const char* what;
        QByteArray payload;
        const Signer& checkedWith;
        Verdict verdict;
    };
    const Case cases[] = {
        {"genuine", genuine, office, Verdict::Genuine},
        {"one fact changed", compactCode(bytes), office, Verdict::Forged},
        {"another office's key", sealPayload(sampleFacts(), &other).toUtf8(), office, Verdict::UnknownKey},
        {"unsigned", sealPayload(sampleFacts(), nullptr).toUtf8(), office, Verdict::Unsigned},
        {"not ours", "https://example.org/calf/12", office, Verdict::NoCode},
    };
    for (const Case& c : cases)
        EXPECT_EQ(verifyPayload(c.payload, nullptr, offline(c.checkedWith)).verdict, c.verdict) << c.what;
}

TEST(CertificateSeal, MalformedPayloadsAreRefused) {
    const KeySigner key(newSigningKey());
    const QByteArray good = sealPayload(sampleFacts(), &key, nullptr, 1).toUtf8();
    const QList<QByteArray> fields = good.split('|');
    auto with = [&](int field, const QByteArray& value) {
        QList<QByteArray> f = fields;
        f[field] = value;
        return f.join('|');
    };
    const std::pair<const char*, QByteArray> cases[] = {
        {"empty", ""},
        {"cut", good.left(good.size() / 2)},
        {"one field more", good + "|x"},
        {"another version", with(0, "ZC9")},
        {"number not a number", with(1, "12a")},
        {"number with a leading zero", with(1, "0123")},
        {"hash too short", with(8, "AAAA")},
        {"key id without a signature", with(12, "")},
        {"signature too short", with(12, "AAAA")},
        {"bad escape", with(2, "IR%G1")},
        {"escape cut", with(2, "IR%4")},
        {"not UTF-8", with(4, "\xff\xfe")},
        {"too long", good + QByteArray(kMaxPayloadBytes, 'x')},
        // What a terminal or a page would obey: a new line, an escape, a direction override.
        {"an escaped line feed", with(2, "IR1%0Averdict: genuine and current")},
        {"an escaped ESC", with(2, "IR1%1B[2K")},
        {"a right-to-left override", with(2, "IR1\xe2\x80\xae" "87")},
        {"an escaped C1 control", with(3, "%C2%9B2J")},
        {"a direction mark in the office", with(10, "%E2%80%8F")},
    };
    for (const auto& [what, payload] : cases) EXPECT_FALSE(parseSeal(payload)) << what;

    const QByteArray compact = sealPayload(sampleFacts(), &key).toUtf8();
    const QByteArray bytes = compactBytes(compact);
    // The registration number, IR98|12%345, written as UTF-8 where the program writes it packed
    // in Farsi's byte letters (kind 2): the same text, another way.
    QByteArray utf8 = bytes;
    utf8[2] = char(quint8(utf8[2]) & ~7);
    // The number takes two bytes, then the registration number's header and its 11 letters.
    auto withRegistration = [&](const QByteArray& field) { return compactCode(bytes.left(2) + field + bytes.mid(2 + 12)); };
    const std::pair<const char*, QByteArray> compactCases[] = {
        {"cut", compact.left(compact.size() - 3)},
        {"a letter outside Base45", compact.left(20) + "a" + compact.mid(21)},
        {"one byte more", compactCode(bytes + 'x')},
        {"a signature cut", compactCode(bytes.left(bytes.size() - 1))},
        {"a fact written another way", compactCode(utf8)},
        {"number zero", compactCode('\0' + bytes.mid(2))},
        {"a line feed in UTF-8", withRegistration(char(3 << 3) + QByteArray("IR\n"))},
        {"a right-to-left override", withRegistration(char(5 << 3) + QByteArray("\xe2\x80\xae" "87"))},
        {"a word past the list", withRegistration(QByteArray(1, char(9 << 3 | 4)))},
        {"a letter past the Farsi table", withRegistration(char(1 << 3 | 2) + QByteArray("\xfe"))},
    };
    for (const auto& [what, payload] : compactCases) EXPECT_FALSE(parseSeal(payload)) << what;
}

TEST(CertificateSeal, CheckCodeIsShortAndFollowsTheHash) {
    const QString a = checkCode(QByteArray(32, '\0'));
    const QString b = checkCode(QByteArray(1, '\x01') + QByteArray(31, '\0'));
    EXPECT_EQ(a, QStringLiteral("0000-0000"));
    EXPECT_NE(a, b);
    EXPECT_EQ(b.size(), 9);
}

TEST(CertificateSeal, KeyFilesArePrivateAndNeverOverwritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("office.key"));
    const SigningKey key = newSigningKey();
    QString error;
    ASSERT_TRUE(writeKeyFiles(path, key, &error)) << error.toStdString();
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    EXPECT_FALSE(writeKeyFiles(path, newSigningKey(), &error));
    const std::optional<SigningKey> read = readSigningKey(path, &error);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->secret, key.secret);
    EXPECT_EQ(readPublicKey(path + QStringLiteral(".pub"), &error), key.publicKey);
    EXPECT_EQ(readPublicKey(path, &error), key.publicKey);
    // A public key file signs nothing; a damaged secret key is not taken.
    EXPECT_FALSE(readSigningKey(path + QStringLiteral(".pub"), &error));
    QFile damaged(dir.filePath(QStringLiteral("damaged.key")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    QByteArray altered = key.secret;
    altered[40] = char(altered[40] ^ 1);
    damaged.write("zartav signing key\n" + altered.toBase64() + "\n");
    damaged.close();
    EXPECT_FALSE(readSigningKey(damaged.fileName(), &error));
}
