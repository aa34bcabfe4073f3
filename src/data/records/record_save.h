#pragma once

// Writing one record: the edit buffer of an insert or an edit, and the one transaction that saves
// it (or deletes a record), with no state of their own. Conflicts with other desks are found by
// the row's version on the server and by the record's every column on the file.

#include "data/records/record_reads.h"
#include "data/link/store_link.h"

#include <QString>
#include <QVariant>
#include <QVector>
#include <optional>

namespace zartav {

enum class RecordState { Browse, Insert, Edit };

// Why the last save did not happen.
enum class SaveFailure {
    None,
    Refused,           // the store refused it: a rule, a full disk, a lock held elsewhere, no write rights
    ChangedElsewhere,  // the record was saved elsewhere since this edit began
    Deleted,           // the record was deleted elsewhere since this edit began
    Unreachable,       // the link to the server is lost and could not be made again
    NotAllowed,        // the server refused this login the write: a right it lacks, a row of another province
};

// A save either checks that the record is still as the edit found it, or, when the user has
// chosen to keep their version over another desk's, writes it regardless.
enum class SaveMode { CheckVersion, Overwrite };

// What is being typed into a new record or an edited one.
struct EditBuffer {
    RecordState state = RecordState::Browse;
    qint64 id = 0;                // the record edited
    QVector<QVariant> values;     // all 55 columns
    QVector<bool> modified;       // columns written since insert/edit began
    QVector<QVariant> original;   // while editing: every column as the edit found it
    QString version;              // while editing on the server: the row version it found
    QString reason;               // while editing: the reason of the correction
    // While editing: the record has a current issue and this desk's role may not correct a
    // certified record, so the change goes to a registrar as a request instead of being saved.
    bool byRequest = false;
    // While editing: the register holds a current issue of the record.
    bool issued = false;
    // While inserting: the "ID" and the values of a new record whose commit was sent but whose
    // answer was lost with the link, so the store may hold it already.
    qint64 unconfirmedId = 0;
    QVector<QVariant> unconfirmedValues;

    void beginInsert();
    // Starts editing record `id` as `stored` holds it.
    void beginEdit(qint64 id, const reads::StoredRecord& stored);
    void clear() { *this = EditBuffer(); }
};

struct SaveOutcome {
    bool saved = false;
    SaveFailure failure = SaveFailure::None;
    QString error;  // the store's own words
    qint64 id = 0;  // the record saved
    // The buffer as it stands after the attempt (a lost commit's "ID" kept for the next OK).
    EditBuffer buffer;
    // What the list shows afterwards, read after the commit in the same round trip.
    std::optional<reads::View> view;
};

// Saves `buffer` in one transaction and reads `view` after it. On failure nothing is written.
// OK pressed again after a commit whose answer was lost finds the new record stored and saves
// onto it what was typed since, never a second record. A link lost before the commit was sent
// wrote nothing: the save is tried once more on a new one.
SaveOutcome saveRecord(StoreLink& link, EditBuffer buffer, SaveMode mode, const reads::ViewRequest& view);

struct DeleteOutcome {
    bool deleted = false;
    SaveFailure failure = SaveFailure::None;
    QString error;
    std::optional<reads::View> view;
};
// A record the server keeps from this login's delete (row-level security hides it from the
// write, not from reading) is not deleted: NotAllowed, with no words of the server's.
DeleteOutcome deleteRecord(StoreLink& link, qint64 id, const reads::ViewRequest& view);

}  // namespace zartav
