#include "print/certificate_seal.h"

#include "print/certificate_content.h"

#include <QFile>
#include <QList>
#include <QStringDecoder>

#include <sodium.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zartav::print {

namespace {

const QByteArray kPrefix = QByteArrayLiteral("ZC1");
constexpr int kFieldCount = 13;
constexpr int kMaxFieldChars = 200;
const QByteArray kSecretHeader = QByteArrayLiteral("zartav signing key");
const QByteArray kPublicHeader = QByteArrayLiteral("zartav public key");
constexpr qint64 kMaxKeyFileBytes = 4096;

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

constexpr auto kBase64Url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

// '|' separates the fields; it, '%' and control characters inside a value are written %XX.
QByteArray escapedField(const QString& value) {
    QByteArray out;
    for (const char c : value.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '|' || c == '%' || u < 0x20 || u == 0x7F) out += '%' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        else out += c;
    }
    return out;
}

std::optional<QString> unescapedField(const QByteArray& field) {
    QByteArray raw;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto u = static_cast<unsigned char>(field[i]);
        // The program escapes every control character: a raw one is not a code it wrote.
        if (u < 0x20 || u == 0x7F) return std::nullopt;
        if (field[i] != '%') {
            raw += field[i];
            continue;
        }
        if (i + 2 >= field.size() || !std::isxdigit(static_cast<unsigned char>(field[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(field[i + 2])))
            return std::nullopt;
        bool ok = false;
        const int value = field.mid(i + 1, 2).toInt(&ok, 16);
        if (!ok) return std::nullopt;
        raw += char(value);
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(raw);
    if (decoder.hasError() || text.size() > kMaxFieldChars) return std::nullopt;
    if (std::any_of(text.cbegin(), text.cend(), isHiddenControl)) return std::nullopt;
    return text;
}

std::optional<QByteArray> base64Bytes(const QByteArray& text, int size) {
    const auto decoded = QByteArray::fromBase64Encoding(text, kBase64Url | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size || decoded.decoded.toBase64(kBase64Url) != text) return std::nullopt;
    return decoded.decoded;
}

bool isDigits(const QByteArray& text) {
    if (text.isEmpty() || text.size() > 18 || text[0] == '0') return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool fail(QString* error, const QString& why) {
    if (error) *error = why;
    return false;
}

// The body of a key file: its header line, then the key in base64; nothing when it is not so.
std::optional<QByteArray> keyFileBody(const QString& path, const QByteArray& header, int size, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, file.errorString());
        return std::nullopt;
    }
    const QByteArray text = file.read(kMaxKeyFileBytes + 1);
    const QList<QByteArray> lines = text.trimmed().split('\n');
    if (text.size() > kMaxKeyFileBytes || lines.size() != 2 || lines[0].trimmed() != header) {
        fail(error, QStringLiteral("not a %1 file").arg(QString::fromLatin1(header)));
        return std::nullopt;
    }
    const auto decoded = QByteArray::fromBase64Encoding(lines[1].trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size) {
        fail(error, QStringLiteral("the key in the file is damaged"));
        return std::nullopt;
    }
    return decoded.decoded;
}

bool writeNewFile(const QString& path, const QByteArray& bytes, mode_t mode, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return fail(error, QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    bool ok = ::fchmod(fd, mode) == 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() &&
              ::fsync(fd) == 0;
    const int saved = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(name.constData());
        return fail(error, QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(saved))));
    }
    return true;
}

}  // namespace

bool isHiddenControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x061C || u == 0x200E || u == 0x200F ||
           (u >= 0x2028 && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

QString factText(QString text) {
    text.removeIf(isHiddenControl);
    return text;
}

QString shownEscaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isHiddenControl(c)) out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else out += c;
    }
    return out;
}

std::optional<QByteArray> KeySigner::sign(const QByteArray& text, QString* error) const {
    if (key_.secret.size() != crypto_sign_SECRETKEYBYTES || !sodiumReady()) {
        fail(error, QStringLiteral("كليد امضا به كار نمي آيد."));
        return std::nullopt;
    }
    QByteArray signature(kSignatureBytes, Qt::Uninitialized);
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(text.constData()), quint64(text.size()),
                         reinterpret_cast<const unsigned char*>(key_.secret.constData()));
    return signature;
}

