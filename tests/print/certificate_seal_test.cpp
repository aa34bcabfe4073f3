#include "print/certificate_seal.h"
#include "print/certificate_verify.h"

#include <gtest/gtest.h>

#include <QFile>
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

TEST(CertificateSeal, PayloadRoundTripsSignedAndUnsigned) {
    const KeySigner key(newSigningKey());
    for (const Signer* k : {static_cast<const Signer*>(&key), static_cast<const Signer*>(nullptr)}) {
        const QString payload = sealPayload(sampleFacts(), k);
        const std::optional<Seal> seal = parseSeal(payload.toUtf8());
        ASSERT_TRUE(seal) << payload.toStdString();
        EXPECT_EQ(seal->facts, sampleFacts());
        EXPECT_EQ(seal->isSigned(), k != nullptr);
        EXPECT_EQ(sealSignatureHolds(*seal, key.publicKey()), k != nullptr);
        // Small enough for a code that a 150 dpi scan reads at 27 mm.
        EXPECT_LT(payload.toUtf8().size(), 260);
    }
}

TEST(CertificateSeal, VerdictsOffline) {
    const KeySigner office(newSigningKey());
    const KeySigner other(newSigningKey());
    const QByteArray genuine = sealPayload(sampleFacts(), &office).toUtf8();
    QByteArray oneByte = genuine;
    oneByte[oneByte.indexOf("1403") + 3] = '4';  // the birth date 1403 -> 1404
    struct Case {
        const char* what;
        QByteArray payload;
        const Signer& checkedWith;
        Verdict verdict;
    };
    const Case cases[] = {
        {"genuine", genuine, office, Verdict::Genuine},
        {"one changed byte", oneByte, office, Verdict::Forged},
        {"another office's key", sealPayload(sampleFacts(), &other).toUtf8(), office, Verdict::UnknownKey},
        {"unsigned", sealPayload(sampleFacts(), nullptr).toUtf8(), office, Verdict::Unsigned},
        {"not ours", "https://example.org/calf/12", office, Verdict::NoCode},
    };
    for (const Case& c : cases)
        EXPECT_EQ(verifyPayload(c.payload, nullptr, offline(c.checkedWith)).verdict, c.verdict) << c.what;
}

TEST(CertificateSeal, MalformedPayloadsAreRefused) {
    const KeySigner key(newSigningKey());
    const QByteArray good = sealPayload(sampleFacts(), &key).toUtf8();
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
