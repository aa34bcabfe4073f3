#pragma once

// Correction requests, on the server: a clerk's change to a certified record is kept as a request
// (the changed columns before and after, the reason, who and when) until a registrar approves it,
// which applies it as the registrar's edit with the clerk's reason, or refuses it with an answer.
//
// What a desk may write is what the store lets it: an insert is given its requester (the role the
// server authenticated), its time and the open state whatever it says; the requester may only
// mark its own decided requests seen; nothing else changes a request but the decide function,
// which runs as the tables' owner and lets only a registrar decide.

#include "data/engine/sql_dialect.h"
#include "data/schema/store_object.h"

#include <QList>
#include <QString>

namespace zartav::corrections {

inline constexpr const char* kTable = "CorrectionRequests";
inline constexpr const char* kDecideFunction = "zartav_decide_request";

// States as stored.
inline constexpr const char* kOpen = "open";
inline constexpr const char* kApproved = "approved";
inline constexpr const char* kRefused = "refused";

// The table, its indexes, guards and decide function; nothing on the file, where one user does
// everything. A decision is announced on `channel`, as a save is. Part of storeObjects().
QList<StoreObject> objects(const SqlDialect& d, const char* channel);

// For the history's server function: the reason of the entry an approval writes for record
// `recordVariable`, "<reason> (درخواست 12 از clerk1)", or NULL when no request is being applied
// to it in this transaction.
QString appliedReasonSql(const QString& recordVariable);
// Refuses the statement when the text in `reasonVariable` (a writer's own words) would read as
// such an attribution.
QString refuseBorrowedReasonSql(const QString& reasonVariable);

}  // namespace zartav::corrections
