#pragma once

// What the store asks of the server's client library directly, beside the driver: whether a
// connection is still alive, and whether a failed connection wanted a password.

#include "data/engine/store_address.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace zartav::server {

// Sets host, port, user, password, database and the URL's other parameters on a server
// connection. Unless the URL says otherwise, a connection attempt gives up after 4 seconds
// and names itself "zartav" to the server's administrator. `settings` are the session's own
// settings, set as it starts (no statement of their own; after the URL's `options`). False (with
// `why`) for a parameter the driver cannot pass on.
bool configure(QSqlDatabase& db, const StoreAddress& address, QString* why,
               const QList<std::pair<QString, QString>>& settings = {});

// True when the server connection of `db` has been lost (the server restarted or the network
// went); a closed connection counts as lost. A server that closed the link while it sat idle is
// found here, at no exchange; a network gone silent only by the next statement's timeout.
bool isLost(const QSqlDatabase& db);

// Tries the address without a password and answers whether the server refused for want of
// one (and the client library's own means found none).
bool wantsPassword(const StoreAddress& address);

// Why a connection failed, in Farsi, for the failures an office meets (TLS, a refused login, no
// such database, no answer); empty for others. `engineWords` are the client library's.
QString failureReason(const QString& engineWords);

}  // namespace zartav::server
