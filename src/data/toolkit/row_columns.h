#pragma once

// A struct read from the rows of a statement by column name. The struct's columns are listed
// once, each with what it fills; the SELECT's column text is made from that list, and every row
// fills the struct by name, the positions looked up once per statement. A column added to or
// moved in the statement can then never be read into the wrong field.

#include "data/engine/sql_dialect.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <cstddef>

namespace zartav::rows {

template <class T>
struct Column {
    const char* name;  // as stored, and as the statement's result names it
    void (*fill)(T& into, const QVariant& value);
    // What the SELECT reads for it, given the column as quoted (after the table's alias), when
    // that is more than the column itself; the result still carries `name`.
    QString (*text)(const SqlDialect& d, const QString& column) = nullptr;
};

template <class T, std::size_t N>
using Columns = std::array<Column<T>, N>;

// The names of the list, quoted: for a statement's column list or a table alias's.
template <class T, std::size_t N>
QString names(const SqlDialect& d, const Columns<T, N>& columns) {
    QStringList parts;
    for (const Column<T>& c : columns) parts << d.quote(c.name);
    return parts.join(QStringLiteral(", "));
}

// The SELECT's column text: each column (read from `alias`, "e." say, when one is given), named
// as the list names it.
template <class T, std::size_t N>
QString selectText(const SqlDialect& d, const Columns<T, N>& columns, const QString& alias = {}) {
    QStringList parts;
    for (const Column<T>& c : columns) {
        const QString name = d.quote(c.name), read = c.text ? c.text(d, alias + name) : alias + name;
        parts << (read == name ? name : read + QStringLiteral(" AS ") + name);
    }
    return parts.join(QStringLiteral(", "));
}

// Fills structs from the rows of one statement; one reader per statement run. The positions are
// found at the first row read, when the answer is there anyway: a statement sent ahead with
// others is not waited for any sooner.
template <class T, std::size_t N>
class Reader {
public:
    explicit Reader(const Columns<T, N>& columns) : columns_(columns) {}

    void fill(T& into, const QSqlQuery& row) {
        if (!found_) {
            const QSqlRecord record = row.record();
            for (std::size_t i = 0; i < N; ++i) at_[i] = record.indexOf(QString::fromUtf8(columns_[i].name));
            found_ = true;
        }
        for (std::size_t i = 0; i < N; ++i) columns_[i].fill(into, at_[i] < 0 ? QVariant() : row.value(at_[i]));
    }
    T read(const QSqlQuery& row) {
        T into{};
        fill(into, row);
        return into;
    }

private:
    const Columns<T, N>& columns_;
    std::array<int, N> at_{};
    bool found_ = false;
};

}  // namespace zartav::rows
