#include "data/toolkit/settings_table.h"

#include "data/toolkit/sql_error.h"
#include "util/text_services.h"

#include <QSqlQuery>

namespace zartav::settings {
namespace {

void ensureOpen(QSqlDatabase& db) {
    if (!db.isValid()) throw DatabaseError(QStringLiteral("the server connection is not configured"));
    if (!db.isOpen() && !db.open()) throw DatabaseError(QStringLiteral("cannot open the server connection"), db.lastError());
}

QSqlQuery run(QSqlDatabase& db, const QString& statement, const QVariantList& values) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(statement)) throw DatabaseError(statement, query.lastError());
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) throw DatabaseError(statement, query.lastError());
    return query;
}

const QString kLocate = QStringLiteral("SELECT KeyValue FROM Dbo.Info WHERE GroupSec = ? AND KeyName = ?");

}  // namespace

QString groupOrDefault(const QString& group) { return isBlank(group) ? QStringLiteral("DEFAULT") : group; }

void writeInformation(QSqlDatabase& db, const QString& group, const QString& name, const QString& value,
                      const QString& description) {
    ensureOpen(db);
    const QString section = groupOrDefault(group);
    // One transaction, so a failure in the middle leaves nothing behind; when the caller already
    // holds one, this runs inside it.
    const bool ownTransaction = db.transaction();
    try {
        const bool found = run(db, kLocate, {section, name}).next();
        if (found) {
            run(db, QStringLiteral("UPDATE Dbo.Info SET KeyValue = ? WHERE GroupSec = ? AND KeyName = ?"),
                {value, section, name});
        } else if (description.isEmpty()) {
            // The description column keeps its default when none is given.
            run(db, QStringLiteral("INSERT INTO Dbo.Info (GroupSec, KeyName, KeyValue) VALUES (?, ?, ?)"),
                {section, name, value});
        } else {
            run(db, QStringLiteral("INSERT INTO Dbo.Info (GroupSec, KeyName, KeyValue, Discription) VALUES (?, ?, ?, ?)"),
                {section, name, value, description});
        }
        if (ownTransaction && !db.commit()) throw DatabaseError(QStringLiteral("commit"), db.lastError());
    } catch (...) {
        if (ownTransaction) db.rollback();
        throw;
    }
}

QString readInformation(QSqlDatabase& db, const QString& group, const QString& name) {
    ensureOpen(db);
    QSqlQuery query = run(db, kLocate, {groupOrDefault(group), name});
    if (!query.next()) return kNotAnswer;
    return query.value(0).toString();
}

}  // namespace zartav::settings
