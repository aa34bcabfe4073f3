#pragma once

// Which records the list shows, and the SQL that selects them: the herd filter (one column's
// value) and the find text, on either engine. Every value is bound, never written into the text.

#include "data/records/record_find.h"
#include "data/engine/sql_dialect.h"

#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace zartav {

struct RecordFilter {
    int column = -1;  // an index into schema::kRecordColumns
    QVariant value;
    bool on = false;
    QString findText;  // as typed
    QString folded;    // as compared; empty when nothing is sought
    find::Plan plan = find::Plan::Indexed;

    bool narrowsByColumn() const { return on && column >= 0; }
    bool finds() const { return !folded.isEmpty(); }
};

class FilterSql {
public:
    FilterSql(const SqlDialect& dialect, const RecordFilter& filter) : d_(dialect), filter_(filter) {}

    // " WHERE ..." with the filter's conditions and `extra`; empty when there are none.
    QString where(const QString& extra = {}) const;
    void bind(QSqlQuery& query) const;

    // The filter as rows are counted: the folded indexes count quickest, unless the rows are
    // narrowed to a herd's own index on the file, where the scan's test is the cheap one.
    RecordFilter counting() const;
    // Whether the rows found are taken from the server's folded indexes by their "ID"s.
    bool indexedFind() const;
    // The "ID"s found through each folded index. With a `limit` above 0 each index is read no
    // further than that and a record found by two columns comes once; without, once a column.
    QString foundIds(int limit = 0) const;
    // One folded index's part of foundIds (`column` an index into find::kColumns).
    QString foundIdsOf(int limit, int column) const;

    QString table() const;
    QString column(int index) const;
    QString idColumn() const;

private:
    const SqlDialect& d_;
    const RecordFilter& filter_;
};

}  // namespace zartav
