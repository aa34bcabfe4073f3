#pragma once

#include "data/link/connection.h"

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <memory>

namespace zartav {

// The scratch query: a statement over the connection, stepped row by row.
class ScratchQuery {
public:
    explicit ScratchQuery(Connection& connection);
    ~ScratchQuery();

    void close();
    void setSql(const QString& statement);
    QString sql() const { return sql_; }
    // Values for placeholders in the statement (":name" or "?" in order), kept until setSql.
    void bindValue(const QString& placeholder, const QVariant& value);
    void addBindValue(const QVariant& value);
    bool open();
    bool isOpen() const { return open_; }
    // Steps to the next row (the first after open); false past the last.
    bool next();
    // A result column of the row by name (any letter case) as text; empty when unknown.
    QString value(const QString& column) const;
    // False when the result has no such column.
    bool hasColumn(const QString& column) const;
    QString errorText() const { return errorText_; }

private:
    Connection& connection_;
    QString sql_;
    QList<std::pair<QString, QVariant>> named_;
    QList<QVariant> positional_;
    std::unique_ptr<QSqlQuery> query_;
    bool open_ = false;
    QString errorText_;
};

}  // namespace zartav