QString sealPayload(const SealFacts& facts, const Signer* signer, QString* error) {
    QByteArray text = kPrefix;
    for (const QString& field : {QString::number(facts.number), factText(facts.registration), factText(facts.birthDate),
                                 factText(facts.sex), factText(facts.sire), factText(facts.dam), factText(facts.hf)})
        text += '|' + escapedField(field);
    text += '|' + facts.contentHash.left(kHashBytes).toBase64(kBase64Url);
    text += '|' + escapedField(factText(facts.issued)) + '|' + escapedField(factText(facts.office)) + '|';
    if (signer) {
        text += keyFingerprint(signer->publicKey()).left(kKeyIdBytes).toHex() + '|';
        const std::optional<QByteArray> signature = signer->sign(text, error);
        if (!signature) return {};
        if (signature->size() != kSignatureBytes) {
            fail(error, QStringLiteral("امضايي كه كليد داد اندازه امضا را ندارد."));
            return {};
        }
        text += signature->toBase64(kBase64Url);
    } else {
        text += '|';
    }
    return QString::fromUtf8(text);
}

std::optional<Seal> parseSeal(const QByteArray& payload) {
    if (payload.size() > kMaxPayloadBytes) return std::nullopt;
    const QList<QByteArray> fields = payload.split('|');
    if (fields.size() != kFieldCount || fields[0] != kPrefix || !isDigits(fields[1])) return std::nullopt;
    Seal seal;
    seal.facts.number = fields[1].toLongLong();
    QString* texts[] = {&seal.facts.registration, &seal.facts.birthDate, &seal.facts.sex, &seal.facts.sire,
                        &seal.facts.dam, &seal.facts.hf};
    for (int i = 0; i < 6; ++i) {
        const std::optional<QString> text = unescapedField(fields[2 + i]);
        if (!text) return std::nullopt;
        *texts[i] = *text;
    }
    const std::optional<QByteArray> hash = base64Bytes(fields[8], kHashBytes);
    const std::optional<QString> issued = unescapedField(fields[9]);
    const std::optional<QString> office = unescapedField(fields[10]);
    if (!hash || !issued || !office) return std::nullopt;
    seal.facts.contentHash = *hash;
    seal.facts.issued = *issued;
    seal.facts.office = *office;
    const QByteArray& keyId = fields[11];
    const QByteArray& signature = fields[12];
    if (keyId.isEmpty() != signature.isEmpty()) return std::nullopt;
    if (!keyId.isEmpty()) {
        const QByteArray id = QByteArray::fromHex(keyId);
        const std::optional<QByteArray> sig = base64Bytes(signature, kSignatureBytes);
        if (id.size() != kKeyIdBytes || id.toHex() != keyId || !sig) return std::nullopt;
        seal.keyId = id;
        seal.signature = *sig;
    }
    seal.signedText = QString::fromUtf8(payload.left(payload.size() - signature.size()));
    return seal;
}

bool sealSignatureHolds(const Seal& seal, const QByteArray& publicKey) {
    if (!seal.isSigned() || publicKey.size() != crypto_sign_PUBLICKEYBYTES || !sodiumReady()) return false;
    if (keyFingerprint(publicKey).left(kKeyIdBytes) != seal.keyId) return false;
    const QByteArray text = seal.signedText.toUtf8();
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(seal.signature.constData()),
                                       reinterpret_cast<const unsigned char*>(text.constData()), quint64(text.size()),
                                       reinterpret_cast<const unsigned char*>(publicKey.constData())) == 0;
}

QString checkCode(const QByteArray& contentHash) {
    // Crockford's base 32: no I, L, O or U to misread.
    static const char alphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
    quint64 bits = 0;
    for (int i = 0; i < 5; ++i) bits = (bits << 8) | (i < contentHash.size() ? quint8(contentHash[i]) : 0);
    QString code;
    for (int i = 7; i >= 0; --i) code += QLatin1Char(alphabet[(bits >> (5 * i)) & 31]);
    return code.left(4) + QLatin1Char('-') + code.mid(4);
}

