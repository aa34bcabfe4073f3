#include "data/records/record_reads.h"

#include "data/schema/record_schema.h"
#include "data/engine/statement_batch.h"
#include "data/schema/register_schema.h"
#include "data/schema/store_integrity.h"
#include "data/toolkit/row_columns.h"

#include <QSqlError>
#include <QSqlRecord>

#include <algorithm>

namespace zartav::reads {
namespace {

using schema::kRecordColumns;
using schema::textOf;

template <typename T>
std::optional<T> failed(const QSqlQuery& query, QString* error) {
    if (error) *error = query.lastError().text();
    return std::nullopt;
}

// Whether a query sent under a batch ran; its own error when it did not.
bool ran(QSqlQuery& query) { return query.isActive() && !query.lastError().isValid(); }

// The answer's columns; "held" comes after "before", whose count means nothing when the record
// is not under the filter.
constexpr rows::Columns<Position::Answer, 3> kPositionColumns = {{
    {"count", [](Position::Answer& a, const QVariant& v) { a.count = v.toInt(); }},
    {"before", [](Position::Answer& a, const QVariant& v) { a.row = v.toInt(); }},
    {"held", [](Position::Answer& a, const QVariant& v) { if (v.toInt() <= 0) a.row = -1; }},
}};

QString listedColumns(const FilterSql& sql) {
    QStringList columns{sql.idColumn()};
    for (int i = 0; i < schema::kListedColumnCount; ++i) columns << sql.column(i);
    return columns.join(QStringLiteral(", "));
}

std::optional<Rows> listedRows(QSqlQuery& query, QString* error) {
    if (!ran(query)) return failed<Rows>(query, error);
    Rows rows;
    rows.reserve(kPageSize);
    while (query.next()) {
        ListedRow row;
        row.id = query.value(0).toLongLong();
        row.values.reserve(schema::kListedColumnCount);
        for (int i = 0; i < schema::kListedColumnCount; ++i) row.values << textOf(query.value(i + 1));
        rows << std::move(row);
    }
    if (query.lastError().isValid()) return failed<Rows>(query, error);
    return rows;
}

std::optional<int> firstInt(QSqlQuery& query, QString* error) {
    if (!ran(query) || !query.next()) return failed<int>(query, error);
    return query.value(0).toInt();
}

}  // namespace

Count::Count(const QSqlDatabase& db, const RecordFilter& filter, int limit) : query_(db) {
    const FilterSql sql(SqlDialect::of(db), filter);
    const QString rows = sql.table() + sql.where();
    auto send = [&](const QString& statement) {
        query_.prepare(statement);
        sql.bind(query_);
        query_.exec();
    };
    if (limit <= 0 || !sql.indexedFind()) {
        send(limit > 0 ? QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM %1 LIMIT %2) AS shown").arg(rows).arg(limit)
                               : QStringLiteral("SELECT COUNT(*) FROM ") + rows);
        return;
    }
    // The server would read each row found from the table to count them; their "ID"s in the
    // folded indexes count them instead, each index stopping at `limit`. One index that reaches
    // `limit` alone settles it, and the server then counts no further: it reaches a subquery of
    // the CASE only when the conditions before it leave it to that one, so the merged count of
    // the five, the dearest, is made only when no index settles it.
    QStringList settles;
    for (int i = 0; i < int(find::kColumns.size()); ++i)
        settles << QStringLiteral("(SELECT COUNT(*) FROM %1 AS found) >= %2").arg(sql.foundIdsOf(limit, i)).arg(limit);
    send(QStringLiteral("SELECT CASE WHEN %1 THEN %2 ELSE (SELECT COUNT(*) FROM (SELECT 1 FROM (%3) AS found LIMIT %2) "
                                "AS shown) END")
                     .arg(settles.join(QStringLiteral(" OR ")))
                     .arg(limit)
                     .arg(sql.foundIds(limit)));
}

std::optional<int> Count::result(QString* error) { return firstInt(query_, error); }

