#include "data/records/ui/record_list_model.h"

#include "data/records/column_groups.h"
#include "data/schema/record_schema.h"

#include <QColor>

namespace zartav {
namespace {

using schema::kRecordColumns;

}  // namespace


RecordListModel::RecordListModel(RecordTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    connect(&table_, &RecordTable::rowsReset, this, [this] {
        beginResetModel();
        endResetModel();
    });
    // Only the rows that lose and gain the mark: the header visits every row of the range given,
    // a million of them on each move were all rows named.
    connect(&table_, &RecordTable::currentChanged, this, [this, markedRow = -1](int row) mutable {
        for (const int marked : {markedRow, row})
            if (marked >= 0 && marked < rowCount()) emit headerDataChanged(Qt::Vertical, marked, marked);
        markedRow = row;
    });
    // Rows drawn before their page arrived are drawn again with their values.
    connect(&table_, &RecordTable::rowsRead, this, [this](int first, int last) {
        if (first <= last) emit dataChanged(index(first, 0), index(last, schema::kListedColumnCount - 1));
    });
    connect(&table_, &RecordTable::rowsAboutToBeAppended, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(&table_, &RecordTable::rowsAppended, this, [this] { endInsertRows(); });
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.rowCount();
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : schema::kListedColumnCount;
}

bool RecordListModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && table_.hasMoreRows(); }

void RecordListModel::fetchMore(const QModelIndex& parent) {
    if (!parent.isValid()) table_.readMoreRows();
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return table_.listValue(index.row(), index.column());
    case Qt::BackgroundRole:
        // A row not read yet: a plain grey band until its values arrive.
        return table_.isRowRead(index.row()) ? columnGroupColour(columnGroupOf(index.column())) : QColor(0xEE, 0xEE, 0xEE);
    case Qt::ForegroundRole:
        return QColor(Qt::black);
    default:
        return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= schema::kListedColumnCount) return {};
        if (role == Qt::DisplayRole) return QString::fromUtf8(kRecordColumns[section]);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
        return {};
    }
    // The row indicator marks the current record.
    if (role == Qt::DisplayRole) return section == table_.currentRow() ? QStringLiteral("◀") : QString();
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

}  // namespace zartav
