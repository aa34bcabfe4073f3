#pragma once

// The record table "VaskorTemp" as the windows see it: a cursor with a current record, the herd
// filter and the find text in force, and an edit buffer for insert and edit.
//
// The table is not loaded into memory: it is a cursor over "VaskorTemp" ordered by "ID" that
// reads rows a page at a time when they are asked for (the list, the current record), so
// opening it costs the same for ten records as for a hundred thousand. Photos are read only for
// the current record, on request.

#include "data/connection.h"
#include "data/record_find.h"
#include "data/record_schema.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
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
};

// A save either checks that the record is still as the edit found it, or, when the user has
// chosen to keep their version over another desk's, writes it regardless.
enum class SaveMode { CheckVersion, Overwrite };

// The record table "VaskorTemp": a cursor with a current record, an optional filter on one
// column's value, and an edit buffer for insert/edit. Column names are the exact names of
// schema::kRecordColumns (two blanks where they have two); Latin letters match in any case.
//
// The current record is held by its "ID": another desk or program may add or delete rows before
// it, so its position is only where the list shows it. Every read, save and delete of the
// current record goes by "ID".
class RecordTable : public QObject {
    Q_OBJECT
public:
    explicit RecordTable(Connection& connection, QObject* parent = nullptr);
    ~RecordTable() override;

    Connection& connection() const { return connection_; }

    // Open and close are refused while a record is being inserted or edited.
    bool open();
    bool close();
    bool isOpen() const { return open_; }

    // Rows the table shows under the filter in force.
    int rowCount() const;
    bool isEmpty() const { return rowCount() == 0; }

    // The current record: its row under the filter in force, -1 when there is none.
    int currentRow() const { return currentRow_; }
    bool setCurrentRow(int row);
    bool first();
    // Moves to the first row (in "ID" order) whose column holds `value`; false leaves the
    // current record where it was.
    bool locate(const QString& column, const QVariant& value);
    bool locateId(qint64 id) { return locate(QStringLiteral("ID"), id); }

    // "ID" of the current record; 0 when there is none or it is a new, unsaved record.
    qint64 id() const;
    // A column of the current record (or of the edit buffer while inserting or editing) as text;
    // empty for an unknown column, a photo column or no current record.
    QString value(const QString& column) const;
    // A photo column of the current record (or the edit buffer) as stored bytes.
    QByteArray photo(const QString& column) const;
    // Writes into the edit buffer; false outside insert/edit, for "ID" or an unknown column.
    bool setValue(const QString& column, const QString& text);
    bool setPhoto(const QString& column, const QByteArray& bytes);
    // Index into schema::kRecordColumns of `column`, -1 when unknown.
    static int columnIndex(const QString& column);
    // Longest text a text column holds, in characters.
    static int maxLength() { return schema::kTextColumnSize; }

    RecordState state() const { return state_; }
    // Starts a new empty record; it becomes current once posted.
    bool insert();
    // Starts editing the current record, read afresh from the store; false when there is none
    // or it has been deleted elsewhere.
    bool edit();
    // Saves the inserted or edited record in one transaction. On failure nothing is written,
    // the table stays in insert/edit mode (the caller cancels or lets the user try again),
    // saveFailure() says what kind of failure and errorText() the store's own words.
    bool post(SaveMode mode = SaveMode::CheckVersion);
    SaveFailure saveFailure() const { return saveFailure_; }
    // While editing: why the record is corrected, kept with the history entry the save leaves.
    void setChangeReason(const QString& reason) { reason_ = reason; }
    // While editing: reads the record again as it is stored now, dropping what was typed;
    // false when it has been deleted meanwhile.
    bool reloadEdited();
    void cancel();
    // Deletes the current record; the next one (or the previous, at the end) becomes current.
    bool remove();

    // Narrows the rows to those whose column equals `value` (bound, compared as stored text; a
    // herd code with its digits folded as find folds them, blanks kept, so "۱۲۰۷" finds the
    // records stored as "1207" too). Takes effect while filtered. Each is refused
    // while a record is being inserted or edited, and when the rows cannot be read under the
    // new filter (the rows shown stay).
    bool setFilter(const QString& column, const QVariant& value);
    bool clearFilter();
    bool setFiltered(bool on);
    bool isFiltered() const { return filter_.on; }
    QString filterColumn() const;
    QVariant filterValue() const { return filter_.value; }

    // Narrows the rows, beside the filter, to the records whose registration number, body
    // number, metal or plastic ear tag or calf name begins with `text` (data/record_find.h);
    // empty text shows them all. Refused like setFilter; clearing the filter keeps it.
    bool setFind(const QString& text);
    QString findText() const { return filter_.findText; }

    // When many rows are found they are counted only as far as the list shows them; these count
    // further, as the list reaches the end of the rows counted.
    bool hasMoreRows() const { return open_ && !countComplete_; }
    void readMoreRows();

    // Every row under the filter and the find in force, in "ID" order, read by one statement
    // (one snapshot) and handed to `visit` with its "ID" and the values of `columns` (indexes
    // into schema::kRecordColumns) until it answers false; false with the store's words when
    // the rows could not be read. Needs only an open connection.
    using RowVisit = std::function<bool(qint64 id, const QVector<QVariant>& values)>;
    bool forEachShown(const QList<int>& columns, const RowVisit& visit, QString* error = nullptr) const;
    // How many rows that is, counted in full.
    std::optional<qint64> shownCount(QString* error = nullptr) const;

