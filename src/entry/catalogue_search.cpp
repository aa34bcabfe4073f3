#include "entry/catalogue_search.h"

#include <QSqlQuery>
#include <QVariant>

namespace zartav::catalogue {

namespace {

// Sorts after every character a registration number can hold, so [prefix, prefix + this) is
// the index range of the values that begin with prefix.
constexpr char32_t kLastCodePoint = 0x10FFFF;

}  // namespace

bool ensureSearchIndex(QSqlDatabase db) {
    QSqlQuery query(db);
    return query.exec(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS [ix_DosSperm_RegNo_SPF] ON [DosSperm] ([RegNo_SPF] COLLATE NOCASE)"));
}

PrefixSearch findForeignRegPrefix(QSqlDatabase db, const QString& prefix) {
    PrefixSearch result;
    if (prefix.isEmpty()) {
        result.ok = true;
        return result;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // The range terms walk the index; substr() keeps the answer exact whatever the range lets in.
    if (!query.prepare(QStringLiteral(
            "SELECT MIN(rowid) FROM [DosSperm] "
            "WHERE [RegNo_SPF] >= :low COLLATE NOCASE AND [RegNo_SPF] < :high COLLATE NOCASE "
            "AND substr([RegNo_SPF], 1, :length) = :prefix COLLATE NOCASE")))
        return result;
    query.bindValue(QStringLiteral(":low"), prefix);
    query.bindValue(QStringLiteral(":high"), prefix + QString::fromUcs4(&kLastCodePoint, 1));
    query.bindValue(QStringLiteral(":length"), int(prefix.toUcs4().size()));  // characters, as SQLite counts
    query.bindValue(QStringLiteral(":prefix"), prefix);
    if (!query.exec() || !query.next()) return result;
    if (query.value(0).isNull()) {
        result.ok = true;
        return result;
    }
    const qint64 rowid = query.value(0).toLongLong();

    QSqlQuery position(db);
    position.setForwardOnly(true);
    if (!position.prepare(QStringLiteral("SELECT COUNT(*) FROM [DosSperm] WHERE rowid < :rowid")))
        return result;
    position.bindValue(QStringLiteral(":rowid"), rowid);
    if (!position.exec() || !position.next()) return result;
    result.ok = true;
    result.row = position.value(0).toInt();
    return result;
}

}  // namespace zartav::catalogue
