#include "data/catalogue_table.h"

#include "data/record_schema.h"
#include "data/store_integrity.h"

#include <QSqlError>
#include <QSqlQuery>

namespace zartav {

using schema::kCatalogueColumns;
using schema::textOf;


CatalogueTable::CatalogueTable(Connection& connection, QObject* parent)
    : QObject(parent), connection_(connection) {}

CatalogueTable::~CatalogueTable() = default;

int CatalogueTable::columnIndex(const QString& column) {
    for (int i = 0; i < int(kCatalogueColumns.size()); ++i) {
        if (column.compare(QLatin1String(kCatalogueColumns[i]), Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

bool CatalogueTable::ensureLoaded() const {
    if (loaded_) return true;
    const SqlDialect& d = connection_.dialect();
    QStringList names;
    for (const char* name : kCatalogueColumns) names << d.quote(name);
    const bool read = withLink(connection_, [&] {
        // Read at the start, before the window is up: a damaged file cannot hold it there.
        const integrity::ReadBudget budget(connection_.database());
        QSqlQuery query(connection_.database());
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                            .arg(names.join(", "), d.quote(schema::kCatalogueTable), connection_.catalogueOrder()))) {
            errorText_ = query.lastError().text();
            return false;
        }
        rows_.clear();
        while (query.next()) {
            QStringList row;
            row.reserve(int(kCatalogueColumns.size()));
            for (int i = 0; i < int(kCatalogueColumns.size()); ++i) row << textOf(query.value(i));
            rows_ << row;
        }
        errorText_ = query.lastError().isValid() ? query.lastError().text() : QString();
        if (errorText_.isEmpty()) return true;
        rows_.clear();
        return false;
    });
    loaded_ = read;
    return read;
}

bool CatalogueTable::open() {
    if (!connection_.isOpen()) {
        errorText_ = QStringLiteral("the database is not open");
        return false;
    }
    loaded_ = false;
    if (!ensureLoaded()) return false;
    open_ = true;
    currentRow_ = rows_.isEmpty() ? -1 : 0;
    emit rowsReset();
    emit currentChanged(currentRow_);
    return true;
}

bool CatalogueTable::reload() {
    if (!open_) return false;
    const QVector<QStringList> before = rows_;
    const QStringList shown = currentRow_ >= 0 ? rows_.value(currentRow_) : QStringList();
    loaded_ = false;
    if (!ensureLoaded()) {
        rows_ = before;  // what was shown stays; errorText() says why
        loaded_ = true;
        return false;
    }
    if (rows_ == before) return true;
    // The bull that was current stays current when it is still there (as it was, or by its
    // foreign registration number), else the row at its place.
    int row = shown.isEmpty() ? 0 : int(rows_.indexOf(shown));
    const int key = columnIndex(QStringLiteral("RegNo_SPF"));
    for (int r = 0; row < 0 && r < rows_.size(); ++r)
        if (!shown.value(key).isEmpty() && rows_[r].value(key) == shown.value(key)) row = r;
    if (row < 0) row = std::min(currentRow_, int(rows_.size()) - 1);
    currentRow_ = rows_.isEmpty() ? -1 : std::max(row, 0);
    emit rowsReset();
    emit currentChanged(currentRow_);
    return true;
}

void CatalogueTable::close() {
    if (!open_) return;
    open_ = false;
    loaded_ = false;
    rows_.clear();
    currentRow_ = -1;
    emit rowsReset();
    emit currentChanged(-1);
}

int CatalogueTable::rowCount() const { return open_ ? int(rows_.size()) : 0; }

bool CatalogueTable::setCurrentRow(int row) {
    if (row < 0 || row >= rowCount()) return false;
    if (row != currentRow_) {
        currentRow_ = row;
        emit currentChanged(row);
    }
    return true;
}

bool CatalogueTable::first() { return setCurrentRow(0); }

bool CatalogueTable::locatePrefix(const QString& column, const QString& prefix, Qt::CaseSensitivity cs) {
    const int index = columnIndex(column);
    if (index < 0) return false;
    for (int row = 0; row < rowCount(); ++row) {
        if (rows_[row][index].startsWith(prefix, cs)) return setCurrentRow(row);
    }
    return false;
}

QString CatalogueTable::value(const QString& column) const {
    return valueAt(currentRow_, columnIndex(column));
}

QString CatalogueTable::valueAt(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= int(kCatalogueColumns.size())) return {};
    return rows_[row][column];
}

CatalogueListModel::CatalogueListModel(CatalogueTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    connect(&table_, &CatalogueTable::rowsReset, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int CatalogueListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.rowCount();
}

int CatalogueListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(kCatalogueColumns.size());
}

QVariant CatalogueListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    return table_.valueAt(index.row(), index.column());
}

QVariant CatalogueListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= int(kCatalogueColumns.size())) return {};
    return QLatin1String(kCatalogueColumns[section]);
}

}  // namespace zartav