    // Reads the rows again, for work saved elsewhere, keeping the current record by its "ID"
    // (the nearest row when it is gone). While a record is being inserted or edited nothing
    // changes until the edit ends.
    void refresh();

    QString errorText() const { return errorText_; }

    // Read by the record list: a listed column (0..50) at a row, "ID" at a row, and the row of an
    // "ID" under the filter in force (-1 when it is not shown).
    QString listValue(int row, int column) const;
    qint64 idAt(int row) const;
    int rowOfId(qint64 id) const;

signals:
    // The set or order of rows changed (open, close, filter, insert, delete): views reload.
    void rowsReset();
    void currentChanged(int row);
    void stateChanged(zartav::RecordState state);
    // Around a refresh for work saved elsewhere: views keep their place across it.
    void aboutToRefresh();
    void refreshed();
    // The rows could not be read; what was shown stays. Once until a read succeeds again.
    void readFailed(const QString& farsiText);
    // A record was saved: every column as the edit found it (empty for a new record) and as
    // saved.
    void recordSaved(const QVector<QVariant>& before, const QVector<QVariant>& after);
    // The current record was deleted.
    void recordRemoved();
    // More of the rows found were counted: rows first..last join the end.
    void rowsAboutToBeAppended(int first, int last);
    void rowsAppended();

private:
    struct Row {
        qint64 id = 0;
        QStringList values;  // the listed columns
    };
    struct Filter {
        int column = -1;
        QVariant value;
        bool on = false;
        QString findText;  // as typed
        QString folded;    // as compared; empty when nothing is sought
        find::Plan plan = find::Plan::Indexed;
    };
    using Page = QVector<Row>;
    // A page is a little more than one screen, so the first screen after a tab switch reads
    // no more rows than it shows; 128 pages keep 8,192 rows at hand for scrolling back.
    static constexpr int kPageSize = 64;
    static constexpr int kMaxCachedPages = 128;

    QString whereClause(const Filter& filter, const QString& extra = {}) const;
    void bindFilter(QSqlQuery& query, const Filter& filter) const;
    // Counts no further than `limit` when it is above 0.
    std::optional<int> countRows(const Filter& filter, int limit = 0) const;
    Filter counting(Filter filter) const;
    // Whether the rows found are taken from the server's folded indexes by their "ID"s.
    bool indexedFind(const Filter& filter) const;
    // The "ID"s found through each folded index. With a `limit` above 0 each index is read no
    // further than that and a record found by two columns comes once; without, once a column.
    QString foundIds(const Filter& filter, int limit = 0) const;
    // One folded index's part of foundIds.
    QString foundIdsOf(const Filter& filter, int limit, int column) const;
    std::optional<Page> readPage(const Filter& filter, qint64 afterId, int skip) const;
    // The "ID" `skip` + 1 rows before `id` under the filter.
    std::optional<qint64> idBefore(const Filter& filter, qint64 id, int skip) const;
    std::optional<int> positionOf(const Filter& filter, qint64 id) const;
    std::optional<std::pair<int, int>> countAndPosition(const Filter& filter, qint64 id, bool withCount) const;
    const Row* rowAt(int row) const;
    bool reload(const Filter& wanted, qint64 keepId, int fallbackRow);
    void setCurrent(int row, const Row* values);
    bool failWith(const QString& text, SaveFailure failure = SaveFailure::Refused);
    bool readFailure(const QString& technical) const;
    void readSucceeded() const;
    bool readRecord(qint64 id);
    // Whether a row with this "ID" is stored; nothing when the store could not say.
    std::optional<bool> isStored(qint64 id) const;
    QString qualified(int column) const;
    bool runPost(SaveMode mode, bool* commitSent, qint64* newId);
    void endEdit();

    Connection& connection_;
    bool open_ = false;
    Filter filter_;
    int count_ = 0;
    bool countComplete_ = true;

    mutable QHash<int, Page> pages_;
    mutable QList<int> pageOrder_;  // least recently used first
    mutable QHash<int, qint64> pageLastId_;
    mutable bool readFailing_ = false;
    mutable QString lastReadError_;

    int currentRow_ = -1;
    qint64 currentId_ = 0;
    Row current_;  // the current record's listed values, as read when it became current

    RecordState state_ = RecordState::Browse;
    QVector<QVariant> buffer_;    // all 55 columns while inserting or editing
    QVector<bool> modified_;      // columns written since insert/edit began
    QVector<QVariant> original_;  // while editing: every column as the edit found it
    QString version_;             // while editing on the server: the row version it found
    QString reason_;              // while editing: the reason of the correction
    // While inserting: the "ID" and the values of a new record whose commit was sent but whose
    // answer was lost with the link, so the store may hold it already.
    qint64 unconfirmedId_ = 0;
    QVector<QVariant> unconfirmedValues_;
    bool refreshPending_ = false;
    SaveFailure saveFailure_ = SaveFailure::None;
    QString errorText_;
};

}  // namespace zartav
