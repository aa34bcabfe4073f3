#pragma once

// The tables of the register of issued certificates, the office's public keys and the issuing
// office's texts, as each engine makes them, and the seals that chain the issues: the server's
// trigger writes them, and on a file the program computes the same.

#include "data/engine/sql_dialect.h"
#include "data/schema/store_object.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace zartav::certificates {

inline constexpr const char* kIssueTable = "CertificateIssues";
inline constexpr const char* kKeyTable = "CertificateKeys";
inline constexpr const char* kOfficeTable = "CertificateOffice";

// The server's function and trigger that seal every issue as it is written.
inline constexpr const char* kServerSealFunction = "zartav_issue_seal";

// The register's tables and index as `d`'s engine makes them (described with the store's other
// objects in data/schema/store_schema.cpp).
QList<StoreObject> registerObjects(const SqlDialect& d);

// True when the store holds the register's three tables (a store of an earlier version, read as
// it is, has none).
bool hasRegister(const QSqlDatabase& db);

// SHA-256 over each field's length in bytes, a colon and the field ("-" for an absent one): the
// seal `previous` first (absent when empty), then `facts`, the text of an issue's sealed columns
// in order (number, record, content hash in hex, content, time as stored, who, desk and key), as
// the server's trigger computes it. Lower-case hex.
QByteArray chainSeal(const QString& previous, const QStringList& facts);

// On the file the program seals what it writes, in the caller's transaction: the issues of
// `numbers` and every one after them, in order, each after the one before it.
bool sealIssues(QSqlDatabase& db, QList<qint64> numbers, QString* error = nullptr);

// A file's register has its seals' column, or there is no register: nothing when it cannot be read.
std::optional<bool> fileIssuesSealed(const QSqlDatabase& db, QString* error = nullptr);

// On the file: a register from before the seals gets its seal column, and every issue in it its
// seal, in order. Inside the caller's transaction; nothing to do on the server, whose trigger
// seals them, or on a file already brought up.
bool bringUpRegister(QSqlDatabase& db, QString* error = nullptr);
// On the file: seals every issue, in order (a copy whose issues came from a register that was
// checked). Inside the caller's transaction; nothing to do on the server.
bool sealRegister(QSqlDatabase& db, QString* error = nullptr);

}  // namespace zartav::certificates
