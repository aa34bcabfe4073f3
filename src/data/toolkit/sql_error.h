#pragma once

#include <QSqlError>
#include <QString>
#include <stdexcept>

namespace zartav {

// A failure of the database layer that the caller must handle (a sum over a missing table, a
// settings row that could not be posted, ...). Carries the driver's own text.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    DatabaseError(const QString& what, const QSqlError& error)
        : DatabaseError(error.text().trimmed().isEmpty() ? what : what + QStringLiteral(": ") + error.text()) {}

    const QString& text() const { return text_; }

private:
    QString text_;
};

}  // namespace zartav
