#include "data/schema/store_integrity.h"

#include "data/schema/store_schema.h"
#include "util/bidi_text.h"

#include <QHash>
#include <QList>
#include <QSqlDriver>
#include <QVariant>

#include <algorithm>
#include <optional>
#include <sqlite3.h>

namespace zartav::integrity {
namespace {

// A statement as SQLite reads it, one word or sign at a time. Names are compared as SQLite
// compares them (Latin letters in any case) whether bare, [bracketed], `backquoted` or
// "double-quoted": the file's own objects are all checked, so a double-quoted name of ours
// names the same column SQLite finds. String literals stay as written.
struct Token {
    enum Kind : char { Word, Text, Number, Sign } kind;
    QString text;  // as compared
    QString raw;   // a name as written, for a message
    bool operator==(const Token& other) const { return kind == other.kind && text == other.text; }
};
using Tokens = QList<Token>;

bool isSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v'; }
// SQLite takes every character past ASCII as part of a name.
bool isWordChar(QChar c) { return c.unicode() >= 0x80 || c.isLetterOrNumber() || c == u'_' || c == u'$'; }

QString asciiLower(QString text) {
    for (QChar& c : text)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return text;
}

// Up to the closing `close` (doubled inside, it stands for itself); `i` is left past it.
QString quoted(const QString& sql, qsizetype& i, QChar close, bool doubles) {
    QString text;
    for (++i; i < sql.size(); ++i) {
        if (sql.at(i) != close) {
            text += sql.at(i);
        } else if (doubles && i + 1 < sql.size() && sql.at(i + 1) == close) {
            text += close;
            ++i;
        } else {
            ++i;
            break;
        }
    }
    return text;
}

Tokens tokens(const QString& sql) {
    Tokens out;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (isSpace(c)) {
            ++i;
        } else if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            while (i < n && sql.at(i) != u'\n') ++i;
        } else if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == u'\'') {
            out.append({Token::Text, quoted(sql, i, u'\'', true), {}});
        } else if (c == u'"' || c == u'`' || c == u'[') {
            const QString name = quoted(sql, i, c == u'[' ? u']' : c, c != u'[');
            out.append({Token::Word, asciiLower(name), name});
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && sql.at(i + 1).isDigit())) {
            const qsizetype from = i;
            while (i < n && (isWordChar(sql.at(i)) || sql.at(i) == u'.')) ++i;
            out.append({Token::Number, asciiLower(sql.mid(from, i - from)), {}});
        } else if (isWordChar(c)) {
            const qsizetype from = i;
            while (i < n && isWordChar(sql.at(i))) ++i;
            const QString name = sql.mid(from, i - from);
            out.append({Token::Word, asciiLower(name), name});
        } else {
            out.append({Token::Sign, QString(c), {}});
            ++i;
        }
    }
    return out;
}

bool isWord(const Tokens& t, qsizetype i, const char* word) {
    return i < t.size() && t.at(i).kind == Token::Word && t.at(i).text == QLatin1String(word);
}

bool isSign(const Token& token, const char* sign) { return token.kind == Token::Sign && token.text == QLatin1String(sign); }

// The statement without its IF NOT EXISTS, which SQLite leaves out of the schema: the program
// writes "CREATE TABLE IF NOT EXISTS", the file keeps "CREATE TABLE".
Tokens stored(const QString& sql) {
    Tokens t = tokens(sql);
    qsizetype at = 1;
    if (isWord(t, at, "unique")) ++at;
    ++at;  // TABLE, INDEX, TRIGGER or VIEW
    if (isWord(t, at, "if") && isWord(t, at + 1, "not") && isWord(t, at + 2, "exists")) t.remove(at, 3);
    return t;
}

// The column definitions of a CREATE TABLE, each from its name to the comma after it, and
// whatever follows the closing parenthesis; nothing when the statement has no column list.
struct TableParts {
    QList<Tokens> columns;
    Tokens after;
};

