#include "print/certificate_seal.h"

#include "print/base45.h"
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
const QByteArray kCompactPrefix = QByteArrayLiteral("ZC2:");
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


// --- the compact code. Each text field is a header, (length << 3) | kind, as a base-128 number,
// then its letters in the kind that takes fewest bytes. The kinds and the tables below are read
// by every code ever printed: they only grow at their ends.
enum FieldKind { Utf8 = 0, Plain = 1, Farsi = 2, Date = 3, Word = 4 };

// Registration numbers and ear tags: three letters in two bytes.
constexpr char kPlainLetters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ ./-";
constexpr int kPlainBase = 40;

// The calf's sex is one of the entry form's words.
const QStringList& codedWords() {
    static const QStringList words{QStringLiteral("ماده"), QStringLiteral("نر"), QStringLiteral("فري مارتين ماده"),
                                   QStringLiteral("فري مارتين نر")};
    return words;
}

// Farsi names a byte a letter: printable ASCII as itself, from 0x80 the Arabic letters and marks
// U+0621-U+0652, the Persian letters, the zero-width non-joiner, the punctuation and both sets
// of digits.
const QString& farsiLetters() {
    static const QString letters = [] {
        QString t;
        for (char16_t c = 0x0621; c <= 0x0652; ++c) t += QChar(c);
        t += QStringLiteral("پچژکگیۀ\u200C،؛؟");
        for (char16_t c = 0x06F0; c <= 0x06F9; ++c) t += QChar(c);
        for (char16_t c = 0x0660; c <= 0x0669; ++c) t += QChar(c);
        return t;
    }();
    return letters;
}

void putNumber(QByteArray& out, quint64 n) {
    do {
        const auto low = quint8(n & 0x7F);
        n >>= 7;
        out += char(n ? low | 0x80 : low);
    } while (n);
}

// A reader over the compact code's bytes; any read past the end or out of bounds sets `bad`.
struct Bytes {
    const QByteArray& data;
    qsizetype at = 0;
    bool bad = false;

    quint64 number() {
        quint64 n = 0;
        for (int shift = 0; shift < 63; shift += 7) {
            if (at >= data.size()) break;
            const auto b = quint8(data[at++]);
            n |= quint64(b & 0x7F) << shift;
            if (!(b & 0x80)) return n;
        }
        bad = true;
        return 0;
    }
    QByteArray take(qsizetype n) {
        if (n < 0 || at + n > data.size()) {
            bad = true;
            return {};
        }
        at += n;
        return data.mid(at - n, n);
    }
};

// YYYY/MM/DD in 23 bits, when the text is exactly that.
std::optional<quint32> packedDate(const QString& t) {
    if (t.size() != 10 || t[4] != u'/' || t[7] != u'/') return std::nullopt;
    for (const int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (t[i] < u'0' || t[i] > u'9') return std::nullopt;
    const int y = t.left(4).toInt(), m = t.mid(5, 2).toInt(), d = t.mid(8, 2).toInt();
    if (m > 15 || d > 31) return std::nullopt;
    return quint32(y) << 9 | quint32(m) << 5 | quint32(d);
}

QByteArray compactField(const QString& text) {
    QByteArray out;
    if (const qsizetype word = codedWords().indexOf(text); word >= 0) {
        putNumber(out, quint64(word) << 3 | Word);
        return out;
    }
    if (const std::optional<quint32> date = packedDate(text)) {
        putNumber(out, Date);
        return out + char(*date >> 16) + char(*date >> 8) + char(*date);
    }
    QList<int> plain;
    for (const QChar c : text) {
        const char* at = c.unicode() < 0x80 && c.unicode() ? std::strchr(kPlainLetters, char(c.unicode())) : nullptr;
        if (!at) break;
        plain << int(at - kPlainLetters);
    }
    if (plain.size() == text.size()) {
        putNumber(out, quint64(text.size()) << 3 | Plain);
        for (qsizetype i = 0; i < plain.size(); i += 3) {
            int v = 0;
            const qsizetype n = std::min<qsizetype>(3, plain.size() - i);
            for (qsizetype j = i; j < i + n; ++j) v = v * kPlainBase + plain[j];
            if (n > 1) out += char(v >> 8);
            out += char(v & 0xFF);
        }
        return out;
    }
    QByteArray farsi;
    for (const QChar c : text) {
        const qsizetype letter = farsiLetters().indexOf(c);
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F) farsi += char(c.unicode());
        else if (letter >= 0) farsi += char(0x80 + letter);
        else break;
    }
    if (farsi.size() == text.size()) {
        putNumber(out, quint64(farsi.size()) << 3 | Farsi);
        return out + farsi;
    }
    const QByteArray utf8 = text.toUtf8();
    putNumber(out, quint64(utf8.size()) << 3 | Utf8);
    return out + utf8;
}

