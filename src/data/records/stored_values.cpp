#include "data/records/stored_values.h"

#include "data/records/record_reads.h"
#include "data/schema/record_schema.h"
#include "data/records/record_table.h"
#include "data/engine/statement_batch.h"
#include "data/schema/store_schema.h"
#include "data/link/store_worker.h"

#include <algorithm>
#include <memory>

namespace zartav {

// One read of several columns' values, and the link it was read over.
struct StoredValues::Read {
    QList<int> columns;
    QList<std::optional<QStringList>> values;
    QString error;
    quint64 openings = 0;
    std::optional<QSet<QString>> indexed;  // read first when not known
};

StoredValues::StoredValues(RecordTable& table) : table_(table) {
    connect(&table, &RecordTable::recordSaved, this,
            [this](const QVector<QVariant>& before, const QVector<QVariant>& after) { letGo([&] { followSave(before, after); }); });
    connect(&table, &RecordTable::recordRemoved, this, [this] { letGo([this] { held_.clear(); }); });
    // Work saved elsewhere (told even while a record is being edited), or the rows read afresh.
    connect(&table.connection(), &Connection::changedElsewhere, this, [this] {
        letGo([this] {
            held_.clear();
            indexed_.reset();
        });
    });
    connect(&table, &RecordTable::aboutToRefresh, this, [this] { letGo([this] { held_.clear(); }); });
}

void StoredValues::keepAtHand(const QList<int>& columns) {
    for (const int column : columns)
        if (!atHand_.contains(column)) atHand_ << column;
}

void StoredValues::letGo(const std::function<void()>& drop) {
    drop();
    // Read again before a window asks, where reading costs the window nothing.
    if (table_.worker().mode() == StoreWorker::Mode::Threaded && table_.isOpen()) prefetch(atHand_);
}

bool StoredValues::current() const { return openings_ == table_.connection().openings() && table_.isOpen(); }

const QStringList* StoredValues::find(int column) const {
    if (!current()) return nullptr;
    const auto it = held_.constFind(column);
    return it == held_.cend() ? nullptr : &*it;
}

void StoredValues::hold(const Read& read) {
    if (!table_.isOpen() || read.openings != table_.connection().openings()) return;
    if (openings_ != read.openings) {
        held_.clear();
        openings_ = read.openings;
    }
    indexed_ = read.indexed;
    for (qsizetype i = 0; i < read.columns.size(); ++i)
        if (read.values[i]) held_.insert(read.columns[i], *read.values[i]);
}

namespace {

// Every column's values in one go: one round trip on the server.
void readValues(StoreLink& link, StoredValues::Read& read) {
    withLink(link, [&] {
        QSqlDatabase db = link.database();
        if (!read.indexed) read.indexed = leadingIndexColumns(db);
        const QSet<QString>& indexed = *read.indexed;
        StatementBatch batch(db);
        std::vector<reads::DistinctValues> pending;
        pending.reserve(read.columns.size());
        for (const int column : read.columns)
            pending.emplace_back(db, column, indexed.contains(schema::column(schema::kRecordColumns[column])));
        read.values.clear();
        for (reads::DistinctValues& values : pending) read.values << values.result(&read.error);
        return std::all_of(read.values.cbegin(), read.values.cend(), [](const auto& v) { return v.has_value(); });
    });
}

}  // namespace

std::shared_ptr<StoredValues::Read> StoredValues::unheld(const QList<int>& columns) const {
    auto read = std::make_shared<Read>();
    for (const int column : columns)
        if (schema::isListedColumn(column) && !find(column) && !read->columns.contains(column)) read->columns << column;
    read->openings = table_.connection().openings();
    // A new store's open found its indexes just now; after a change elsewhere they are read again.
    if (openings_ != read->openings) read->indexed = table_.connection().indexedColumns();
    else read->indexed = indexed_;
    return read;
}

void StoredValues::prefetch(const QList<int>& columns, std::function<void()> done) {
    const std::shared_ptr<Read> read = unheld(columns);
    const qsizetype unheldCount = read->columns.size();
    read->columns.removeIf([this](int column) { return reading_.contains(column); });
    if (read->columns.isEmpty()) {
        // Those under way arrive with their read; `done` follows it.
        if (!done) return;
        if (unheldCount > 0) table_.worker().post([](StoreLink&) {}, std::move(done));
        else done();
        return;
    }
    for (const int column : read->columns) reading_.insert(column);
    table_.worker().post([read](StoreLink& link) { readValues(link, *read); },
                         [this, read, done = std::move(done)] {
                             for (const int column : read->columns) reading_.remove(column);
                             hold(*read);
                             if (done) done();
                         });
}

bool StoredValues::fetch(const QList<int>& columns, QString* error) {
    // A read under way may bring them: jobs run in the order given, so once a job posted now
    // has run, its answer is in.
    const QList<int> missing = unheld(columns)->columns;
    if (std::any_of(missing.cbegin(), missing.cend(), [this](int column) { return reading_.contains(column); }))
        table_.worker().call([](StoreLink&) {});
    const std::shared_ptr<Read> read = unheld(columns);
    if (read->columns.isEmpty()) return true;
    // Asked for by a window that cannot open without them: the caller waits for the read.
    table_.worker().call([&read](StoreLink& link) { readValues(link, *read); });
    hold(*read);
    const bool all = std::all_of(read->values.cbegin(), read->values.cend(), [](const auto& v) { return v.has_value(); });
    if (!all && error) *error = read->error;
    return all && read->values.size() == read->columns.size();
}

bool StoredValues::values(int column, QStringList& items, QString* error) {
    if (!schema::isListedColumn(column)) {
        if (error) *error = QStringLiteral("not a listed column");
        return false;
    }
    if (!fetch({column}, error)) return false;
    const QStringList* held = find(column);
    if (!held) {
        if (error) *error = QStringLiteral("the store is not open");
        return false;
    }
    items = *held;
    return true;
}

void StoredValues::followSave(const QVector<QVariant>& before, const QVector<QVariant>& after) {
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
