#include "data/records/record_filter.h"

#include "data/schema/record_schema.h"

#include <QStringList>

namespace zartav {

QString FilterSql::table() const { return d_.quote(schema::kRecordTable); }

QString FilterSql::column(int index) const { return d_.quote(schema::kRecordColumns[index]); }

QString FilterSql::idColumn() const { return column(schema::kIdColumnIndex); }

QString FilterSql::where(const QString& extra) const {
    QStringList conditions;
    if (filter_.narrowsByColumn()) {
        // A herd code is compared folded, through the folded herd index.
        const QString compared = filter_.column == schema::kHerdColumnIndex
                                     ? find::foldedColumn(d_, schema::kRecordColumns[filter_.column])
                                     : column(filter_.column);
        conditions << compared + QStringLiteral(" = :filter");
    }
    if (filter_.finds()) conditions << find::condition(d_, filter_.plan);
    if (!extra.isEmpty()) conditions << extra;
    if (conditions.isEmpty()) return {};
    return QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

void FilterSql::bind(QSqlQuery& query) const {
    if (filter_.narrowsByColumn()) query.bindValue(QStringLiteral(":filter"), filter_.value);
    if (filter_.finds()) find::bind(query, d_, filter_.plan, filter_.folded);
}

RecordFilter FilterSql::counting() const {
    RecordFilter counted = filter_;
    counted.plan = !d_.isServer() && filter_.narrowsByColumn() ? find::Plan::Scan : find::Plan::Indexed;
    return counted;
}

bool FilterSql::indexedFind() const { return d_.isServer() && filter_.finds() && filter_.plan == find::Plan::Indexed; }

QString FilterSql::foundIdsOf(int limit, int index) const {
    RecordFilter others = filter_;
    others.folded.clear();
    const QString branch = QStringLiteral("SELECT %1 FROM %2%3")
                               .arg(idColumn(), table(), FilterSql(d_, others).where(find::term(d_, find::Plan::Indexed, index)));
    // In the index's order, or the server may read the table until it has `limit` rows.
    return limit > 0 ? QStringLiteral("(%1 ORDER BY %2 LIMIT %3)").arg(branch, find::foldedColumn(d_, find::kColumns[index])).arg(limit)
                     : branch;
}

QString FilterSql::foundIds(int limit) const {
    QStringList branches;
    for (int i = 0; i < int(find::kColumns.size()); ++i) branches << foundIdsOf(limit, i);
    return branches.join(limit > 0 ? QStringLiteral(" UNION ") : QStringLiteral(" UNION ALL "));
}

}  // namespace zartav
