#pragma once

// The numbers a table hands out on its own ("ID" of the records, the register's certificate
// numbers): how far they have gone, and moving that mark on after rows were written with their
// own numbers, as a copy or an import writes them.

#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace zartav {

// The largest number `table`'s own numbering `column` has ever handed out (rows deleted since
// included); nothing when it cannot be read.
std::optional<qint64> numberHighWater(QSqlDatabase& db, const char* table, const char* column);
// After rows were written with their own numbers: the next number `table` hands out is past
// every one it holds and past `atLeast` (a copied store's own mark), and never goes back, so
// none is used twice.
bool raiseNumbers(QSqlDatabase& db, const char* table, const char* column, qint64 atLeast, QString* error = nullptr);

// The same for the records' "ID".
inline std::optional<qint64> recordIdHighWater(QSqlDatabase& db) { return numberHighWater(db, "VaskorTemp", "ID"); }
inline bool raiseRecordIds(QSqlDatabase& db, qint64 atLeast, QString* error = nullptr) {
    return raiseNumbers(db, "VaskorTemp", "ID", atLeast, error);
}

}  // namespace zartav
