#pragma once

#include "data/records/catalogue_table.h"

#include <QAbstractTableModel>

namespace zartav {

// The catalogue grid's model (the data source of the catalogue table): all 31 columns.
class CatalogueListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CatalogueListModel(CatalogueTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    CatalogueTable& table() const { return table_; }

private:
    CatalogueTable& table_;
};

}  // namespace zartav