std::optional<TableParts> tableParts(const Tokens& t) {
    const qsizetype open = t.indexOf(Token{Token::Sign, QStringLiteral("("), {}});
    if (open < 0) return std::nullopt;
    TableParts parts{{Tokens()}, {}};
    int depth = 0;
    for (qsizetype i = open + 1; i < t.size(); ++i) {
        const Token& token = t.at(i);
        if (isSign(token, "(")) ++depth;
        if (isSign(token, ")") && depth-- == 0) {
            parts.after = t.mid(i + 1);
            return parts;
        }
        if (depth == 0 && isSign(token, ",")) parts.columns.append(Tokens());
        else parts.columns.last().append(token);
    }
    return std::nullopt;
}

// A name from the file as a message may show it: on one line, without direction controls,
// of a readable length.
QString shown(const QString& name) {
    QString text;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool control = c.category() == QChar::Other_Control || (u >= 0x202A && u <= 0x202E) ||
                             (u >= 0x2066 && u <= 0x2069) || u == 0x200E || u == 0x200F || u == 0x061C;
        if (!control) text += c;
    }
    if (text.size() > 60) text = text.left(60) + QStringLiteral("...");
    return QStringLiteral("«%1»").arg(isolated(text));
}

const QString kRefused = QStringLiteral("چنين فايلي نه خوانده مي شود و نه در آن نوشته مي شود.");

QString kindWord(const QString& type) {
    if (type == QLatin1String("view")) return QStringLiteral("نماي");
    if (type == QLatin1String("index")) return QStringLiteral("ايندكس");
    if (type == QLatin1String("trigger")) return QStringLiteral("تريگر");
    return QStringLiteral("جدول");
}

SchemaCheck foreignObject(const QString& type, const QString& name) {
    return {false, QStringLiteral("اين فايل %1 %2 را دارد كه از اين برنامه نيست؛ ").arg(kindWord(type), shown(name)) + kRefused, {}};
}

SchemaCheck madeOtherwise(const QString& type, const QString& name) {
    return {false,
            QStringLiteral("%1 %2 در اين فايل با تعريفي جز تعريف اين برنامه ساخته شده است؛ ").arg(kindWord(type), shown(name)) +
                kRefused,
            {}};
}

// Names the first column whose definition differs, when both tables have the same columns in the
// same order; otherwise the table.
SchemaCheck tableMadeOtherwise(const QString& name, const Tokens& file, const Tokens& ours) {
    const std::optional<TableParts> found = tableParts(file), made = tableParts(ours);
    if (found && made && found->columns.size() == made->columns.size() && found->after == made->after) {
        for (qsizetype i = 0; i < found->columns.size(); ++i) {
            const Tokens& column = found->columns.at(i);
            const Tokens& ourColumn = made->columns.at(i);
            if (column == ourColumn) continue;
            if (column.isEmpty() || ourColumn.isEmpty() || column.first() != ourColumn.first()) break;
            return {false,
                    QStringLiteral("ستون %1 از جدول %2 در اين فايل نوع يا قيدي جز نوع و قيد اين برنامه دارد؛ ")
                            .arg(shown(ourColumn.first().raw), shown(name)) +
                        kRefused,
                    {}};
        }
    }
    return madeOtherwise(QStringLiteral("table"), name);
}

QString typeOf(StoreObjectKind kind) {
    switch (kind) {
    case StoreObjectKind::Table:
        return QStringLiteral("table");
    case StoreObjectKind::Index:
        return QStringLiteral("index");
    case StoreObjectKind::Trigger:
        return QStringLiteral("trigger");
    case StoreObjectKind::Function:
        break;
    }
    return {};
}

