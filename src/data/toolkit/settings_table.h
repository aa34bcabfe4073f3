#pragma once

#include <QSqlDatabase>
#include <QString>

// Settings kept in the table Dbo.Info of a database: one row per (GroupSec, KeyName) with its
// KeyValue and a Discription written when the row is made. Values are always bound, never pasted
// into the statement. Failures throw DatabaseError and leave the table unchanged.
namespace zartav::settings {

// What ReadInformation answers for a setting that is not stored.
inline const QString kNotAnswer = QStringLiteral("NOTANSWER");

// A blank group (empty or spaces only) is the group "DEFAULT".
QString groupOrDefault(const QString& group);

void writeInformation(QSqlDatabase& db, const QString& group, const QString& name, const QString& value,
                      const QString& description);
QString readInformation(QSqlDatabase& db, const QString& group, const QString& name);

}  // namespace zartav::settings
