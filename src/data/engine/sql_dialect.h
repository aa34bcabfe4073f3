#pragma once

// What differs between the two engines in the text of a statement. Every statement the store
// builds quotes its names through quote(); the statements callers hand to the scratch query and
// FillCombo are written for the file ("Select Distinct [كد گله] As R From [VaskorTemp]") and
// pass through translate() on their way to the server.

#include "data/engine/store_address.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>

namespace zartav {

class SqlDialect {
public:
    static const SqlDialect& of(StoreEngine engine);
    // By the driver of an open connection: ours for the server (or Qt's own, which side
    // connections may use), anything else the file.
    static const SqlDialect& of(const QSqlDatabase& db);

    StoreEngine engine() const { return engine_; }
    bool isServer() const { return engine_ == StoreEngine::Server; }
    // The Qt driver name.
    QString driver() const;

    // A table or column name as this engine quotes it: [name] for the file, "name" for the server.
    QString quote(const QString& name) const;
    QString quote(const char* name) const { return quote(QString::fromUtf8(name)); }

    // A statement written with [bracketed] names, in this engine's quoting. On the server, the
    // names of `names` (the stored spelling of each by its case-folded one), bracketed or bare
    // and in any Latin letter case, become the stored names, as the file engine matches them;
    // string literals, quoted names and comments are left as they are. The file takes the
    // statement unchanged.
    QString translate(const QString& statement, const QHash<QString, QString>& names) const;

    // Column types.
    QString idColumnType() const;
    QString photoColumnType() const;

private:
    explicit SqlDialect(StoreEngine engine) : engine_(engine) {}
    StoreEngine engine_;
};

}  // namespace zartav
