#pragma once

// Statements sent together: on a server link that can (our own libpq driver), the statements
// executed while a StatementBatch lives cross the network in one round trip, each answer arriving
// when it is first needed; anywhere else (the file) they simply run one after another.

#include <QSqlDatabase>

#include <memory>

namespace zartav {

class StatementBatch {
public:
    explicit StatementBatch(const QSqlDatabase& db);
    ~StatementBatch();
    StatementBatch(const StatementBatch&) = delete;
    StatementBatch& operator=(const StatementBatch&) = delete;

    // Whether statements made under a batch on `db` really travel together: when they do, a
    // read worth making only sometimes may be sent anyway, instead of costing a round trip later.
    static bool pipelines(const QSqlDatabase& db);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zartav
