#pragma once

// "تاريخچه": every change of the current record, newest first, printable and to PDF; and
// "ركوردهاي حذف شده": the records deleted, with who and when, and "بازگرداني" to bring one back.

#include "data/history/record_history.h"

#include <QDialog>

class QTableWidget;
class QTextDocument;

namespace zartav {

class TDM;
class TForm1;

class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    HistoryWindow(qint64 id, const QList<history::Entry>& entries, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    QTableWidget* table() const { return table_; }
    // The same lines as a document for the printer and PDF.
    std::unique_ptr<QTextDocument> document() const;
    bool print();
    // To `path`, complete or not at all; false with the reason shown.
    bool saveAsPdf(const QString& path);

private:
    qint64 id_;
    QTableWidget* table_;
};

class DeletedRecordsWindow : public QDialog {
    Q_OBJECT
public:
    DeletedRecordsWindow(TDM& dm, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }
    // Reads the deleted records again; false with the reason shown when they cannot be read.
    bool reload();
    // Brings back the chosen one, which becomes the list's current record.
    bool restoreChosen();

private:
    TDM& dm_;
    QTableWidget* table_;
    QList<history::Entry> deleted_;
};

// The two commands, in the "ابزار" group and the list's context menu.
void addHistoryCommands(TForm1& window, TDM& dm);

}  // namespace zartav