RowsRead::RowsRead(const QSqlDatabase& db, const RecordFilter& filter, qint64 fromId, int skip, Direction direction,
                   int rows)
    : query_(db) {
    const FilterSql sql(SqlDialect::of(db), filter);
    const bool back = direction == Direction::Backward;
    const QString idColumn = sql.idColumn();
    const QString bound = fromId > 0 || back ? idColumn + (back ? QStringLiteral(" < :from") : QStringLiteral(" > :from"))
                                             : QString();
    const QString order = back ? QStringLiteral(" DESC") : QString();
    const QString page = QStringLiteral(" ORDER BY %1%2 LIMIT %3 OFFSET %4").arg(idColumn, order).arg(rows).arg(skip);
    // On the server the rows' "ID"s are taken from the folded indexes first, so only the rows
    // shown are read from the table, not every row found. Each index finds a record at most
    // once, so five entries for each row up to the last one wanted hold their "ID"s.
    const QString shown =
        sql.indexedFind()
            ? QStringLiteral(" WHERE %1 IN (SELECT DISTINCT %1 FROM (SELECT %1 FROM (%2) AS found%3 ORDER BY %1%4 "
                             "LIMIT %5) AS firsts)%6")
                  .arg(idColumn, sql.foundIds(), bound.isEmpty() ? QString() : QStringLiteral(" WHERE ") + bound, order)
                  .arg((skip + rows) * int(find::kColumns.size()))
                  .arg(page)
            : skip > 0 && !back
                ? // Far into the rows, the rows skipped are stepped over by their "ID"s alone (the
                  // key's index), not read whole.
                  sql.where(QStringLiteral("%1 >= (SELECT %1 FROM %2%3 ORDER BY %1 LIMIT 1 OFFSET %4)")
                                .arg(idColumn, sql.table(), sql.where(bound))
                                .arg(skip)) +
                      QStringLiteral(" ORDER BY %1 LIMIT %2").arg(idColumn).arg(rows)
                : sql.where(bound) + page;
    query_.prepare(QStringLiteral("SELECT ") + listedColumns(sql) + QStringLiteral(" FROM ") + sql.table() + shown);
    sql.bind(query_);
    if (!bound.isEmpty()) query_.bindValue(QStringLiteral(":from"), fromId);
    query_.exec();
}

std::optional<Rows> RowsRead::result(QString* error) { return listedRows(query_, error); }

Position::Position(const QSqlDatabase& db, const RecordFilter& filter, qint64 id, bool withCount) : query_(db) {
    const FilterSql sql(SqlDialect::of(db), filter);
    const QString table = sql.table();
    const QString idColumn = sql.idColumn();
    // One statement: the rows under the filter, whether the record is one of them, and how many
    // come before it. Those are counted from the nearer end of the "ID" range: a record just
    // saved, or one near the start, is a short count at a million rows, where counting from the
    // start would walk the whole table.
    const QString all = QStringLiteral("(SELECT COUNT(*) FROM %1%2)").arg(table, sql.where());
    const QString middle = QStringLiteral("((SELECT MIN(%1) FROM %2%3) + (SELECT MAX(%1) FROM %2%3)) / 2")
                               .arg(idColumn, table, sql.where());
    const SqlDialect& d = SqlDialect::of(db);
    const QString count = d.quote(kPositionColumns[0].name), before = d.quote(kPositionColumns[1].name),
                  held = d.quote(kPositionColumns[2].name);
    query_.prepare(QStringLiteral("SELECT %1 AS %8, (SELECT COUNT(*) FROM %2%3) AS %9, CASE WHEN :id > %4 THEN %5 - "
                                  "(SELECT COUNT(*) FROM %2%6) ELSE (SELECT COUNT(*) FROM %2%7) END AS %10")
                       .arg(withCount ? all : QStringLiteral("0"), table, sql.where(idColumn + QStringLiteral(" = :id")),
                            middle, all, sql.where(idColumn + QStringLiteral(" >= :id")),
                            sql.where(idColumn + QStringLiteral(" < :id")), count, held, before));
    sql.bind(query_);
    query_.bindValue(QStringLiteral(":id"), id);
    query_.exec();
}

std::optional<Position::Answer> Position::result(QString* error) {
    if (!ran(query_) || !query_.next()) return failed<Answer>(query_, error);
    return rows::Reader(kPositionColumns).read(query_);
}

FirstWith::FirstWith(const QSqlDatabase& db, const RecordFilter& filter, int column, const QVariant& value) : query_(db) {
    const FilterSql sql(SqlDialect::of(db), filter);
    query_.prepare(QStringLiteral("SELECT %1 FROM %2").arg(sql.idColumn(), sql.table()) +
                   sql.where(sql.column(column) + QStringLiteral(" = :value")) +
                   QStringLiteral(" ORDER BY %1 LIMIT 1").arg(sql.idColumn()));
    sql.bind(query_);
    query_.bindValue(QStringLiteral(":value"), column == schema::kIdColumnIndex ? QVariant(value.toLongLong())
                                                                                : QVariant(value.toString()));
    query_.exec();
}

