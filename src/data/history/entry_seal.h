#pragma once

// The hash that seals one history entry, and the entry's fields as sealing and checking read them.

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace zartav::history {

// The hash of one entry, as the server's trigger computes it: SHA-256 over each field's length
// in bytes, a colon and the field ("-" for an absent one), the previous hash first and each
// kept photo by its own SHA-256. Lower-case hex.
struct Sealed {
    QString previous;
    qint64 entry = 0;
    qint64 recordId = 0;
    QString action, at, desk, role, reason, changes;
    QString photoHashes[3];
};
QByteArray entryHash(const Sealed& fields);


// The entry columns sealing and checking read, photos as their hashes where the server can
// compute them, else as bytes.
QString sealedColumns(const QSqlDatabase& db);

// A row read with sealedColumns(), to be hashed after `previous`.
Sealed sealedOf(const QSqlQuery& row, const QSqlDatabase& db, const QString& previous);

}  // namespace zartav::history
