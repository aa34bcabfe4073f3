#pragma once

// The reads of the record table, with no state of their own: each is sent when it is made and
// collected by result(). Made one after another under a StatementBatch, several of them cross a
// server's link in one round trip; on the file they simply run in turn. Their answers are small
// and whole (no forward-only streaming), so several may be open at once.

#include "data/records/record_filter.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <optional>

namespace zartav::reads {

struct ListedRow {
    qint64 id = 0;
    QStringList values;  // the 51 listed columns
};
using Rows = QVector<ListedRow>;

// A little more than one screen: the first screen after a tab switch reads no more rows than it shows.
inline constexpr int kPageSize = 64;

// Rows under the filter, counted no further than `limit` when it is above 0.
class Count {
public:
    Count(const QSqlDatabase& db, const RecordFilter& filter, int limit);
    std::optional<int> result(QString* error = nullptr);

private:
    QSqlQuery query_;
};

// Listed rows in "ID" order: after `afterId` (from the first row when 0), `skip` rows skipped;
// or, Backward, the `rows` rows before `beforeId`, nearest first.
class RowsRead {
public:
    enum class Direction { Forward, Backward };
    RowsRead(const QSqlDatabase& db, const RecordFilter& filter, qint64 fromId, int skip,
             Direction direction = Direction::Forward, int rows = kPageSize);
    std::optional<Rows> result(QString* error = nullptr);

private:
    QSqlQuery query_;
};

// How many rows come before record `id` under the filter (-1 when the filter leaves it out),
// and, when asked, how many there are.
class Position {
public:
    Position(const QSqlDatabase& db, const RecordFilter& filter, qint64 id, bool withCount);
    struct Answer {
        int count = 0;
        int row = -1;
    };
    std::optional<Answer> result(QString* error = nullptr);

private:
    QSqlQuery query_;
};

// The "ID"s alone, in order: `rows` of them from row `from` on, or every one when `rows` is 0;
// what rows chosen in the list before they were read stand for, or what a batch prints.
class IdsRead {
public:
    IdsRead(const QSqlDatabase& db, const RecordFilter& filter, int from = 0, int rows = 0);
    std::optional<QList<qint64>> result(QString* error = nullptr);

private:
    QSqlQuery query_;
};

// The "ID" of the first record (in "ID" order) under the filter whose column (an index into
// schema::kRecordColumns, not a photo) holds `value`; 0 when none does.
class FirstWith {
public:
    FirstWith(const QSqlDatabase& db, const RecordFilter& filter, int column, const QVariant& value);
    std::optional<qint64> result(QString* error = nullptr);

private:
    QSqlQuery query_;
};

// Every row under the filter, in "ID" order, read by one statement (one snapshot) and handed to
// `visit` with its "ID" and the values of `columns` (indexes into schema::kRecordColumns) until
// it answers false; false with the store's words when the rows could not be read. Unlike the
// reads above it streams: it is for an export's every row, not for a page.
using RowVisit = std::function<bool(qint64 id, const QVector<QVariant>& values)>;
bool forEachRow(const QSqlDatabase& db, const RecordFilter& filter, const QList<int>& columns, const RowVisit& visit,
                QString* error = nullptr);

// Whole records by "ID", with the server's row version (the transaction that wrote each last);
// photos only when asked. Records no longer stored are missing from the answer.
struct StoredRecord {
    QVector<QVariant> values;  // every column of schema::kRecordColumns; photos null when not read
    QString version;
};
class RecordsRead {
public:
    RecordsRead(const QSqlDatabase& db, const QList<qint64>& ids, bool withPhotos);
    std::optional<QHash<qint64, StoredRecord>> result(QString* error = nullptr);

private:
    bool withPhotos_;
    QSqlQuery query_;
};

// Whether record `id` has a current issue in the register: a certificate of it stands.
class CurrentIssue {
public:
    CurrentIssue(const QSqlDatabase& db, qint64 id);
    std::optional<bool> result(QString* error = nullptr);

private:
    QSqlQuery query_;
};

// The distinct values of a listed column, each once, in the column's order, blanks inside kept
// and blank values left out (the items FillCombo gives for "Select Distinct [column] as Res").
// With an index led by the column they are read by stepping along it from one value to the
// next, so a million records cost what a hundred do.
class DistinctValues {
public:
    DistinctValues(const QSqlDatabase& db, int column, bool indexed);
    std::optional<QStringList> result(QString* error = nullptr);

private:
    QSqlQuery query_;
};

// The catalogue, every column as text, in its own order.
class CatalogueRead {
public:
    CatalogueRead(const QSqlDatabase& db, const QString& order);
    std::optional<QVector<QStringList>> result(QString* error = nullptr);

private:
    QSqlQuery query_;
};

// What a list shows after its filter or its rows changed: how many rows there are (found rows
// counted only as far as the first screens need) and the page of the current record.
struct ViewRequest {
    RecordFilter filter;
    qint64 keepId = 0;    // the record to keep current, when it is still shown
    int fallbackRow = 0;  // else the row to make current
    qint64 alsoLocate = 0;  // a record whose row the list wants too (the one at its top)
    // A find whose previous, shorter text counted fewer rows than a scan is worth: this one is
    // fewer too, so its page is read by the indexes without counting first.
    bool fewFound = false;
};
struct View {
    RecordFilter filter;  // with the plan chosen
    int count = 0;
    bool countComplete = true;
    int currentRow = -1;
    QHash<int, Rows> pages;  // the pages read whole: the current record's and those on either side
    int locatedRow = -1;  // the row of ViewRequest::alsoLocate, -1 when not shown or not asked
};
// One round trip on the server in the usual cases: the reads are sent together.
std::optional<View> readView(const QSqlDatabase& db, const ViewRequest& request, QString* error = nullptr);

}  // namespace zartav::reads
