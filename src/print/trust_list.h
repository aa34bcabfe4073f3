#pragma once

// An office's signed trust list: every public key its store knows and every certificate number
// that no longer vouches for its record, as of the list's date, signed by the office's current
// key. The file is JSON: {"format", "key", "payload", "signature"}, the payload the base64 of the
// list's own compact JSON bytes, so a browser checks the signature over exact bytes.

#include "print/certificate_seal.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace zartav::print {

inline constexpr const char* kTrustListFormat = "zartav-trust-list-1";

struct TrustedKey {
    QByteArray publicKey;  // 32 bytes
    QString from;          // ISO 8601 UTC: when the key was made
    QString to;            // when the next key replaced it; empty for the current key
    QString office;
};

struct ClosedNumber {
    qint64 number = 0;
    qint64 supersededBy = 0;  // 0: taken back before it reached paper
    QString since;            // ISO 8601 UTC
};

struct TrustList {
    QString date;  // ISO 8601 UTC
    QList<TrustedKey> keys;
    QList<ClosedNumber> closed;
};

// The office's list from its store; nothing when the store cannot be read or holds no key.
std::optional<TrustList> storeTrustList(QSqlDatabase& db, const QString& office, QString* error);
// The signed file; empty when `signer` could not sign or its key is not the list's current key.
QByteArray signedTrustList(const TrustList& list, const Signer& signer, QString* error);
// A file's list, once its signature holds by its own key, which must be one of the list's keys.
// Nothing, with the reason, for anything else: a list changed by a single byte is refused.
std::optional<TrustList> readTrustList(const QByteArray& file, QString* error);

}  // namespace zartav::print
