#pragma once

// The hash that seals one history entry, and the entry's fields as sealing and checking read them.

#include "data/toolkit/row_columns.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace zartav::history {

// An entry's own fields as stored, the photos and the hash aside.
struct StoredEntry {
    qint64 entry = 0;
    qint64 recordId = 0;
    QString action, at, desk, role, reason, changes;
};

// Their columns: what every read of entries selects.
inline constexpr rows::Columns<StoredEntry, 8> kEntryColumns = {{
    {"Entry", [](StoredEntry& e, const QVariant& v) { e.entry = v.toLongLong(); }},
    {"RecordID", [](StoredEntry& e, const QVariant& v) { e.recordId = v.toLongLong(); }},
    {"Action", [](StoredEntry& e, const QVariant& v) { e.action = v.toString(); }},
    {"At", [](StoredEntry& e, const QVariant& v) { e.at = v.toString(); }},
    {"Desk", [](StoredEntry& e, const QVariant& v) { e.desk = v.toString(); }},
    {"Role", [](StoredEntry& e, const QVariant& v) { e.role = v.toString(); }},
    {"Reason", [](StoredEntry& e, const QVariant& v) { e.reason = v.toString(); }},
    {"Changes", [](StoredEntry& e, const QVariant& v) { e.changes = v.toString(); }},
}};

// The hash of one entry, as the server's trigger computes it: SHA-256 over each field's length
// in bytes, a colon and the field ("-" for an absent one), the previous hash first and each
// kept photo by its own SHA-256. Lower-case hex.
struct Sealed : StoredEntry {
    QString previous;
    QString photoHashes[3];
    QVariant storedHash;  // the hash the row holds, null while unsealed; not hashed itself
};
QByteArray entryHash(const Sealed& fields);

// The entry columns sealing and checking read, photos as their hashes where the server can
// compute them, else as bytes.
QString sealedColumns(const QSqlDatabase& db);

// Reads the rows of one statement made with sealedColumns().
class SealedReader {
public:
    explicit SealedReader(const QSqlDatabase& db);
    // The row's entry, to be hashed after `previous`.
    Sealed read(const QSqlQuery& row, const QString& previous);

    struct Kept {
        QVariant photos[3];
        QVariant hash;
    };

private:
    bool server_;
    rows::Reader<StoredEntry, 8> entry_;
    rows::Reader<Kept, 4> kept_;
};

}  // namespace zartav::history
