#pragma once

// The data module: the one database connection and the objects through which every window
// reaches the records and the bull catalogue.
//
// The record table is not loaded into memory: it is a cursor over "VaskorTemp" ordered by "ID"
// that reads rows a page at a time when they are asked for (the list, the current record), so
// opening it costs the same for ten records as for a hundred thousand. Photos are read only for
// the current record, on request.

#include "data/record_schema.h"

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
#include <QVector>
#include <memory>
#include <optional>

namespace zartav {

// Creates both tables and their indexes in `db` (one transaction). Existing tables are left as
// they are. Used for a new Data.db and by the legacy import.
bool createRecordSchema(QSqlDatabase& db, QString* error = nullptr);

// The one connection to Data.db (SQLite).
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the database file at `path`. A missing file is created with both tables. An existing
    // file must be an SQLite database that holds them; otherwise nothing is written to it, false
    // is answered and errorText() holds one Farsi message naming the file. A file that cannot
    // be written, or whose folder cannot (the journal lives beside it), is opened for reading.
    bool open(const QString& path);
    void close();
    bool isOpen() const;
    // Open for reading only: every save fails.
    bool isReadOnly() const { return readOnly_; }
    QString path() const { return path_; }

    // Farsi message for the user about the last failed open (empty after a good one).
    QString errorText() const { return errorText_; }
    // The database engine's own words about the last failure, for tests and traces.
    QString technicalError() const { return technicalError_; }

    QSqlDatabase database() const;
    QString connectionName() const { return name_; }

private:
    bool fail(const QString& technical);

    QString name_;
    QString path_;
    QString errorText_;
    QString technicalError_;
    bool readOnly_ = false;
};

enum class RecordState { Browse, Insert, Edit };

// The record table "VaskorTemp": a cursor with a current record, an optional filter on one
// column's value, and an edit buffer for insert/edit. Column names are the exact names of
// schema::kRecordColumns (two blanks where they have two); Latin letters match in any case.
class RecordTable : public QObject {
    Q_OBJECT
public:
    explicit RecordTable(Connection& connection, QObject* parent = nullptr);
    ~RecordTable() override;

    bool open();
    void close();
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
    // Starts editing the current record; false when there is none.
    bool edit();
    // Saves the inserted or edited record in one transaction. On failure nothing is written,
    // the table stays in insert/edit mode (the caller cancels) and errorText() says why.
    // An edit whose row was deleted meanwhile is a failure.
    bool post();
    void cancel();
    // Deletes the current record; the next one (or the previous, at the end) becomes current.
    bool remove();

    // Narrows the rows to those whose column equals `value` (bound, compared as stored: a text
    // herd code matches exactly, blanks included). Takes effect while filtered.
    bool setFilter(const QString& column, const QVariant& value);
    void clearFilter();
    void setFiltered(bool on);
    bool isFiltered() const { return filtered_; }
    QString filterColumn() const;
    QVariant filterValue() const { return filterValue_; }

    QString errorText() const { return errorText_; }

    // Read by the record list: a listed column (0..50) at a row, "ID" at a row, and the row of an
    // "ID" under the filter in force (-1 when it is not shown).
    QString listValue(int row, int column) const;
    qint64 idAt(int row) const;
    int rowOfId(qint64 id) const;

signals:
    // The set or order of rows changed (open, close, filter, insert, delete): views reload.
    void rowsReset();
    // One row's values changed (a posted edit).
    void rowChanged(int row);
    void currentChanged(int row);
    void stateChanged(zartav::RecordState state);

private:
    struct Row {
        qint64 id = 0;
        QStringList values;  // the listed columns
    };
    // A page is a little more than one screen, so the first screen after a tab switch reads
    // no more rows than it shows; 128 pages keep 8,192 rows at hand for scrolling back.
    static constexpr int kPageSize = 64;
    static constexpr int kMaxCachedPages = 128;

    QString whereClause(const QString& extra = {}) const;
    void bindFilter(QSqlQuery& query) const;
    const Row* rowAt(int row) const;
    bool loadPage(int page) const;
    void invalidate();
    void setCurrent(int row);
    void reloadAround(qint64 id, int fallbackRow);
    bool failWith(const QString& text);
    QByteArray readPhoto(int column) const;

    Connection& connection_;
    bool open_ = false;
    int filterColumn_ = -1;
    QVariant filterValue_;
    bool filtered_ = false;

    mutable std::optional<int> rowCount_;
    mutable QHash<int, QVector<Row>> pages_;
    mutable QList<int> pageOrder_;  // least recently used first
    mutable QHash<int, qint64> pageLastId_;

    int currentRow_ = -1;
    qint64 currentId_ = 0;

    RecordState state_ = RecordState::Browse;
    QVector<QVariant> buffer_;  // all 55 columns while inserting or editing
    QVector<bool> modified_;    // columns written since insert/edit began
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
    // that fails leaves `items` as it was and answers false.
    bool FillCombo(const QString& statement, QStringList& items);
};

}  // namespace zartav