std::optional<QString> readCompactField(Bytes& in) {
    const quint64 header = in.number();
    const quint64 length = header >> 3;
    if (in.bad || length > quint64(kMaxFieldChars) * 4) return std::nullopt;
    QString text;
    switch (header & 7) {
        case Word:
            if (length >= quint64(codedWords().size())) return std::nullopt;
            return codedWords()[qsizetype(length)];
        case Date: {
            const QByteArray b = in.take(3);
            if (in.bad || length) return std::nullopt;
            const quint32 v = quint32(quint8(b[0])) << 16 | quint32(quint8(b[1])) << 8 | quint8(b[2]);
            return QStringLiteral("%1/%2/%3")
                .arg(v >> 9, 4, 10, QLatin1Char('0'))
                .arg(v >> 5 & 15, 2, 10, QLatin1Char('0'))
                .arg(v & 31, 2, 10, QLatin1Char('0'));
        }
        case Plain: {
            const qsizetype n = qsizetype(length);
            const QByteArray b = in.take(n / 3 * 2 + n % 3);
            if (in.bad) return std::nullopt;
            qsizetype at = 0;
            for (qsizetype i = 0; i < n; i += 3) {
                const qsizetype group = std::min<qsizetype>(3, n - i);
                int v = quint8(b[at++]);
                if (group > 1) v = v << 8 | quint8(b[at++]);
                const int limit = group == 3 ? kPlainBase * kPlainBase * kPlainBase : group == 2 ? kPlainBase * kPlainBase : kPlainBase;
                if (v >= limit) return std::nullopt;
                QString letters;
                for (qsizetype j = 0; j < group; ++j, v /= kPlainBase) letters.prepend(QLatin1Char(kPlainLetters[v % kPlainBase]));
                text += letters;
            }
            break;
        }
        case Farsi:
            for (const char c : in.take(qsizetype(length))) {
                const auto u = quint8(c);
                if (u >= 0x20 && u < 0x7F) text += QLatin1Char(c);
                else if (u >= 0x80 && u - 0x80 < farsiLetters().size()) text += farsiLetters()[u - 0x80];
                else return std::nullopt;
            }
            break;
        case Utf8: {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            text = decoder.decode(in.take(qsizetype(length)));
            if (decoder.hasError()) return std::nullopt;
            break;
        }
        default:
            return std::nullopt;
    }
    if (in.bad || text.size() > kMaxFieldChars || std::any_of(text.cbegin(), text.cend(), isHiddenControl))
        return std::nullopt;
    return text;
}

// The compact code's bytes up to its signature. The office's name is not among them: the key
// that signed it names the office, in the office's store and in its trust list.
QByteArray compactFacts(const SealFacts& facts) {
    QByteArray out;
    putNumber(out, quint64(facts.number));
    for (const QString* field : {&facts.registration, &facts.birthDate, &facts.sex, &facts.sire, &facts.dam, &facts.hf})
        out += compactField(factText(*field));
    out += facts.contentHash.left(kCompactHashBytes);
    out += compactField(factText(facts.issued));
    return out;
}

