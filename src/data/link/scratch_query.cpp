#include "data/link/scratch_query.h"

#include "data/schema/record_schema.h"
#include "data/schema/stored_names.h"

#include <QSqlError>
#include <QSqlRecord>

namespace zartav {

using schema::textOf;


ScratchQuery::ScratchQuery(Connection& connection) : connection_(connection) {}

ScratchQuery::~ScratchQuery() = default;

void ScratchQuery::close() {
    query_.reset();
    open_ = false;
}

void ScratchQuery::setSql(const QString& statement) {
    close();
    sql_ = statement;
    named_.clear();
    positional_.clear();
}

void ScratchQuery::bindValue(const QString& placeholder, const QVariant& value) {
    named_.append({placeholder, value});
}

void ScratchQuery::addBindValue(const QVariant& value) { positional_.append(value); }

bool ScratchQuery::open() {
    close();
    errorText_.clear();
    linkReady(connection_);
    auto query = std::make_unique<QSqlQuery>(connection_.database());
    // The server's driver may hand a forward-only result over row by row, and another statement
    // meanwhile would cut it short; the caller steps at its own pace, so the result is whole.
    query->setForwardOnly(!connection_.isServer());
    if (!query->prepare(connection_.dialect().translate(sql_, schema::storedNames()))) {
        errorText_ = query->lastError().text();
        return false;
    }
    for (const auto& [name, value] : named_) query->bindValue(name, value);
    for (const QVariant& value : positional_) query->addBindValue(value);
    if (!query->exec()) {
        errorText_ = query->lastError().text();
        return false;
    }
    query_ = std::move(query);
    open_ = true;
    return true;
}

bool ScratchQuery::next() { return open_ && query_->next(); }

bool ScratchQuery::hasColumn(const QString& column) const {
    return open_ && query_->record().indexOf(column) >= 0;
}

QString ScratchQuery::value(const QString& column) const {
    if (!open_ || !query_->isValid()) return {};
    const int index = query_->record().indexOf(column);
    return index >= 0 ? textOf(query_->value(index)) : QString();
}

}  // namespace zartav
