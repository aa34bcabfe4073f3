#include "data/engine/pg_statement_text.h"

#include <QRegularExpression>
#include <QStringView>

namespace zartav::pg {
namespace {

bool continuesWord(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

// Index just past the string literal, quoted name, comment or dollar-quoted text that begins at
// `i`; `i` itself when none begins there.
qsizetype pastQuoted(QStringView sql, qsizetype i) {
    const qsizetype n = sql.size();
    const QChar c = sql[i];
    const QChar after = i + 1 < n ? sql[i + 1] : QChar();
    if (c == u'\'' || c == u'"') {
        // E'...' takes backslash escapes.
        const bool escapes = c == u'\'' && i > 0 && (sql[i - 1] == u'E' || sql[i - 1] == u'e') &&
                             (i < 2 || !continuesWord(sql[i - 2]));
        for (qsizetype k = i + 1; k < n; ++k) {
            if (escapes && sql[k] == u'\\') {
                ++k;
            } else if (sql[k] == c) {
                if (k + 1 < n && sql[k + 1] == c) ++k;
                else return k + 1;
            }
        }
        return n;
    }
    if (c == u'-' && after == u'-') {
        const qsizetype end = sql.indexOf(u'\n', i);
        return end < 0 ? n : end;
    }
    if (c == u'/' && after == u'*') {
        int depth = 0;
        for (qsizetype k = i; k + 1 < n; ++k) {
            if (sql[k] == u'/' && sql[k + 1] == u'*') {
                ++depth;
                ++k;
            } else if (sql[k] == u'*' && sql[k + 1] == u'/') {
                ++k;
                if (--depth == 0) return k + 1;
            }
        }
        return n;
    }
    if (c == u'$' && (i == 0 || !continuesWord(sql[i - 1]))) {
        qsizetype k = i + 1;
        if (k < n && (sql[k].isLetter() || sql[k] == u'_'))
            while (k < n && (sql[k].isLetterOrNumber() || sql[k] == u'_')) ++k;
        if (k < n && sql[k] == u'$') {
            const QStringView tag = sql.mid(i, k + 1 - i);
            const qsizetype end = sql.indexOf(tag, k + 1);
            return end < 0 ? n : end + tag.size();
        }
    }
    return i;
}

}  // namespace

QByteArray numbered(const QString& sql) {
    QString out;
    out.reserve(sql.size() + 16);
    int count = 0;
    for (qsizetype i = 0; i < sql.size();) {
        if (const qsizetype end = pastQuoted(sql, i); end > i) {
            out += QStringView(sql).mid(i, end - i);
            i = end;
            continue;
        }
        if (sql[i] == u'?') out += QLatin1Char('$') + QString::number(++count);
        else out += sql[i];
        ++i;
    }
    return out.toUtf8();
}

int statementCount(const QString& sql) {
    int count = 0;
    bool content = false;
    for (qsizetype i = 0; i < sql.size();) {
        if (const qsizetype end = pastQuoted(sql, i); end > i) {
            if (sql[i] != u'-' && sql[i] != u'/') content = true;
            i = end;
            continue;
        }
        if (sql[i] == u';') {
            count += content;
            content = false;
        } else if (!sql[i].isSpace()) {
            content = true;
        }
        ++i;
    }
    return count + content;
}

bool opensTransaction(const QString& sql) {
    static const QRegularExpression opener(QStringLiteral("^\\s*(BEGIN|START\\s+TRANSACTION)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    return opener.match(sql).hasMatch();
}

QByteArray quotedName(const QString& name) {
    return '"' + name.toUtf8().replace('"', "\"\"") + '"';
}

}  // namespace zartav::pg