std::optional<Seal> parseCompactSeal(const QByteArray& payload) {
    const std::optional<QByteArray> blob = fromBase45(payload.mid(kCompactPrefix.size()));
    if (!blob) return std::nullopt;
    Bytes in{*blob};
    Seal seal;
    seal.version = 2;
    const quint64 number = in.number();
    if (in.bad || number == 0 || number >= 1'000'000'000'000'000'000ULL) return std::nullopt;
    seal.facts.number = qint64(number);
    QString* texts[] = {&seal.facts.registration, &seal.facts.birthDate, &seal.facts.sex, &seal.facts.sire,
                        &seal.facts.dam, &seal.facts.hf};
    for (QString* text : texts) {
        const std::optional<QString> t = readCompactField(in);
        if (!t) return std::nullopt;
        *text = *t;
    }
    seal.facts.contentHash = in.take(kCompactHashBytes);
    const std::optional<QString> issued = readCompactField(in);
    if (in.bad || !issued) return std::nullopt;
    seal.facts.issued = *issued;
    // One way to write each fact: a code written otherwise is not the program's.
    if (compactFacts(seal.facts) != blob->left(in.at)) return std::nullopt;
    const qsizetype rest = blob->size() - in.at;
    if (rest != 0 && rest != kCompactKeyIdBytes + kSignatureBytes) return std::nullopt;
    if (rest) {
        seal.keyId = in.take(kCompactKeyIdBytes);
        seal.signature = in.take(kSignatureBytes);
    }
    seal.signedBytes = kCompactPrefix + blob->left(blob->size() - seal.signature.size());
    return seal;
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

namespace {

// Appends the signer's key id, signs everything so far and appends the signature as `encode`
// writes it; false when the signer could not sign.
template <typename Encode>
bool appendSignature(QByteArray& text, const Signer& signer, QString* error, Encode encode) {
    const std::optional<QByteArray> signature = signer.sign(text, error);
    if (!signature) return false;
    if (signature->size() != kSignatureBytes)
        return fail(error, QStringLiteral("امضايي كه كليد داد اندازه امضا را ندارد."));
    text += encode(*signature);
    return true;
}

}  // namespace

QString sealPayload(const SealFacts& facts, const Signer* signer, QString* error, int version) {
    if (version == 2) {
        QByteArray blob = kCompactPrefix + compactFacts(facts);
        if (signer) {
            blob += keyFingerprint(signer->publicKey()).left(kCompactKeyIdBytes);
            if (!appendSignature(blob, *signer, error, [](const QByteArray& s) { return s; })) return {};
        }
        return QString::fromLatin1(kCompactPrefix + toBase45(blob.mid(kCompactPrefix.size())));
    }
    QByteArray text = kPrefix;
    for (const QString& field : {QString::number(facts.number), factText(facts.registration), factText(facts.birthDate),
                                 factText(facts.sex), factText(facts.sire), factText(facts.dam), factText(facts.hf)})
        text += '|' + escapedField(field);
    text += '|' + facts.contentHash.left(kHashBytes).toBase64(kBase64Url);
    text += '|' + escapedField(factText(facts.issued)) + '|' + escapedField(factText(facts.office)) + '|';
    if (signer) {
        text += keyFingerprint(signer->publicKey()).left(kKeyIdBytes).toHex() + '|';
        if (!appendSignature(text, *signer, error, [](const QByteArray& s) { return s.toBase64(kBase64Url); })) return {};
    } else {
        text += '|';
    }
    return QString::fromUtf8(text);
}

std::optional<Seal> parseSeal(const QByteArray& payload) {
    if (payload.size() > kMaxPayloadBytes) return std::nullopt;
    if (payload.startsWith(kCompactPrefix)) return parseCompactSeal(payload);
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
    seal.version = 1;
    seal.signedBytes = payload.left(payload.size() - signature.size());
    return seal;
}

bool sealSignatureHolds(const Seal& seal, const QByteArray& publicKey) {
    if (!seal.isSigned() || publicKey.size() != crypto_sign_PUBLICKEYBYTES || !sodiumReady()) return false;
    if (!keyIdNames(seal.keyId, keyFingerprint(publicKey))) return false;
    const QByteArray& text = seal.signedBytes;
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

bool keyIdNames(const QByteArray& keyId, const QByteArray& fingerprint) {
    return !keyId.isEmpty() && fingerprint.startsWith(keyId);
}

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
