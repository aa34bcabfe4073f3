#pragma once

// The rows of "VaskorTemp" as the list shows them: a cursor with a current record, the herd
// filter and the find text in force.
//
// The table is not loaded into memory: it is a cursor over "VaskorTemp" ordered by "ID" whose
// rows are read a page at a time when the list asks for them, so opening it costs the same for
// ten records as for a million. Every read goes through a store worker. With a worker on a
// thread of its own the window asks and goes on: a new filter or find shows when its rows
// arrive (a newer one drops an older one's answer), rows not read yet are told apart
// (isRowRead) until their page arrives, and the count comes with the first page. With an inline
// worker every read is done before the call returns.

#include "data/link/connection.h"
#include "data/records/record_filter.h"
#include "data/records/record_page_cache.h"
#include "data/records/record_reads.h"
#include "data/records/record_save.h"
#include "data/schema/record_schema.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>
#include <atomic>
#include <memory>
#include <optional>

namespace zartav {

class StoreWorker;

// Column names are the exact names of schema::kRecordColumns (two blanks where they have two);
// Latin letters match in any case. The current record is held by its "ID": another desk or
// program may add or delete rows before it, so its position is only where the list shows it.
class RecordView : public QObject {
    Q_OBJECT
public:
    // Over an inline worker of its own.
    explicit RecordView(Connection& connection, QObject* parent = nullptr);
    RecordView(StoreWorker& worker, QObject* parent = nullptr);
    ~RecordView() override;

    Connection& connection() const { return connection_; }
    StoreWorker& worker() const { return worker_; }

    // Open and close are refused while a record is being inserted or edited.
    bool open();
    bool close();
    bool isOpen() const { return open_; }
    // A filter, a find or a refresh was asked for and its rows have not arrived yet.
    bool isViewPending() const { return viewTicket_ != 0; }

    // Rows the table shows under the filter in force.
    int rowCount() const;
    bool isEmpty() const { return rowCount() == 0; }

    // The current record: its row under the filter in force, -1 when there is none.
    int currentRow() const { return currentRow_; }
    bool setCurrentRow(int row);
    bool first();
    // Moves to the first row (in "ID" order) whose column holds `value`; false leaves the
    // current record where it was.
    bool locate(const QString& column, const QVariant& value);
    bool locateId(qint64 id) { return locate(QStringLiteral("ID"), id); }
    // "ID" of the current row, read now when its page has not arrived; 0 when there is none.
    qint64 currentId();

    // Index into schema::kRecordColumns of `column`, -1 when unknown.
    static int columnIndex(const QString& column);
    // Longest text a text column holds, in characters.
    static int maxLength() { return schema::kTextColumnSize; }

    // Narrows the rows to those whose column equals `value` (bound, compared as stored text; a
    // herd code with its digits folded as find folds them, blanks kept, so "۱۲۰۷" finds the
    // records stored as "1207" too). Takes effect while filtered. Each is refused while a record
    // is being inserted or edited; when the rows cannot be read under the new filter the rows
    // shown stay (false inline; viewRefused() on a thread of its own).
    bool setFilter(const QString& column, const QVariant& value);
    bool clearFilter();
    bool setFiltered(bool on);
    // The filter and find last asked for (shown once their rows arrive).
    bool isFiltered() const { return wanted_.on; }
    QString filterColumn() const;
    QVariant filterValue() const { return wanted_.value; }

    // Narrows the rows, beside the filter, to the records whose registration number, body
    // number, metal or plastic ear tag or calf name begins with `text` (data/record_find.h);
    // empty text shows them all. Refused like setFilter; clearing the filter keeps it.
    bool setFind(const QString& text);
    QString findText() const { return wanted_.findText; }

    // When many rows are found they are counted only as far as the list shows them; these count
    // further, as the list reaches the end of the rows counted.
    bool hasMoreRows() const { return open_ && !countComplete_; }
    void readMoreRows();

    // Every row under the filter and the find in force, in "ID" order, read by one statement
    // (one snapshot) over the program's connection and handed to `visit` with its "ID" and the
    // values of `columns` (indexes into schema::kRecordColumns) until it answers false; false
    // with the store's words when the rows could not be read. Needs only an open connection.
    using RowVisit = reads::RowVisit;
    bool forEachShown(const QList<int>& columns, const RowVisit& visit, QString* error = nullptr) const;
    // How many rows that is, counted in full.
    std::optional<qint64> shownCount(QString* error = nullptr) const;

