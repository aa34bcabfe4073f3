#pragma once

// The register of issued certificates and the office's public keys: tables of the store on
// either engine, beside the records (the office's texts are in office_texts.h).
//
// Every certificate printed or written to a file is an issue with a number. Printing a record
// that has not changed since its current issue is a duplicate of that number; printing a changed
// record gives a new number and marks the old issue superseded by it. One record has at most
// one current issue: the store itself refuses a second (a unique index), so two desks printing
// the same record at once end with one number.

#include "data/engine/sql_dialect.h"
#include "data/schema/register_schema.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace zartav::certificates {

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

// A number that no longer vouches for its record, and since when: superseded by the issue that
// replaced it (its time), or taken back before it reached paper (its own time).
struct ClosedIssue {
    qint64 number = 0;
    qint64 supersededBy = 0;  // 0: taken back
    QDateTime since;          // UTC
};
// Every superseded or taken back number, in number order; nothing when the register cannot be
// read (`error` says why).
std::optional<QList<ClosedIssue>> closedIssues(QSqlDatabase& db, QString* error = nullptr);

// Whether record `recordId` is certified: it has a current issue. Nothing when the register
// cannot be read (`error` says why).
std::optional<bool> hasCurrentIssue(QSqlDatabase& db, qint64 recordId, QString* error = nullptr);

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

}  // namespace zartav::certificates
