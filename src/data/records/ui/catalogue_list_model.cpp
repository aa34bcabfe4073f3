#include "data/records/ui/catalogue_list_model.h"

#include "data/schema/record_schema.h"

namespace zartav {

using schema::kCatalogueColumns;

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