    // Reads the rows again, for work saved elsewhere, keeping the current record by its "ID"
    // (the nearest row when it is gone). While a record is being inserted or edited nothing
    // changes until the edit ends.
    void refresh();
    // Called while aboutToRefresh() is told: the record the list shows at its top, whose row
    // rowOfId() then answers without a read.
    void keepInView(qint64 id) { keepInView_ = id; }

    QString errorText() const { return errorText_; }

    // Read by the record list: a listed column (0..50) at a row, "ID" at a row (0 when not read
    // yet), and the row of an "ID" under the filter in force (-1 when it is not shown). A row not
    // read yet is asked for and reads as empty until rowsRead() tells it arrived.
    QString listValue(int row, int column);
    bool isRowRead(int row);
    qint64 idAt(int row);
    int rowOfId(qint64 id);
    // The "ID"s of rows first..last, read where the list has not read them.
    std::optional<QList<qint64>> idsOfRows(int first, int last, QString* error = nullptr);

signals:
    // The set or order of rows changed (open, close, filter, insert, delete): views reload.
    void rowsReset();
    void currentChanged(int row);
    // Around a refresh for work saved elsewhere: views keep their place across it.
    void aboutToRefresh();
    void refreshed();
    // The rows could not be read; what was shown stays. Once until a read succeeds again; not
    // for a lost server, which the store worker tells on its own.
    void readFailed(const QString& farsiText);
    // A filter, a find or a refresh asked for could not be read: what was shown stays.
    void viewRefused();
    // Rows first..last, shown as not read yet, arrived.
    void rowsRead(int first, int last);
    // More of the rows found were counted: rows first..last join the end.
    void rowsAboutToBeAppended(int first, int last);
    void rowsAppended();

protected:
    // While a record is being inserted or edited no filter or find changes the rows.
    virtual bool editing() const { return false; }
    bool failWith(const QString& text, SaveFailure failure = SaveFailure::Refused);
    bool readFailure(const QString& technical, bool linkLost = false);
    // For a write: makes every answer under way stale and tells what to read after it, the
    // current row kept when its record is gone.
    reads::ViewRequest viewAfterWrite();
    void showView(const reads::View& view) { applyView(view, Purpose::Show, 0); }

    const reads::ListedRow& currentValues() const { return current_; }
    const RecordFilter& wanted() const { return wanted_; }

    // The last failure: the store's words and, for a save, what kind it was.
    QString errorText_;
    SaveFailure saveFailure_ = SaveFailure::None;
    // A save refused for another desk's change: the rows are read again once the edit ends.
    bool refreshPending_ = false;
    // A view asked for met a lost link: it is asked for again once the link is back.
    bool awaitingLink_ = false;

private:
    enum class Purpose { Show, Refresh };
    struct ViewAnswer;
    struct PagesAnswer;

    bool requestView(reads::ViewRequest request, Purpose purpose);
    void applyView(const reads::View& view, Purpose purpose, qint64 located);
    reads::ViewRequest viewOf(const RecordFilter& filter) const;
    void dropAnswers();
    void wantPage(int page);
    void readWantedPages();
    void applyPages(const PagesAnswer& answer, bool tellFailure);
    void setCurrent(int row, const reads::ListedRow* values);
    bool refusedWhileEditing();
    bool threaded() const;

    Connection& connection_;
    std::unique_ptr<StoreWorker> ownWorker_;
    StoreWorker& worker_;
    bool open_ = false;
    RecordFilter filter_;  // what the rows shown were read under
    RecordFilter wanted_;  // what was last asked for
    int count_ = 0;
    bool countComplete_ = true;
    RecordPageCache pages_;
    bool readFailing_ = false;

    // Answers come back in the order asked; a newer view makes older answers stale.
    quint64 generation_ = 0;
    std::shared_ptr<std::atomic<quint64>> liveGeneration_ = std::make_shared<std::atomic<quint64>>(0);
    quint64 viewTicket_ = 0;
    Purpose viewPurpose_ = Purpose::Show;
    QList<int> wantedPages_;  // latest last
    QList<int> readingPages_;
    quint64 pageTicket_ = 0;
    quint64 pageRequests_ = 0;
    bool pagesScheduled_ = false;
    bool countingMore_ = false;
    qint64 keepInView_ = 0;
    QHash<qint64, int> located_;

    int currentRow_ = -1;
    qint64 currentId_ = 0;
    reads::ListedRow current_;  // the current record's listed values, as read when it became current
    bool currentUnread_ = false;  // the current row's page is on its way
};

}  // namespace zartav
