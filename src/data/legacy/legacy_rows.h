#pragma once

// Rows of a legacy table as plain name → value pairs. The import reads them through RowSource,
// so the mapping into our tables does not depend on where the rows come from.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace zartav::legacy {

struct Field {
    QString name;
    QVariant value;  // QString for text and numbers, QByteArray for binary (OLE), null when empty
};
using Row = QList<Field>;

class RowSource {
public:
    enum class Fetch { Row, End, Error };

    virtual ~RowSource() = default;
    // The table's column names, as stored.
    virtual QStringList columns() const = 0;
    // How many rows the table says it holds (for progress only).
    virtual qint64 rowCountHint() const = 0;
    // Fills `row` with the next row. Error means the table could not be read to its end; the
    // reason is in `error`.
    virtual Fetch next(Row* row, QString* error) = 0;
};

// A source over rows held in memory (also handy to feed the import from elsewhere).
class MemoryRowSource : public RowSource {
public:
    MemoryRowSource(QStringList columns, QList<Row> rows)
        : columns_(std::move(columns)), rows_(std::move(rows)) {}
    // Makes the source fail with `error` when it reaches row `index` (0-based).
    void failAt(int index, QString error) {
        failAt_ = index;
        failure_ = std::move(error);
    }

    QStringList columns() const override { return columns_; }
    qint64 rowCountHint() const override { return rows_.size(); }
    Fetch next(Row* row, QString* error) override {
        if (next_ == failAt_) {
            if (error) *error = failure_;
            return Fetch::Error;
        }
        if (next_ >= rows_.size()) return Fetch::End;
        *row = rows_.at(next_++);
        return Fetch::Row;
    }

private:
    QStringList columns_;
    QList<Row> rows_;
    int next_ = 0;
    int failAt_ = -1;
    QString failure_;
};

}  // namespace zartav::legacy
