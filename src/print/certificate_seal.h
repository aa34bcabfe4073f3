#pragma once

// The code printed on a certificate: a compact payload of the facts a buyer checks, the content
// hash and an Ed25519 signature by the office's key, and the key files that sign it. Anyone with
// the office's public key can check a certificate without reaching the office's store.

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>

namespace zartav::print {

// The facts a certificate's code carries, in the order they are written.
struct SealFacts {
    qint64 number = 0;          // certificate number
    QString registration;       // "شماره ثبت"
    QString birthDate;          // "تاريخ تولد"
    QString sex;                // "جنس گوساله"
    QString sire;               // "ثبت داخلي"
    QString dam;                // "ثبت مادر تني"
    QString hf;                 // "HFگوساله"
    QByteArray contentHash;     // the first bytes of the content hash (kHashBytes, kCompactHashBytes)
    QString issued;             // the Solar Hijri date, YYYY/MM/DD
    QString office;             // the issuing office's name (the compact code names it by its key)

    bool operator==(const SealFacts&) const = default;
};

inline constexpr int kHashBytes = 16;
// The compact code's share of the hash and of the key's fingerprint: each byte saved keeps its
// modules coarse. 64 bits of hash still take more than any forger has; the key id only finds
// the key, whose signature decides.
inline constexpr int kCompactHashBytes = 8;
inline constexpr int kCompactKeyIdBytes = 4;
inline constexpr int kKeyIdBytes = 8;
inline constexpr int kSignatureBytes = 64;
// Longer text than this is not a payload of ours: it is refused before it is looked at.
inline constexpr int kMaxPayloadBytes = 1200;

struct Seal {
    SealFacts facts;
    QByteArray keyId;      // the first bytes of the signing key's fingerprint; empty when unsigned
    QByteArray signature;  // kSignatureBytes; empty when unsigned
    QByteArray signedBytes;  // what the signature covers
    int version = 0;         // 1: the first text form; 2: the compact code

    bool isSigned() const { return !signature.isEmpty(); }
};

// Characters no printed fact carries: C0 and C1 controls, DEL, the direction marks, embeddings,
// overrides and isolates, and the line and paragraph separators. On a terminal or a page they
// start new lines, move the cursor or reorder what stands around them.
bool isHiddenControl(QChar c);
// `text` without them, as a code carries a fact.
QString factText(QString text);
// `text` with each of them written as \uXXXX, for a terminal.
QString shownEscaped(const QString& text);

// An office's signing key, as a key file holds it.
struct SigningKey {
    QByteArray secret;     // libsodium's 64-byte Ed25519 secret key (seed and public key)
    QByteArray publicKey;  // 32 bytes
};

// Whatever holds the office's Ed25519 key and signs with it: a key file read into memory, or a
// token that never gives its key out. Used from one thread at a time.
class Signer {
public:
    virtual ~Signer() = default;
    // 32 bytes.
    virtual QByteArray publicKey() const = 0;
    // The kSignatureBytes signature of `text`; nothing when the holder cannot sign, with the
    // reason in Farsi, for the person at the desk.
    virtual std::optional<QByteArray> sign(const QByteArray& text, QString* error) const = 0;
};

// Signs with a secret key held in memory.
class KeySigner final : public Signer {
public:
    explicit KeySigner(SigningKey key) : key_(std::move(key)) {}
    QByteArray publicKey() const override { return key_.publicKey; }
    std::optional<QByteArray> sign(const QByteArray& text, QString* error) const override;

private:
    SigningKey key_;
};

// The payload for `facts`, signed by `signer` when there is one; empty when the signer could not
// sign (`error` says why). Certificates print the compact code: "ZC2:" and the Base45 of binary
// fields, every letter in a QR code's alphanumeric set. `version` 1 writes the first text form,
// which older certificates carry.
QString sealPayload(const SealFacts& facts, const Signer* signer, QString* error = nullptr, int version = 2);

// Reads a payload of either form; nothing when it is not one of ours, cut, or malformed in any
// field, or when a field holds a hidden control (the program never writes one). A compact code
// must be written exactly as this program writes its facts.
std::optional<Seal> parseSeal(const QByteArray& payload);

// True when the signature of `seal` is `publicKey`'s over its signed text.
bool sealSignatureHolds(const Seal& seal, const QByteArray& publicKey);

// The short check code printed beside the code: eight letters and digits from the content hash,
// as "ABCD-EFGH", for reading out over the telephone.
QString checkCode(const QByteArray& contentHash);

// SHA-256 of the public key, 32 bytes; its first bytes name the key in a payload.
QByteArray keyFingerprint(const QByteArray& publicKey);
// True when a payload's key id names the key of `fingerprint`.
bool keyIdNames(const QByteArray& keyId, const QByteArray& fingerprint);
// The fingerprint as people compare it: hex in groups of four.
QString fingerprintText(const QByteArray& fingerprint);

// A new key pair.
SigningKey newSigningKey();

// Writes the secret key to `path` (mode 0600, refused when the file exists: a key is never
// overwritten) and the public key beside it as `path`.pub. False with the reason in `error`.
bool writeKeyFiles(const QString& path, const SigningKey& key, QString* error);
// Writes a public key file at `path` (mode 0644, refused when the file exists), as verify reads it.
bool writePublicKeyFile(const QString& path, const QByteArray& publicKey, QString* error);
// Reads a secret key file; nothing, with the reason, when it is not one (or a public key file).
std::optional<SigningKey> readSigningKey(const QString& path, QString* error);
// Reads a public key file (or takes the public half of a secret key file).
std::optional<QByteArray> readPublicKey(const QString& path, QString* error);

}  // namespace zartav::print
