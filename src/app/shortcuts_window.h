#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QAction;
class QTableWidget;

namespace zartav {

// One command and the keys that run it, as the keyboard labels them.
struct ShortcutLine {
    QString command;
    QString keys;
    friend bool operator==(const ShortcutLine&, const ShortcutLine&) = default;
};

// A line for every command of `actions` that has a caption and a key; a command reached by
// several actions (Edit: F2 anywhere, Enter in the list) gets one line with all its keys.
QList<ShortcutLine> shortcutLines(const QList<QAction*>& actions);

// The window F1 opens: every key the program answers, command by command. Not modal, so it
// may stay open beside the list while one learns the keys.
class ShortcutsWindow : public QDialog {
    Q_OBJECT
public:
    explicit ShortcutsWindow(QWidget* parent = nullptr);
    void setLines(const QList<ShortcutLine>& lines);
    QList<ShortcutLine> lines() const;

    QTableWidget* Table = nullptr;
};

}  // namespace zartav
