#include "app/line_table.h"

#include <QHeaderView>
#include <QTableWidget>

namespace zartav {

QTableWidget* newLineTable(const QStringList& titles, QWidget* parent) {
    auto* table = new QTableWidget(0, int(titles.size()), parent);
    table->setHorizontalHeaderLabels(titles);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(false);
    return table;
}

void addLine(QTableWidget* table, const QStringList& cells) {
    const int row = table->rowCount();
    table->insertRow(row);
    for (int c = 0; c < cells.size(); ++c) table->setItem(row, c, new QTableWidgetItem(cells[c]));
}

}  // namespace zartav