std::optional<qint64> FirstWith::result(QString* error) {
    if (!ran(query_)) return failed<qint64>(query_, error);
    return query_.next() ? query_.value(0).toLongLong() : 0;
}

bool forEachRow(const QSqlDatabase& db, const RecordFilter& filter, const QList<int>& columns, const RowVisit& visit,
                QString* error) {
    const FilterSql sql(SqlDialect::of(db), filter);
    QStringList names{sql.idColumn()};
    for (int column : columns) names << sql.column(column);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4").arg(names.join(QStringLiteral(", ")), sql.table(), sql.where(), sql.idColumn()));
    sql.bind(query);
    if (!query.exec()) {
        if (error) *error = query.lastError().text();
        return false;
    }
    QVector<QVariant> values(columns.size());
    while (query.next()) {
        for (int i = 0; i < columns.size(); ++i) values[i] = query.value(i + 1);
        if (!visit(query.value(0).toLongLong(), values)) return true;
    }
    if (query.lastError().isValid()) {
        if (error) *error = query.lastError().text();
        return false;
    }
    return true;
}

RecordsRead::RecordsRead(const QSqlDatabase& db, const QList<qint64>& ids, bool withPhotos)
    : withPhotos_(withPhotos), query_(db) {
    const SqlDialect& d = SqlDialect::of(db);
    QStringList columns;
    for (int i = 0; i < int(kRecordColumns.size()); ++i)
        columns << (withPhotos || !schema::isPhotoColumn(i) ? d.quote(kRecordColumns[i]) : QStringLiteral("NULL"));
    // The server keeps a version of every row: the transaction that wrote it last.
    columns << (d.isServer() ? QStringLiteral("xmin::text") : QStringLiteral("NULL"));
    QStringList marks;
    for (qsizetype i = 0; i < ids.size(); ++i) marks << QStringLiteral("?");
    query_.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4)")
                       .arg(columns.join(QStringLiteral(", ")), d.quote(schema::kRecordTable), d.quote(schema::kId),
                            marks.isEmpty() ? QStringLiteral("NULL") : marks.join(QStringLiteral(", "))));
    for (const qint64 id : ids) query_.addBindValue(id);
    query_.exec();
}

std::optional<QHash<qint64, StoredRecord>> RecordsRead::result(QString* error) {
    using Found = QHash<qint64, StoredRecord>;
    if (!ran(query_)) return failed<Found>(query_, error);
    Found found;
    const int columns = int(kRecordColumns.size());
    while (query_.next()) {
        StoredRecord record;
        record.values.resize(columns);
        for (int i = 0; i < columns; ++i) {
            const QVariant v = query_.value(i);
            // The edit buffer holds text as the boxes do; a photo not read stays null.
            record.values[i] = schema::isPhotoColumn(i) ? (withPhotos_ && !v.isNull() ? QVariant(v.toByteArray()) : QVariant())
                               : v.isNull() ? QVariant()
                                            : QVariant(v.toString());
        }
        record.version = query_.value(columns).toString();
        found.insert(query_.value(schema::kIdColumnIndex).toLongLong(), std::move(record));
    }
    if (query_.lastError().isValid()) return failed<Found>(query_, error);
    return found;
}

CurrentIssue::CurrentIssue(const QSqlDatabase& db, qint64 id) : query_(db) {
    const SqlDialect& d = SqlDialect::of(db);
    query_.prepare(QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1 WHERE %2 = ? AND %3 IS NULL)")
                       .arg(d.quote(certificates::kIssueTable), d.quote("record"), d.quote("supersededBy")));
    query_.addBindValue(id);
    query_.exec();
}

std::optional<bool> CurrentIssue::result(QString* error) {
    if (!ran(query_) || !query_.next()) return failed<bool>(query_, error);
    return query_.value(0).toBool();
}

DistinctValues::DistinctValues(const QSqlDatabase& db, int column, bool indexed) : query_(db) {
    const SqlDialect& d = SqlDialect::of(db);
    const QString c = d.quote(kRecordColumns[column]);
    const QString table = d.quote(schema::kRecordTable);
    // Each step asks the index for the first value past the last one: a lookup per distinct
    // value. Without the index every step would read the whole table, so then DISTINCT it is.
    query_.exec(indexed ? QStringLiteral("WITH RECURSIVE v(Res) AS ("
                                         "SELECT (SELECT %1 FROM %2 WHERE %1 IS NOT NULL ORDER BY %1 LIMIT 1) "
                                         "UNION ALL SELECT (SELECT %1 FROM %2 WHERE %1 > v.Res ORDER BY %1 LIMIT 1) "
                                         "FROM v WHERE v.Res IS NOT NULL) "
                                         "SELECT Res FROM v WHERE Res IS NOT NULL")
                              .arg(c, table)
                        : QStringLiteral("SELECT DISTINCT %1 FROM %2").arg(c, table));
}

