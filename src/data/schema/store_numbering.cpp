#include "data/schema/store_numbering.h"

#include "data/engine/sql_dialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace zartav {

std::optional<qint64> numberHighWater(QSqlDatabase& db, const char* table, const char* column) {
    QSqlQuery query(db);
    const QString name = QString::fromLatin1(table);
    if (!SqlDialect::of(db).isServer()) {
        if (!query.exec(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = '%1'").arg(name))) return std::nullopt;
        return query.next() ? query.value(0).toLongLong() : 0;
    }
    if (!query.exec(QStringLiteral("SELECT pg_get_serial_sequence('\"%1\"', '%2')").arg(name, QString::fromLatin1(column))) ||
        !query.next())
        return std::nullopt;
    const QString sequence = query.value(0).toString();
    if (!query.exec(QStringLiteral("SELECT CASE WHEN is_called THEN last_value ELSE 0 END FROM %1").arg(sequence)) ||
        !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

bool raiseNumbers(QSqlDatabase& db, const char* table, const char* column, qint64 atLeast, QString* error) {
    const QString name = QString::fromLatin1(table);
    const QString sequence = QStringLiteral("pg_get_serial_sequence('\"%1\"', '%2')").arg(name, QString::fromLatin1(column));
    const QStringList statements =
        SqlDialect::of(db).isServer()
            ? QStringList{QStringLiteral("WITH mark AS (SELECT GREATEST(:least, (SELECT COALESCE(MAX(\"%1\"), 0) FROM \"%2\"), "
                                         "nextval(%3) - 1) AS n) SELECT setval(%3, GREATEST(n, 1), n >= 1) FROM mark")
                              .arg(QString::fromLatin1(column), name, sequence)}
            // The file keeps its mark in sqlite_sequence, already past every number written.
            : QStringList{QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT '%1', 0 "
                                         "WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = '%1')")
                              .arg(name),
                          QStringLiteral("UPDATE sqlite_sequence SET seq = MAX(seq, :least) WHERE name = '%1'").arg(name)};
    for (const QString& sql : statements) {
        QSqlQuery query(db);
        query.prepare(sql);
        if (sql.contains(QLatin1String(":least"))) query.bindValue(QStringLiteral(":least"), atLeast);
        if (!query.exec()) {
            if (error) *error = query.lastError().text();
            return false;
        }
    }
    return true;
}

}  // namespace zartav
