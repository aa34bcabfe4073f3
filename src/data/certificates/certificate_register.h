#pragma once

// The register of issued certificates, the office's public keys and the issuing office's own
// texts: three tables of the store on either engine, beside the records.
//
// Every certificate printed or written to a file is an issue with a number. Printing a record
// that has not changed since its current issue is a duplicate of that number; printing a changed
// record gives a new number and marks the old issue superseded by it. One record has at most
// one current issue: the store itself refuses a second (a unique index), so two desks printing
// the same record at once end with one number.

#include "data/engine/sql_dialect.h"
#include "data/schema/store_schema.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace zartav::certificates {

inline constexpr const char* kIssueTable = "CertificateIssues";
inline constexpr const char* kKeyTable = "CertificateKeys";
inline constexpr const char* kOfficeTable = "CertificateOffice";

// The register's tables and index as `d`'s engine makes them (described with the store's other
// objects in data/store_schema.cpp).
QList<StoreObject> registerObjects(const SqlDialect& d);

// True when the store holds the register's three tables (a store of an earlier version, read as
// it is, has none).
bool hasRegister(const QSqlDatabase& db);

// What is being issued: the record, its content and who prints it where.
struct IssueRequest {
    qint64 recordId = 0;
    QByteArray contentHash;  // SHA-256 of `content`
    QString content;         // the canonical text (print/certificate_content.h)
    QString issuedBy;
    QString desk;
    QString keyFingerprint;  // hex; empty when the desk signs nothing
};

struct Issue {
    qint64 number = 0;
    qint64 recordId = 0;
    QByteArray contentHash;
    QString content;
    QDateTime issued;  // UTC
    QString issuedBy;
    QString desk;
    QString keyFingerprint;
    int copies = 1;
    qint64 supersededBy = 0;  // 0: current (or taken back)
    bool withdrawn = false;   // taken back before it reached paper: no copies, superseded by none
    QString issuedText;       // `issued` as stored, which the seal covers
    QString seal;             // hex SHA-256 over the issue's facts and the seal before it
    bool duplicate = false;   // from issue(): this printing repeats an unchanged issue
    qint64 superseded = 0;    // from issue(): the number this one replaced, 0 when none
};

// The server's function and trigger that seal every issue as it is written.
inline constexpr const char* kServerSealFunction = "zartav_issue_seal";

// On the file: a register from before the seals gets its seal column, and every issue in it its
// seal, in order. Inside the caller's transaction; nothing to do on the server, whose trigger
// seals them, or on a file already brought up.
bool bringUpRegister(QSqlDatabase& db, QString* error = nullptr);
// On the file: seals every issue, in order (a copy whose issues came from a register that was
// checked). Inside the caller's transaction; nothing to do on the server.
bool sealRegister(QSqlDatabase& db, QString* error = nullptr);

// The seal of an issue, as the server's trigger computes it: SHA-256 over each field's length in
// bytes, a colon and the field ("-" for an absent one), the seal of the issue numbered before it
// first, then the number, record, content hash (hex), content, time as stored, who, desk and key.
// An issue's state (copies, superseded, taken back) is not sealed: it is checked against the
// issues after it of the same record. Lower-case hex.
QByteArray issueSeal(const QString& previous, const Issue& issue);

struct RegisterCheck {
    bool ok = false;
    qint64 issues = 0;     // checked and found sound
    qint64 badNumber = 0;  // the first issue that does not hold; 0 when none
    QString problem;       // what is wrong with it, or why the register could not be read
};
// One issue as findIssue() read it: its seal against its facts and the seal before it, and its
// state against the record's later issues. Reads only.
RegisterCheck checkIssue(QSqlDatabase& db, const Issue& issue);
// The whole register, in number order. Reads only.
RegisterCheck verifyRegister(QSqlDatabase& db);

// Issues the certificates of `requests` in one transaction, in order: a record's current issue
// again when its content hash is unchanged (one more copy), otherwise a new number that
// supersedes it. A batch costs a handful of statements whatever its size. All or nothing: on
// failure no issue is written, with the store's words in `error`.
std::optional<QList<Issue>> issue(QSqlDatabase& db, const QList<IssueRequest>& requests, QString* error = nullptr);

// Takes back `issued` (as issue() answered them) for certificates that never reached paper: a
// new number goes and the issue it superseded is current again, a duplicate loses its copy. An
// issue another desk has printed again or superseded since keeps that desk's part. The numbers
// taken back are never handed out again.
bool withdraw(QSqlDatabase& db, const QList<Issue>& issued, QString* error = nullptr);

// The issue of `number`; nothing when there is none, or the register cannot be read (`error`
// then says why; it stays empty for a number never issued).
std::optional<Issue> findIssue(QSqlDatabase& db, qint64 number, QString* error = nullptr);

// --- keys
struct PublicKey {
    QString fingerprint;  // hex of the key's SHA-256
    QByteArray key;       // 32 bytes
    QDateTime made;
};
// Adds a public key; one already there is left as it is. Earlier keys are never removed, so
// older certificates still verify.
bool addPublicKey(QSqlDatabase& db, const QByteArray& key, const QString& fingerprint, QString* error = nullptr);
// Every key of the office, oldest first.
std::optional<QList<PublicKey>> publicKeys(QSqlDatabase& db, QString* error = nullptr);

// --- the issuing office's texts
// Their names in the office table, each with the text printed until the office sets its own.
// The source layout's header and footer lines hold stand-in words, which no official page may
// print: until the office has set each of those, only draft pages print.
struct OfficeText {
    const char* name;
    const char* defaultText;
    bool standIn = false;  // the default is stand-in words
};
const QList<OfficeText>& officeTexts();
// The names of the texts that still print stand-in words; none when the office may issue.
QStringList standInTexts(const QHash<QString, QString>& texts);
// Farsi: why an official page does not print yet, naming the window where the texts are set.
QString standInTextsReason();
// Every text, the defaults for those never set; nothing when the store cannot be read. A store
// without the table (an older file opened for reading) answers the defaults.
std::optional<QHash<QString, QString>> readOfficeTexts(QSqlDatabase& db, QString* error = nullptr);
// Sets the given texts in one transaction; an empty text goes back to the default.
bool writeOfficeTexts(QSqlDatabase& db, const QHash<QString, QString>& texts, QString* error = nullptr);

// Names in the office table.
inline constexpr const char* kMinistryLine = "ministry";
inline constexpr const char* kDeputyLine = "deputy";
inline constexpr const char* kCentreLine = "centre";
inline constexpr const char* kUnionLine = "union";
inline constexpr const char* kRegistryLine = "registry";
inline constexpr const char* kOfficeName = "office";
inline constexpr const char* kOfficeAddress = "address";
inline constexpr const char* kOfficeContact = "contact";
inline constexpr const char* kSignatoryName = "signatory";
inline constexpr const char* kSignatoryRole = "role";

}  // namespace zartav::certificates