std::optional<QStringList> DistinctValues::result(QString* error) {
    if (!ran(query_)) return failed<QStringList>(query_, error);
    QStringList values;
    while (query_.next()) {
        const QString text = textOf(query_.value(0));
        if (!text.trimmed().isEmpty()) values << text;
    }
    if (query_.lastError().isValid()) return failed<QStringList>(query_, error);
    return values;
}

IdsRead::IdsRead(const QSqlDatabase& db, const RecordFilter& filter, int from, int rows) : query_(db) {
    const FilterSql sql(SqlDialect::of(db), filter);
    query_.setForwardOnly(true);
    const QString range = rows > 0 ? QStringLiteral(" LIMIT %1 OFFSET %2").arg(rows).arg(from) : QString();
    query_.prepare(QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %1").arg(sql.idColumn(), sql.table(), sql.where()) + range);
    sql.bind(query_);
    query_.exec();
}

std::optional<QList<qint64>> IdsRead::result(QString* error) {
    if (!ran(query_)) return failed<QList<qint64>>(query_, error);
    QList<qint64> ids;
    while (query_.next()) ids << query_.value(0).toLongLong();
    if (query_.lastError().isValid()) return failed<QList<qint64>>(query_, error);
    return ids;
}

CatalogueRead::CatalogueRead(const QSqlDatabase& db, const QString& order) : query_(db) {
    const SqlDialect& d = SqlDialect::of(db);
    QStringList names;
    for (const char* name : schema::kCatalogueColumns) names << d.quote(name);
    // A damaged file cannot hold the reader here: the read has a budget of steps.
    const integrity::ReadBudget budget(db);
    // Read once front to back: a scrollable query would keep a second copy of every row.
    query_.setForwardOnly(true);
    query_.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(names.join(", "), d.quote(schema::kCatalogueTable), order));
}

std::optional<QVector<QStringList>> CatalogueRead::result(QString* error) {
    using Catalogue = QVector<QStringList>;
    if (!ran(query_)) return failed<Catalogue>(query_, error);
    Catalogue rows;
    while (query_.next()) {
        QStringList row;
        row.reserve(int(schema::kCatalogueColumns.size()));
        for (int i = 0; i < int(schema::kCatalogueColumns.size()); ++i) row << textOf(query_.value(i));
        rows << row;
    }
    if (query_.lastError().isValid()) return failed<Catalogue>(query_, error);
    return rows;
}

namespace {

// The pages that the rows around row `row` (read before it, nearest first, and from it on) hold
// whole: a page is whole when all its rows were read, or it ends with the last row there is.
bool takePages(View& view, int row, RowsRead& before, RowsRead& from, QString* error) {
    std::optional<Rows> earlier = before.result(error);
    std::optional<Rows> later = earlier ? from.result(error) : std::nullopt;
    if (!later) return false;
    std::reverse(earlier->begin(), earlier->end());
    const int firstRow = row - int(earlier->size());
    const Rows around = *earlier + *later;
    const int endRow = firstRow + int(around.size());  // past the last row read
    const bool toTheEnd = later->size() < 2 * kPageSize;
    for (int page = std::max(firstRow, 0) / kPageSize; page * kPageSize < endRow; ++page) {
        const int start = page * kPageSize;
        const bool whole = start >= firstRow && (start + kPageSize <= endRow || toTheEnd);
        if (whole) view.pages.insert(page, around.mid(start - firstRow, kPageSize));
    }
    return true;
}

}  // namespace

