#include "data/statement_batch.h"

namespace zartav {

struct StatementBatch::Impl {};

StatementBatch::StatementBatch(const QSqlDatabase&) {}

StatementBatch::~StatementBatch() = default;

bool StatementBatch::pipelines(const QSqlDatabase&) { return false; }

}  // namespace zartav
