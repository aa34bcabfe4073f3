#pragma once

// The data module: the one database connection and the objects through which every window
// reaches the records and the bull catalogue.
//
// The record table is not loaded into memory: it is a cursor over "VaskorTemp" ordered by "ID"
// that reads rows a page at a time when they are asked for (the list, the current record), so
// opening it costs the same for ten records as for a hundred thousand. Photos are read only for
// the current record, on request.

#include "data/record_find.h"
#include "data/record_schema.h"
#include "data/sql_dialect.h"
#include "data/store_address.h"
#include "data/store_schema.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QTimer>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

namespace zartav {

// What a command does with a store: a read (an export, a certificate, the source of a copy)
// changes nothing in it, not even its journal, and never makes a missing file.
enum class StoreAccess { ReadWrite, ReadOnly };

// The one connection to the store: the Data.db file (SQLite) or a database server shared by
// the desks of an office (PostgreSQL), chosen by the store's address.
class Connection : public QObject {
    Q_OBJECT
public:
    Connection();
    ~Connection() override;

    // Opens the store at `address`: a file path or a server URL (see StoreAddress). A missing
    // file, or an empty server database, is given both tables. An existing store must hold
    // them; otherwise nothing is written to it, false is answered and errorText() holds one
    // Farsi message naming the store (never a password). A store this connection may only read
    // (a file or folder that cannot be written, a server role without write rights) is opened
    // for reading. A file whose schema holds anything that is not the program's own (a trigger,
    // a view, a table, a column of another type) is refused before anything in it is read.
    bool open(const QString& address, StoreAccess access = StoreAccess::ReadWrite);
    bool open(const StoreAddress& address, StoreAccess access = StoreAccess::ReadWrite);
    void close();
    bool isOpen() const;
    // Open for reading only: every save fails.
    bool isReadOnly() const { return readOnly_; }
    const StoreAddress& address() const { return address_; }
    // The address as the user may see it: the file's path, or the server's URL without password.
    QString displayName() const { return address_.display(); }
    bool isServer() const { return address_.isServer(); }
    const SqlDialect& dialect() const { return SqlDialect::of(address_.engine()); }
    // How the catalogue's own order is read on this store.
    QString catalogueOrder() const { return catalogueOrder_; }

    // Farsi message for the user about the last failed open (empty after a good one).
    QString errorText() const { return errorText_; }
    // The database engine's own words about the last failure, for tests and traces.
    QString technicalError() const { return technicalError_; }

    QSqlDatabase database() const;
    QString connectionName() const { return name_; }

    // Asked for the password when the server wants one and the client library found none
    // (PGPASSWORD, PGPASSFILE, ~/.pgpass); answers nothing when the user declines. The
    // password is then held in memory for reconnecting, never written anywhere.
    using PasswordPrompt = std::function<std::optional<QString>(const QString& prompt)>;
    void setPasswordPrompt(PasswordPrompt prompt) { passwordPrompt_ = std::move(prompt); }

    // Told what the open is doing before a step that takes a while on a large store: building
    // the indexes that a store from an earlier version lacks (about a minute at a million
    // records, once). Only from kLongIndexBuildFrom records on; a window shows the text.
    using LongStepNotice = std::function<void(const QString& text)>;
    void setLongStepNotice(LongStepNotice notice) { longStepNotice_ = std::move(notice); }
    static constexpr qint64 kLongIndexBuildFrom = 20000;

    // True when the link to the server has gone (a restart, the network); the file never loses it.
    bool isLost() const;
    // Connects again with the same address and password; false when the server still cannot
    // be reached.
    bool reconnect();

    // From now on changedElsewhere() follows every change another connection commits (another
    // desk, the command line, any other program), within about a second.
    void watchChanges();

signals:
    void changedElsewhere();

private:
    bool fail(const QString& technical);
    bool openFile();
    bool openServer();
    bool prepareServerDatabase(QSqlDatabase& db);
    void announceIndexBuild(QSqlDatabase& db) const;
    void startWatching();
    void pollFile();

    QString name_;
    StoreAddress address_;
    QString errorText_;
    QString technicalError_;
    QString catalogueOrder_;
    QString schema_;  // on the server: the schema that holds the tables
    bool readOnly_ = false;
    StoreAccess access_ = StoreAccess::ReadWrite;
    bool watching_ = false;
    PasswordPrompt passwordPrompt_;
    LongStepNotice longStepNotice_;
    QTimer* watchTimer_ = nullptr;
    QTimer* settleTimer_ = nullptr;
    qint64 dataVersion_ = -1;
};

// How messages name the store: "فايل اطلاعات" (the data file) or "سرور اطلاعات" (the data server).
QString storeNoun(const Connection& connection);

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
    bool refreshPending_ = false;
    SaveFailure saveFailure_ = SaveFailure::None;
    QString errorText_;
};