// SQLite's own tables: the AUTOINCREMENT mark and what ANALYZE keeps. They hold no code.
bool isSqlitesOwn(const QString& type, const QString& name, const QString& sql) {
    static const QHash<QString, QString> tables = {
        {QStringLiteral("sqlite_sequence"), QStringLiteral("CREATE TABLE sqlite_sequence(name,seq)")},
        {QStringLiteral("sqlite_stat1"), QStringLiteral("CREATE TABLE sqlite_stat1(tbl,idx,stat)")},
        {QStringLiteral("sqlite_stat4"), QStringLiteral("CREATE TABLE sqlite_stat4(tbl,idx,neq,nlt,ndlt,sample)")},
    };
    // The index SQLite makes for a table's UNIQUE or PRIMARY KEY; the table itself is checked.
    if (type == QLatin1String("index") && sql.isNull()) return name.startsWith(QLatin1String("sqlite_autoindex_"));
    return type == QLatin1String("table") && tables.value(name) == sql && !sql.isEmpty();
}

QString columnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? QString::fromUtf8(text) : QString();
}

}  // namespace

sqlite3* handleOf(const QSqlDatabase& db) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

bool harden(sqlite3* db) {
    return db && sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) == SQLITE_OK &&
           sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr) == SQLITE_OK;
}

SchemaCheck checkSchema(sqlite3* db) {
    if (!harden(db)) return {false, {}, QStringLiteral("the connection does not take SQLite's defensive settings")};
    QHash<QString, const StoreObject*> ours;
    for (const StoreObject& object : storeObjects(StoreEngine::File)) ours.insert(asciiLower(object.name), &object);

    sqlite3_stmt* statement = nullptr;
    // Triggers and views first: they are what would run.
    const char* sql = "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY "
                      "CASE type WHEN 'trigger' THEN 0 WHEN 'view' THEN 1 WHEN 'table' THEN 2 ELSE 3 END, rowid";
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        return {false, {}, QString::fromUtf8(sqlite3_errmsg(db))};
    SchemaCheck check{true, {}, {}};
    int rc = SQLITE_DONE;
    while (check.ok && (rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const QString type = columnText(statement, 0);
        const QString name = columnText(statement, 1);
        const QString table = columnText(statement, 2);
        const QString made = sqlite3_column_type(statement, 3) == SQLITE_NULL ? QString() : columnText(statement, 3);
        if (name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive)) {
            if (!isSqlitesOwn(type, name, made)) check = foreignObject(type, name);
            continue;
        }
        const StoreObject* object = ours.value(asciiLower(name));
        if (!object || typeOf(object->kind) != type || asciiLower(object->table) != asciiLower(table)) {
            check = foreignObject(type, name);
            continue;
        }
        const Tokens file = stored(made);
        const Tokens expected = stored(object->create);
        if (file == expected) continue;
        if (std::any_of(object->earlier.cbegin(), object->earlier.cend(), [&](const QString& e) { return file == stored(e); }))
            continue;
        check = object->kind == StoreObjectKind::Table ? tableMadeOtherwise(object->name, file, expected)
                                                       : madeOtherwise(type, object->name);
    }
    if (check.ok && rc != SQLITE_DONE) check = {false, {}, QString::fromUtf8(sqlite3_errmsg(db))};
    sqlite3_finalize(statement);
    return check;
}

bool sameStatement(const QString& made, const QString& ours) { return stored(made) == stored(ours); }

SchemaCheck checkOpened(const QSqlDatabase& db) {
    sqlite3* handle = handleOf(db);
    if (!handle) return {false, {}, QStringLiteral("not an open SQLite connection")};
    return checkSchema(handle);
}

ReadBudget::ReadBudget(const QSqlDatabase& db, qint64 steps) : handle_(handleOf(db)), left_(steps) {
    if (handle_) sqlite3_progress_handler(handle_, kStepsPerCall, &ReadBudget::step, this);
}

ReadBudget::~ReadBudget() {
    if (handle_) sqlite3_progress_handler(handle_, 0, nullptr, nullptr);
}

int ReadBudget::step(void* budget) {
    auto* self = static_cast<ReadBudget*>(budget);
    self->left_ -= kStepsPerCall;
    return self->left_ <= 0 ? 1 : 0;
}

}  // namespace zartav::integrity