std::optional<View> readView(const QSqlDatabase& db, const ViewRequest& request, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlDatabase link = db;
    // The reads share one snapshot, so rows other desks commit meanwhile cannot shift the
    // current record's position between counting and reading.
    bool snapshot = d.isServer() ? QSqlQuery(link).exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"))
                                 : link.transaction();
    auto endSnapshot = [&] {
        if (!snapshot) return;
        snapshot = false;
        if (d.isServer()) QSqlQuery(link).exec(QStringLiteral("ROLLBACK"));
        else link.rollback();
    };
    const bool pipelined = StatementBatch::pipelines(db);
    std::optional<StatementBatch> batch(std::in_place, db);
    // The finds' reads are short: workers the server starts for them cost more than they save.
    if (snapshot && d.isServer() && request.filter.finds())
        QSqlQuery(link).exec(QStringLiteral("SET LOCAL max_parallel_workers_per_gather = 0"));

    View view;
    RecordFilter filter = FilterSql(d, request.filter).counting();
    // Rows found are counted only as far as a plan needs: a first screen never waits for a count
    // of half the table. With that many the rows are read by the scan. Where reads travel
    // together the plan is guessed before the count arrives (every plan reads the same rows):
    // the indexes when a shorter text found few, else the scan.
    int limit = filter.finds() ? find::scanFrom(d) : 0;
    std::optional<Count> count;
    if (limit > 0) {
        count.emplace(db, filter, limit);
        if (!pipelined) {
            const std::optional<int> counted = count->result(error);
            if (!counted) {
                endSnapshot();
                return std::nullopt;
            }
            view.count = *counted;
            if (*counted >= limit) filter.plan = find::Plan::Scan;
        } else if (!request.fewFound) {
            filter.plan = find::Plan::Scan;
        }
    } else if (request.keepId <= 0) {
        count.emplace(db, filter, 0);
    }
    std::optional<Position> kept, located;
    std::optional<RowsRead> before, from, fallback;
    if (request.keepId > 0) {
        kept.emplace(db, filter, request.keepId, limit == 0);
        // The rows around the kept record hold its page, wherever the page begins, and the pages
        // on either side: the list shows the record at the top or the foot of its screen.
        before.emplace(db, filter, request.keepId, 0, RowsRead::Direction::Backward, 2 * kPageSize);
        from.emplace(db, filter, request.keepId - 1, 0, RowsRead::Direction::Forward, 2 * kPageSize);
    } else {
        fallback.emplace(db, filter, 0, (std::max(request.fallbackRow, 0) / kPageSize) * kPageSize);
    }
    // The list's top row, and the screen under it.
    std::optional<RowsRead> beforeTop, fromTop;
    if (request.alsoLocate > 0) {
        located.emplace(db, filter, request.alsoLocate, false);
        beforeTop.emplace(db, filter, request.alsoLocate, 0, RowsRead::Direction::Backward, 2 * kPageSize);
        fromTop.emplace(db, filter, request.alsoLocate - 1, 0, RowsRead::Direction::Forward, 2 * kPageSize);
    }
    // Where the reads travel together their answers are whole once they arrive: the snapshot's
    // end goes with them. A read that depends on an answer (rarely) then reads the rows as they are.
    if (pipelined) endSnapshot();

    auto unread = [&]() -> std::optional<View> {
        endSnapshot();
        return std::nullopt;
    };
    if (count && !(limit > 0 && !pipelined)) {
        const std::optional<int> counted = count->result(error);
        if (!counted) return unread();
        view.count = *counted;
        if (limit > 0) filter.plan = *counted >= limit ? find::Plan::Scan : find::Plan::Indexed;
    }
    int row = -1;
    if (kept) {
        const std::optional<Position::Answer> position = kept->result(error);
        if (!position) return unread();
        row = position->row;
        if (limit == 0) view.count = position->count;
    }
    if (located) {
        const std::optional<Position::Answer> position = located->result(error);
        if (!position) return unread();
        view.locatedRow = position->row;
        if (view.locatedRow >= 0 && !takePages(view, view.locatedRow, *beforeTop, *fromTop, error)) return unread();
    }
    // A record kept past the rows counted: counted as far as its page and the next.
    if (limit > 0 && row >= view.count) {
        limit = (row / kPageSize + 2) * kPageSize;
        const std::optional<int> counted = Count(db, FilterSql(d, filter).counting(), limit).result(error);
        if (!counted) return unread();
        view.count = *counted;
    }
    view.countComplete = limit == 0 || view.count < limit;
    view.filter = filter;
    if (row >= 0) {
        if (!takePages(view, row, *before, *from, error)) return unread();
        view.currentRow = row;
    } else if (view.count > 0) {
        row = std::clamp(request.fallbackRow, 0, view.count - 1);
        const int page = row / kPageSize;
        // The page asked for when nothing was kept; else the record is gone and the page at its
        // old place is read now.
        std::optional<Rows> rows;
        if (fallback && request.fallbackRow / kPageSize == page) {
            rows = fallback->result(error);
        } else {
            batch.reset();
            rows = RowsRead(db, filter, 0, page * kPageSize).result(error);
        }
        if (!rows) return unread();
        view.currentRow = row % kPageSize < rows->size() ? row : -1;
        view.pages.insert(page, *rows);
    }
    batch.reset();
    endSnapshot();
    return view;
}

}  // namespace zartav::reads
