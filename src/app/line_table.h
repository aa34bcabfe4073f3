#pragma once

// The read-only tables of the office's lists (history, deleted records, correction requests):
// whole rows chosen one at a time, a row per line given.

#include <QStringList>

class QTableWidget;
class QWidget;

namespace zartav {

QTableWidget* newLineTable(const QStringList& titles, QWidget* parent);
void addLine(QTableWidget* table, const QStringList& cells);

}  // namespace zartav
