#pragma once

#include "data/records/record_table.h"

#include <QAbstractTableModel>

namespace zartav {

// The record list's model (the data source of the record table): the 51 listed columns, titled
// by their names, coloured by group, rows read lazily through the record table.
class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordListModel(RecordTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    RecordTable& table() const { return table_; }

private:
    RecordTable& table_;
};

}  // namespace zartav
