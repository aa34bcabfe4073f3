#pragma once

// One link to the store, whichever engine: the program's own connection on the window's thread,
// or a store worker's on its thread. Reads and saves are written against this, so the same code
// runs on either.

#include "data/engine/sql_dialect.h"

#include <QSqlDatabase>
#include <QString>

namespace zartav {

class StoreLink {
public:
    virtual ~StoreLink() = default;

    virtual QSqlDatabase database() const = 0;
    virtual bool isServer() const = 0;
    const SqlDialect& dialect() const { return SqlDialect::of(isServer() ? StoreEngine::Server : StoreEngine::File); }
    // The schema that holds the tables on the server (change notices name it); empty on the file.
    virtual QString serverSchema() const = 0;
    // How the catalogue's own order is read on this store.
    virtual QString catalogueOrder() const = 0;

    // True when the link to the server has gone (a restart, the network); the file never loses it.
    virtual bool isLost() const = 0;
    // Connects again with the same address and password; false when the server still cannot be
    // reached (technicalError() says why).
    virtual bool reconnect() = 0;
    virtual QString technicalError() const = 0;
    // Counts the opens, closes and new links: what was read or asked for before another count
    // may be stale, and a new link has heard none of the changes announced meanwhile.
    virtual quint64 openings() const = 0;
};

// Before a statement: a link found lost (a restarted server closes it as it goes) is made
// again first, with the same address, password and desk. A write goes no further than this: one
// that fails with the link is not run again, as the server may have done it before its answer
// was lost. False while the server still cannot be reached.
inline bool linkReady(StoreLink& link) { return !link.isLost() || link.reconnect(); }

// A read: runs `work`, which builds its statements afresh each time; when it fails because the
// link to the server was lost on the way, connects again and runs it once more. A link that
// could not be made before is not tried twice. The file never loses its link.
template <typename Work>
auto withLink(StoreLink& link, Work&& work) -> decltype(work()) {
    const bool ready = linkReady(link);
    auto result = work();
    if (!result && ready && link.isLost() && link.reconnect()) result = work();
    return result;
}

}  // namespace zartav
