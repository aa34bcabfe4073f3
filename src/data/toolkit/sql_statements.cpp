#include "data/toolkit/sql_statements.h"

#include "util/text_services.h"

namespace zartav::sql {

QString removeLeadingSpaces(const QString& statement) {
    qsizetype start = 0;
    while (start < statement.size() && statement.at(start) == QLatin1Char(' ')) ++start;
    return statement.mid(start);
}

bool beginsWithSelect(const QString& statement) {
    return statement.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive);
}

bool mentionsCount(const QString& statement) {
    return statement.contains(QLatin1String("COUNT"), Qt::CaseInsensitive);
}

QString countingStatement(const QString& statement) {
    // Case-insensitive search rather than upper-casing a copy: upper-casing may change the length
    // of the text (ß becomes SS) and the positions would no longer match the original.
    const QString rest = statement.mid(6);
    const qsizetype from = rest.indexOf(QLatin1String("FROM"), 0, Qt::CaseInsensitive);
    const QString list = from < 0 ? QString() : rest.left(from);
    const QString tail = from < 0 ? rest : rest.mid(from);
    return QStringLiteral("Select Count(") + list + QStringLiteral(") As Res ") + QLatin1Char(' ') + tail;
}

QString existenceStatement(QChar typeLetter) {
    return countingStatement(QStringLiteral("SELECT * FROM sysobjects WHERE (name = ?) And XType='") +
                             typeLetter + QLatin1Char('\''));
}

QString sumStatement(const QString& expression, const QString& source, const QString& condition) {
    QString statement = QStringLiteral("Select Sum(") + expression + QStringLiteral(")As Answer From ") + source;
    if (!isBlank(condition)) statement += QStringLiteral(" Where ") + condition;
    return statement;
}

}  // namespace zartav::sql
