#include "data/stored_value_cache.h"

#include "data/record_schema.h"
#include "data/tdm.h"

namespace zartav {

StoredValueCache::StoredValueCache(RecordTable& table) : table_(table) {
    connect(&table, &RecordTable::recordSaved, this, &StoredValueCache::followSave);
    connect(&table, &RecordTable::recordRemoved, this, [this] { held_.clear(); });
    // Work saved elsewhere (told even while a record is being edited), or the rows read afresh.
    connect(&table.connection(), &Connection::changedElsewhere, this, [this] { held_.clear(); });
    connect(&table, &RecordTable::aboutToRefresh, this, [this] { held_.clear(); });
}

bool StoredValueCache::current() const { return openings_ == table_.connection().openings() && table_.isOpen(); }

const QStringList* StoredValueCache::find(int column) const {
    if (!current()) return nullptr;
    const auto it = held_.constFind(column);
    return it == held_.cend() ? nullptr : &*it;
}

void StoredValueCache::hold(int column, const QStringList& values) {
    if (!table_.isOpen()) return;
    if (openings_ != table_.connection().openings()) {
        held_.clear();
        openings_ = table_.connection().openings();
    }
    held_.insert(column, values);
}

void StoredValueCache::followSave(const QVector<QVariant>& before, const QVector<QVariant>& after) {
    for (auto it = held_.begin(); it != held_.end();) {
        const int column = it.key();
        const QString value = after.value(column).toString();
        // A new record only adds values: a blank one or one listed already changes nothing, in a
        // text column where the list holds the text as stored. An edit may take the last record
        // of the old value away.
        const bool unchanged = before.isEmpty()
                                   ? value.isEmpty() || (column < schema::kListedColumnCount && it->contains(value))
                                   : before.value(column) == after.value(column);
        it = unchanged ? std::next(it) : held_.erase(it);
    }
}

}  // namespace zartav
