#include "data/engine/statement_batch.h"

#include "data/engine/pg_driver.h"

namespace zartav {

struct StatementBatch::Impl {
    explicit Impl(const QSqlDatabase& db) : batch(db) {}
    pg::Batch batch;
};

StatementBatch::StatementBatch(const QSqlDatabase& db) : impl_(pg::isOurs(db) ? std::make_unique<Impl>(db) : nullptr) {}

StatementBatch::~StatementBatch() = default;

bool StatementBatch::pipelines(const QSqlDatabase& db) { return pg::isOurs(db); }

}  // namespace zartav
