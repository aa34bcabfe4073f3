#pragma once

#include <QChar>
#include <QString>

// The statement texts the SQL toolkit builds itself. Pure text work, kept apart so the exact
// spacing the server receives can be checked without a server.
namespace zartav::sql {

// Drops leading space characters (only the space; tabs and line breaks stay).
QString removeLeadingSpaces(const QString& statement);

// True when the statement begins with SELECT in any letter case.
bool beginsWithSelect(const QString& statement);

// True when the statement mentions COUNT anywhere, in any letter case.
bool mentionsCount(const QString& statement);

// Turns "SELECT <list> FROM <tail>" into "Select Count(<list>) As Res  FROM <tail>". The first
// FROM is taken wherever it occurs, also inside a longer word; without one the list is empty and
// the tail is everything after SELECT. The statement must begin with SELECT.
QString countingStatement(const QString& statement);

// The existence test for a table ('U') or a view ('V'); the name is bound to its one placeholder.
QString existenceStatement(QChar typeLetter);

// "Select Sum(<expression>)As Answer From <source>", plus " Where <condition>" unless the
// condition is blank.
QString sumStatement(const QString& expression, const QString& source, const QString& condition);

}  // namespace zartav::sql
