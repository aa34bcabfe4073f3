#pragma once

// Reading, extending and checking the history the store keeps of its records
// (data/history_schema.h): who the program says it is, the file's seal, one record's entries,
// the deleted records and bringing one back, and the check of the whole chain. What a line shows
// of an entry, and when a correction asks for a reason, are in history_text.h.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <optional>

namespace zartav::history {

// This desk as history names it: the login name and the computer's name, "ali@desk-2".
QString thisDesk();

// Inside one write transaction of the program: begin() after the transaction starts, finish()
// just before it commits. The entries the triggers write in between carry this desk, `reason`
// when one is given and, for a record brought back, the action "restore". On the file, finish()
// also seals the entries written (the shell cannot compute SHA-256, so the file's triggers leave
// that to the program).
class WriteScope {
public:
    explicit WriteScope(QSqlDatabase db, QString reason = {}, QString action = {});
    bool begin(QString* error = nullptr);
    bool finish(QString* error = nullptr);

private:
    QSqlDatabase db_;
    QString reason_;
    QString action_;
};

// Around a bulk insert of records on the file, inside the caller's transaction and WriteScope:
// the triggers give way while the rows go in, and one statement then writes every new record's
// entry as the insert trigger would have (a trigger run per row costs the import a third more).
// begin() before the first row, finish() after the last and before WriteScope::finish(), which
// seals them. On the server, where a desk may not suspend the triggers, and on a store without
// history, both do nothing and the triggers write as ever.
class BulkInsertScope {
public:
    explicit BulkInsertScope(QSqlDatabase db);
    bool begin(QString* error = nullptr);
    bool finish(QString* error = nullptr);

private:
    QSqlDatabase db_;
    bool active_ = false;
    qint64 after_ = 0;  // the highest "ID" before the rows: every one above it is new
};

// True when the store has its history table (a store of an earlier version opened for reading
// has none).
bool hasHistory(const QSqlDatabase& db);

// On the file: gives the chain its head (history_schema.h) when it has none and is found whole:
// once, on the first writable open of a store from before the head. Inside the caller's
// transaction. resetHead() sets it to the empty chain, for a copy that replaces the history.
bool startHead(QSqlDatabase& db, QString* error = nullptr);
bool resetHead(QSqlDatabase& db, QString* error = nullptr);

// Seals, in order, the entries after the last sealed one; on the file that is what the triggers
// wrote since, on the server only entries copied in unsealed. Inside the caller's transaction.
// On the file nothing is sealed while the chain does not reach its head, and an entry the
// triggers cannot have written stays unsealed with every one after it (verifyChain names it).
bool seal(QSqlDatabase& db, QString* error = nullptr);

struct Change {
    QString column;
    QVariant before;  // null: absent; a photo as its size in bytes
    QVariant after;
};

struct Entry {
    qint64 entry = 0;
    qint64 recordId = 0;
    QString action;  // as stored: insert, update, delete, restore
    QDateTime at;    // UTC
    QString desk;    // empty when the writer did not say
    QString role;    // the server role; empty on the file
    QString reason;
    QList<Change> changes;  // in the record's column order
};

// The changes as an entry stores them (JSON: {"column": [before, after]}), in the record's column
// order; a name that is no column of the record is left out.
QList<Change> changesOf(const QString& json);

// One record's entries, newest first.
std::optional<QList<Entry>> recordHistory(const QSqlDatabase& db, qint64 id, QString* error = nullptr);

// The records deleted and not brought back, newest delete first: each one's last delete entry,
// whose changes hold the whole record as it was.
std::optional<QList<Entry>> deletedRecords(const QSqlDatabase& db, QString* error = nullptr);

// Brings record `id` back as its last delete left it, with its own "ID" and photos, in one
// transaction (itself an entry). Refused when no delete of it is kept or the "ID" is in use.
bool restoreRecord(QSqlDatabase& db, qint64 id, QString* error = nullptr);

struct ChainCheck {
    bool ok = false;
    qint64 entries = 0;   // read and found sound
    qint64 unsealed = 0;  // at the end, written by another program since the last seal
    qint64 badEntry = 0;  // the first entry that does not match; 0 when none
    QString problem;      // what is wrong with it, or why the history could not be read
};

// Checks every entry's hash against its content and the entry before it, and that no number is
// missing; on the file also that the chain reaches its head and that every unsealed entry could
// be the triggers'. Reads only.
ChainCheck verifyChain(const QSqlDatabase& db);

}  // namespace zartav::history