QByteArray keyFingerprint(const QByteArray& publicKey) { return sha256(publicKey); }

QString fingerprintText(const QByteArray& fingerprint) {
    const QString hex = QString::fromLatin1(fingerprint.toHex());
    QStringList groups;
    for (qsizetype i = 0; i < hex.size(); i += 4) groups << hex.mid(i, 4);
    return groups.join(QLatin1Char(' '));
}

SigningKey newSigningKey() {
    SigningKey key;
    if (!sodiumReady()) return key;
    key.secret.resize(crypto_sign_SECRETKEYBYTES);
    key.publicKey.resize(crypto_sign_PUBLICKEYBYTES);
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(key.publicKey.data()),
                        reinterpret_cast<unsigned char*>(key.secret.data()));
    return key;
}

bool writeKeyFiles(const QString& path, const SigningKey& key, QString* error) {
    const QString pub = path + QStringLiteral(".pub");
    if (key.secret.size() != crypto_sign_SECRETKEYBYTES) return fail(error, QStringLiteral("no key was made"));
    if (QFile::exists(path) || QFile::exists(pub))
        return fail(error, QStringLiteral("%1 already exists; a key file is never overwritten")
                               .arg(QFile::exists(path) ? path : pub));
    if (!writeNewFile(path, kSecretHeader + '\n' + key.secret.toBase64() + '\n', 0600, error)) return false;
    if (!writePublicKeyFile(pub, key.publicKey, error)) {
        QFile::remove(path);
        return false;
    }
    return true;
}

bool writePublicKeyFile(const QString& path, const QByteArray& publicKey, QString* error) {
    if (publicKey.size() != crypto_sign_PUBLICKEYBYTES) return fail(error, QStringLiteral("no public key to write"));
    return writeNewFile(path, kPublicHeader + '\n' + publicKey.toBase64() + '\n', 0644, error);
}

std::optional<SigningKey> readSigningKey(const QString& path, QString* error) {
    const std::optional<QByteArray> secret = keyFileBody(path, kSecretHeader, crypto_sign_SECRETKEYBYTES, error);
    if (!secret || !sodiumReady()) return std::nullopt;
    SigningKey key{*secret, QByteArray(crypto_sign_PUBLICKEYBYTES, Qt::Uninitialized)};
    crypto_sign_ed25519_sk_to_pk(reinterpret_cast<unsigned char*>(key.publicKey.data()),
                                 reinterpret_cast<const unsigned char*>(key.secret.constData()));
    // The secret key holds its public half: a file whose halves disagree was altered.
    QByteArray seed(crypto_sign_SEEDBYTES, Qt::Uninitialized);
    crypto_sign_ed25519_sk_to_seed(reinterpret_cast<unsigned char*>(seed.data()),
                                   reinterpret_cast<const unsigned char*>(key.secret.constData()));
    QByteArray pk(crypto_sign_PUBLICKEYBYTES, Qt::Uninitialized), sk(crypto_sign_SECRETKEYBYTES, Qt::Uninitialized);
    crypto_sign_seed_keypair(reinterpret_cast<unsigned char*>(pk.data()), reinterpret_cast<unsigned char*>(sk.data()),
                             reinterpret_cast<const unsigned char*>(seed.constData()));
    sodium_memzero(seed.data(), size_t(seed.size()));
    if (sk != key.secret) {
        fail(error, QStringLiteral("the key in the file is damaged"));
        return std::nullopt;
    }
    return key;
}

std::optional<QByteArray> readPublicKey(const QString& path, QString* error) {
    if (std::optional<QByteArray> key = keyFileBody(path, kPublicHeader, crypto_sign_PUBLICKEYBYTES, nullptr)) return key;
    if (const std::optional<SigningKey> secret = readSigningKey(path, error)) return secret->publicKey;
    return std::nullopt;
}

}  // namespace zartav::print
