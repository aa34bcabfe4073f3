#pragma once

#include "data/link/connection.h"
#include "data/link/store_worker.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace zartav {

// The bull catalogue "DosSperm", read only. It is small and read whole, in the table's own order,
// through the store worker: open() asks for it and goes on, and the first use waits for it when
// it has not arrived. Column names match without regard to letter case.
class CatalogueTable : public QObject {
    Q_OBJECT
public:
    explicit CatalogueTable(StoreWorker& worker, QObject* parent = nullptr);
    ~CatalogueTable() override;

    // False (errorText() says why) when the catalogue could not be read; on a worker of its own
    // thread that is told later, by a reset with no rows and errorText().
    bool open();
    void close();
    bool isOpen() const { return open_; }
    // Reads the catalogue again and waits for it, after this desk replaced it; the current bull
    // stays current when it is still there. Nothing is reset when nothing changed; false keeps
    // what was shown.
    bool reload();
    // Asks for the catalogue again without waiting, for one changed elsewhere (an import at
    // another desk or from the command line): the rows shown stay until the answer replaces
    // them, as reload() does. On the file nothing is read when no other connection has written
    // to it since the last read.
    void refresh();

    int rowCount() const;
    bool isEmpty() const { return rowCount() == 0; }
    int currentRow() const { return currentRow_; }
    bool setCurrentRow(int row);
    bool first();
    // Moves to the first row whose column begins with `prefix` (blanks included); false leaves
    // the current row where it was.
    bool locatePrefix(const QString& column, const QString& prefix,
                      Qt::CaseSensitivity cs = Qt::CaseInsensitive);

    // A column of the current row as text; empty for an unknown column or no current row.
    QString value(const QString& column) const;
    QString valueAt(int row, int column) const;
    static int columnIndex(const QString& column);

    QString errorText() const { return errorText_; }

signals:
    void rowsReset();
    void currentChanged(int row);

private:
    struct Read;
    // Asks for the catalogue; `arrived` runs with the answer on this object's thread. `always`
    // reads it even when the file's data version says nobody else wrote.
    void read(bool always, std::function<void(const Read&)> arrived);
    // Waits for the catalogue asked for at open, if it has not arrived yet.
    void waitForRows();
    void show(const QVector<QStringList>& rows);
    // Puts rows read again in place of those shown, keeping the current bull; false when the
    // answer held none.
    bool replace(const Read& answer);

    StoreWorker& worker_;
    bool open_ = false;
    bool reading_ = false;
    QVector<QStringList> rows_;
    // The file's data version on the worker's link when the rows were read; -1 unknown.
    qint64 readAtVersion_ = -1;
    int currentRow_ = -1;
    QString errorText_;
};

}  // namespace zartav
