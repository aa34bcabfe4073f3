#include "app/shortcuts_window.h"

#include "util/bidi_text.h"

#include <QAction>
#include <QHeaderView>
#include <QKeySequence>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace zartav {

QList<ShortcutLine> shortcutLines(const QList<QAction*>& actions) {
    QList<ShortcutLine> lines;
    for (const QAction* action : actions) {
        const QString command = action->text().remove(QLatin1Char('&'));
        if (command.isEmpty() || action->shortcuts().isEmpty()) continue;
        QStringList keys;
        // As the keys are labelled, in Latin: each isolated, so "Ctrl+Shift+P" keeps its order.
        for (const QKeySequence& key : action->shortcuts()) keys << isolated(key.toString(QKeySequence::PortableText));
        const QString shown = keys.join(QStringLiteral(" يا "));
        auto same = std::find_if(lines.begin(), lines.end(), [&](const ShortcutLine& l) { return l.command == command; });
        if (same == lines.end()) lines << ShortcutLine{command, shown};
        else same->keys += QStringLiteral(" يا ") + shown;
    }
    return lines;
}

ShortcutsWindow::ShortcutsWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ShortcutsWindow"));
    setWindowTitle(QStringLiteral("كليدهاي برنامه"));
    setLayoutDirection(Qt::RightToLeft);
    auto* layout = new QVBoxLayout(this);
    Table = new QTableWidget(0, 2, this);
    Table->setObjectName(QStringLiteral("ShortcutsTable"));
    Table->setHorizontalHeaderLabels({QStringLiteral("فرمان"), QStringLiteral("كليد")});
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(Table);
    auto* close = new QPushButton(QStringLiteral("بازگشت"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignLeft);
    resize(460, 420);
}

void ShortcutsWindow::setLines(const QList<ShortcutLine>& lines) {
    Table->setRowCount(int(lines.size()));
    for (int row = 0; row < lines.size(); ++row) {
        Table->setItem(row, 0, new QTableWidgetItem(lines[row].command));
        Table->setItem(row, 1, new QTableWidgetItem(lines[row].keys));
    }
    Table->resizeColumnToContents(0);
}

QList<ShortcutLine> ShortcutsWindow::lines() const {
    QList<ShortcutLine> out;
    for (int row = 0; row < Table->rowCount(); ++row)
        out << ShortcutLine{Table->item(row, 0)->text(), Table->item(row, 1)->text()};
    return out;
}

}  // namespace zartav
