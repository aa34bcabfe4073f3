#pragma once

// Where the register's numbering of certificates stands. A copy of a store, or a store put back
// from a backup, carries it on from there: a number once given out, even for an issue taken back
// since, is never given again.

#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace zartav::certificates {

// The largest certificate number the register of `db` has handed out; 0 when it has handed out
// none, nothing when that cannot be read.
std::optional<qint64> issuedHighWater(QSqlDatabase& db);

// From now on the register of `db` hands out only numbers past `atLeast` and past every one it
// holds. Inside the caller's transaction, if any.
bool raiseIssueNumbers(QSqlDatabase& db, qint64 atLeast, QString* error = nullptr);

}  // namespace zartav::certificates
