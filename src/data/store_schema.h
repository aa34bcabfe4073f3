#pragma once

// The two tables, their indexes and, on the server, the trigger that tells the other desks of
// every change, as each engine writes them.

#include <QSqlDatabase>
#include <QString>

namespace zartav {

// The server's notification channel: every statement that changes the records notifies it.
inline constexpr const char* kRecordsChangedChannel = "zartav_records";

// Creates what is missing of both tables, their indexes and (on the server) the change trigger
// in `db`, in one transaction; what exists is left as it is. Two desks starting at once on an
// empty server database both succeed. Used for a new store and by the legacy import.
bool createRecordSchema(QSqlDatabase& db, QString* error = nullptr);

}  // namespace zartav
