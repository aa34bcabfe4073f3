#pragma once

// What the server driver reads in a statement's text before sending it, without the server:
// the placeholders it numbers, how many statements the text holds, whether it only opens a
// transaction. String literals, quoted names, comments and dollar-quoted text are passed over
// as the server reads them, so a '?' or a ';' inside them counts for nothing.

#include <QByteArray>
#include <QString>

namespace zartav::pg {

// The statement with its '?' placeholders numbered as the server takes them: $1, $2, ...
QByteArray numbered(const QString& sql);

// How many statements a text holds: ';' apart, a comment alone is none.
int statementCount(const QString& sql);

// True when the text begins with BEGIN or START TRANSACTION.
bool opensTransaction(const QString& sql);

// A name (a notification channel) in double quotes, as the server reads an identifier.
QByteArray quotedName(const QString& name);

}  // namespace zartav::pg
