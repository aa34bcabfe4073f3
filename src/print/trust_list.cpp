#include "print/trust_list.h"

#include "data/certificates/certificate_register.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace zartav::print {

namespace {

constexpr qint64 kMaxTrustListBytes = 8'000'000;

QString isoTime(const QDateTime& t) { return t.toUTC().toString(Qt::ISODate); }

template <typename T>
std::optional<T> refused(QString* error, const QString& why) {
    if (error) *error = why;
    return std::nullopt;
}

QByteArray payloadBytes(const TrustList& list) {
    QJsonArray keys, closed;
    for (const TrustedKey& k : list.keys)
        keys.append(QJsonObject{{"publicKey", QString::fromLatin1(k.publicKey.toBase64())},
                                {"fingerprint", QString::fromLatin1(keyFingerprint(k.publicKey).toHex())},
                                {"from", k.from},
                                {"to", k.to},
                                {"office", k.office}});
    for (const ClosedNumber& c : list.closed)
        closed.append(QJsonObject{{"number", double(c.number)}, {"supersededBy", double(c.supersededBy)}, {"since", c.since}});
    return QJsonDocument(QJsonObject{{"date", list.date}, {"keys", keys}, {"closed", closed}}).toJson(QJsonDocument::Compact);
}

// Whole numbers JSON carries exactly, from 1 on.
std::optional<qint64> count(const QJsonValue& v, bool zero) {
    const double d = v.toDouble(-1);
    if (!v.isDouble() || d != double(qint64(d)) || d < (zero ? 0 : 1) || d > 9e15) return std::nullopt;
    return qint64(d);
}

}  // namespace

std::optional<TrustList> storeTrustList(QSqlDatabase& db, const QString& office, QString* error) {
    const std::optional<QList<certificates::PublicKey>> keys = certificates::publicKeys(db, error);
    if (!keys) return std::nullopt;
    if (keys->isEmpty()) return refused<TrustList>(error, QStringLiteral("the store holds no public key: make one with keygen"));
    const std::optional<QList<certificates::ClosedIssue>> closed = certificates::closedIssues(db, error);
    if (!closed) return std::nullopt;
    TrustList list;
    list.date = isoTime(QDateTime::currentDateTimeUtc());
    for (qsizetype i = 0; i < keys->size(); ++i)
        list.keys << TrustedKey{keys->at(i).key, isoTime(keys->at(i).made),
                                i + 1 < keys->size() ? isoTime(keys->at(i + 1).made) : QString(), factText(office)};
    for (const certificates::ClosedIssue& c : *closed) list.closed << ClosedNumber{c.number, c.supersededBy, isoTime(c.since)};
    return list;
}

QByteArray signedTrustList(const TrustList& list, const Signer& signer, QString* error) {
    // Only the office's current key speaks for it: an older one may have left the office.
    const QByteArray key = signer.publicKey();
    if (list.keys.isEmpty() || list.keys.last().publicKey != key) {
        if (error)
            *error = std::any_of(list.keys.cbegin(), list.keys.cend(), [&](const TrustedKey& k) { return k.publicKey == key; })
                         ? QStringLiteral("the signing key is an older key of the store: sign with its current key")
                         : QStringLiteral("the signing key is not one of the store's keys");
        return {};
    }
    const QByteArray payload = payloadBytes(list);
    const std::optional<QByteArray> signature = signer.sign(payload, error);
    if (!signature) return {};
    return QJsonDocument(QJsonObject{{"format", QLatin1String(kTrustListFormat)},
                                     {"key", QString::fromLatin1(key.toBase64())},
                                     {"payload", QString::fromLatin1(payload.toBase64())},
                                     {"signature", QString::fromLatin1(signature->toBase64())}})
               .toJson(QJsonDocument::Indented);
}

std::optional<TrustList> readTrustList(const QByteArray& file, QString* error) {
    if (file.size() > kMaxTrustListBytes) return refused<TrustList>(error, QStringLiteral("the file is too large for a trust list"));
    const QJsonObject outer = QJsonDocument::fromJson(file).object();
    if (outer.value("format").toString() != QLatin1String(kTrustListFormat))
        return refused<TrustList>(error, QStringLiteral("not a trust list of this program"));
    auto bytes = [&](const char* name) {
        const auto decoded = QByteArray::fromBase64Encoding(outer.value(QLatin1String(name)).toString().toLatin1(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        return decoded ? decoded.decoded : QByteArray();
    };
    const QByteArray key = bytes("key"), payload = bytes("payload"), signature = bytes("signature");
    Seal seal;
    seal.keyId = keyFingerprint(key).left(kKeyIdBytes);
    seal.signature = signature;
    seal.signedBytes = payload;
    if (signature.size() != kSignatureBytes || !sealSignatureHolds(seal, key))
        return refused<TrustList>(error, QStringLiteral("the trust list's signature does not match: it was changed after it was signed"));
    const QJsonObject inner = QJsonDocument::fromJson(payload).object();
    TrustList list;
    list.date = inner.value("date").toString();
    bool signerListed = false;
    for (const QJsonValue& v : inner.value("keys").toArray()) {
        const QJsonObject k = v.toObject();
        TrustedKey t{QByteArray::fromBase64(k.value("publicKey").toString().toLatin1()), k.value("from").toString(),
                     k.value("to").toString(), factText(k.value("office").toString())};
        if (t.publicKey.size() != 32) return refused<TrustList>(error, QStringLiteral("a key of the trust list is damaged"));
        signerListed = signerListed || t.publicKey == key;
        list.keys << t;
    }
    for (const QJsonValue& v : inner.value("closed").toArray()) {
        const QJsonObject c = v.toObject();
        const std::optional<qint64> number = count(c.value("number"), false), by = count(c.value("supersededBy"), true);
        if (!number || !by) return refused<TrustList>(error, QStringLiteral("a number of the trust list is damaged"));
        list.closed << ClosedNumber{*number, *by, c.value("since").toString()};
    }
    if (!signerListed || list.date.isEmpty())
        return refused<TrustList>(error, QStringLiteral("the trust list is not signed by one of its own keys"));
    return list;
}

}  // namespace zartav::print