// The bull catalogue "DosSperm", read only. It is small and read whole on first use, in the
// table's own order. Column names match without regard to letter case.
class CatalogueTable : public QObject {
    Q_OBJECT
public:
    explicit CatalogueTable(Connection& connection, QObject* parent = nullptr);
    ~CatalogueTable() override;

    bool open();
    void close();
    bool isOpen() const { return open_; }
    // Reads the catalogue again, for one changed elsewhere (an import at another desk or from the
    // command line); the current bull stays current when it is still there. Nothing is reset
    // when nothing changed; false keeps what was shown.
    bool reload();

    int rowCount() const;
    bool isEmpty() const { return rowCount() == 0; }
    int currentRow() const { return currentRow_; }
    bool setCurrentRow(int row);
    bool first();
    // Moves to the first row whose column begins with `prefix` (blanks included); false leaves
    // the current row where it was.
    bool locatePrefix(const QString& column, const QString& prefix,
                      Qt::CaseSensitivity cs = Qt::CaseInsensitive);

    // A column of the current row as text; empty for an unknown column or no current row.
    QString value(const QString& column) const;
    QString valueAt(int row, int column) const;
    static int columnIndex(const QString& column);

    QString errorText() const { return errorText_; }

signals:
    void rowsReset();
    void currentChanged(int row);

private:
    bool ensureLoaded() const;

    Connection& connection_;
    bool open_ = false;
    mutable bool loaded_ = false;
    mutable QVector<QStringList> rows_;
    int currentRow_ = -1;
    mutable QString errorText_;
};

// The record list's model (the data source of the record table): the 51 listed columns, titled
// by their names, coloured by group, rows read lazily through the record table.
class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordListModel(RecordTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    RecordTable& table() const { return table_; }

private:
    RecordTable& table_;
};

// The catalogue grid's model (the data source of the catalogue table): all 31 columns.
class CatalogueListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CatalogueListModel(CatalogueTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    CatalogueTable& table() const { return table_; }

private:
    CatalogueTable& table_;
};

// The scratch query: a statement over the connection, stepped row by row.
class ScratchQuery {
public:
    explicit ScratchQuery(Connection& connection);
    ~ScratchQuery();

    void close();
    void setSql(const QString& statement);
    QString sql() const { return sql_; }
    // Values for placeholders in the statement (":name" or "?" in order), kept until setSql.
    void bindValue(const QString& placeholder, const QVariant& value);
    void addBindValue(const QVariant& value);
    bool open();
    bool isOpen() const { return open_; }
    // Steps to the next row (the first after open); false past the last.
    bool next();
    // A result column of the row by name (any letter case) as text; empty when unknown.
    QString value(const QString& column) const;
    // False when the result has no such column.
    bool hasColumn(const QString& column) const;
    QString errorText() const { return errorText_; }

private:
    Connection& connection_;
    QString sql_;
    QList<std::pair<QString, QVariant>> named_;
    QList<QVariant> positional_;
    std::unique_ptr<QSqlQuery> query_;
    bool open_ = false;
    QString errorText_;
};

class TDM {
public:
    TDM();
    ~TDM();
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    Connection Maincon;
    RecordTable TVascor;
    RecordListModel DVascor;
    CatalogueTable TDosSperm;
    CatalogueListModel DDosSperm;
    ScratchQuery QAsk;

    // Runs `statement` (its one result column named "Res") and, when it runs, replaces `items`
    // by the non-blank values in the order returned, each as stored (untrimmed). A statement
    // that fails leaves `items` as it was and answers false (the store's words in `error`).
    bool FillCombo(const QString& statement, QStringList& items, QString* error = nullptr);

    // The same items as FillCombo gives for "Select Distinct [column] as Res From VaskorTemp "
    // (every distinct value once, blanks inside values kept), in the column's order. They are
    // read by stepping along the column's index from one value to the next, so a million
    // records cost what a hundred do; a store without such an index, or a step that fails, gets
    // the DISTINCT statement itself.
    bool FillStoredValues(const QString& column, QStringList& items, QString* error = nullptr);
};

}  // namespace zartav
