#include "data/records/record_view.h"

#include "data/engine/statement_batch.h"
#include "data/link/store_worker.h"
#include "util/bidi_text.h"

#include <QTimer>

#include <algorithm>

namespace zartav {
namespace {

using reads::kPageSize;
using schema::isPhotoColumn;
using schema::kRecordColumns;

// Pages read together in one round trip when the list shows rows of several.
constexpr int kPagesAtOnce = 4;

}  // namespace

struct RecordView::ViewAnswer {
    std::optional<reads::View> view;
    QString error;
    bool linkLost = false;
};

struct RecordView::PagesAnswer {
    RecordFilter filter;
    QList<int> pages;
    QList<std::optional<reads::Rows>> rows;
    QString error;
    bool linkLost = false;
};

RecordView::RecordView(Connection& connection, QObject* parent)
    : QObject(parent), connection_(connection),
      ownWorker_(std::make_unique<StoreWorker>(connection, StoreWorker::Mode::Inline)), worker_(*ownWorker_) {
    connect(&connection_, &Connection::changedElsewhere, this, &RecordView::refresh);
}

RecordView::RecordView(StoreWorker& worker, QObject* parent)
    : QObject(parent), connection_(worker.connection()), worker_(worker) {
    connect(&connection_, &Connection::changedElsewhere, this, &RecordView::refresh);
    connect(&worker_, &StoreWorker::linkBack, this, [this] {
        if (!open_ || !awaitingLink_) return;
        awaitingLink_ = false;
        requestView(viewOf(wanted_), Purpose::Show);
    });
}

RecordView::~RecordView() = default;

bool RecordView::threaded() const { return worker_.mode() == StoreWorker::Mode::Threaded; }

int RecordView::columnIndex(const QString& column) {
    for (int i = 0; i < int(kRecordColumns.size()); ++i) {
        if (column.compare(QString::fromUtf8(kRecordColumns[i]), Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

bool RecordView::failWith(const QString& text, SaveFailure failure) {
    errorText_ = text;
    saveFailure_ = failure;
    return false;
}

bool RecordView::refusedWhileEditing() {
    return editing() && !failWith(QStringLiteral("a record is being inserted or edited"));
}

bool RecordView::readFailure(const QString& technical, bool linkLost) {
    errorText_ = technical;
    // A server out of reach is told by the store worker's line under the list, not by a box.
    if (readFailing_ || (linkLost && threaded())) return false;
    readFailing_ = true;
    const QString text =
        withEngineWords(QStringLiteral("اطلاعات از %1 زير خوانده نشد؛ فهرست همان است كه پيش از اين بود:\n%2")
                            .arg(storeNoun(connection_), connection_.isServer() ? isolated(connection_.displayName())
                                                                                : isolatedPath(connection_.address().filePath())),
                        technical);
    // Told after the paint or command that met the failure, never inside it.
    QMetaObject::invokeMethod(this, [this, text] { emit readFailed(text); }, Qt::QueuedConnection);
    return false;
}

bool RecordView::open() {
    if (refusedWhileEditing()) return false;
    if (!connection_.isOpen()) return failWith(QStringLiteral("the database is not open"));
    worker_.follow();
    open_ = true;
    readFailing_ = false;
    filter_ = wanted_;
    if (!requestView(viewOf(wanted_), Purpose::Show)) {
        open_ = false;
        return failWith(errorText_);
    }
    worker_.watchChanges();
    return true;
}

bool RecordView::close() {
    if (refusedWhileEditing()) return false;
    if (!open_) return true;
    open_ = false;
    dropAnswers();
    count_ = 0;
    pages_.clear();
    wantedPages_.clear();
    readingPages_.clear();
    located_.clear();
    emit rowsReset();
    setCurrent(-1, nullptr);
    return true;
}

int RecordView::rowCount() const { return open_ ? count_ : 0; }

reads::ViewRequest RecordView::viewOf(const RecordFilter& filter) const {
    reads::ViewRequest request;
    request.filter = filter;
    // A longer text in the same herd finds no more than the shorter one did.
    request.fewFound = filter.finds() && filter_.finds() && countComplete_ && filter.folded.startsWith(filter_.folded) &&
                       filter.narrowsByColumn() == filter_.narrowsByColumn() && filter.value == filter_.value &&
                       count_ < find::scanFrom(connection_.dialect());
    return request;
}

bool RecordView::requestView(reads::ViewRequest request, Purpose purpose) {
    const quint64 generation = ++generation_;
    *liveGeneration_ = generation;
    // The answers under way are nobody's any more.
    worker_.interrupt(viewTicket_);
    worker_.interrupt(pageTicket_);
    pageTicket_ = 0;
    readingPages_.clear();
    countingMore_ = false;
    viewPurpose_ = purpose;
    auto answer = std::make_shared<ViewAnswer>();
    auto applied = std::make_shared<bool>(false);
    auto answered = std::make_shared<bool>(false);
    const quint64 ticket = worker_.post(
        [request, answer, live = liveGeneration_, generation](StoreLink& link) {
            if (*live != generation) return;  // superseded before it began
            answer->view = withLink(link, [&] { return reads::readView(link.database(), request, &answer->error); });
            answer->linkLost = link.isLost();
        },
        [this, answer, generation, purpose, located = request.alsoLocate, applied, answered] {
            *answered = true;
            if (generation != generation_) return;
            viewTicket_ = 0;
            if (!answer->view) {
                // A server out of reach: the herd and find asked for stay asked for, and are
                // read once the link is back (the last request wins).
                if (answer->linkLost && threaded()) {
                    awaitingLink_ = true;
                    return;
                }
                // What was shown stays, and so does the filter it was read under.
                wanted_ = filter_;
                readFailure(answer->error, answer->linkLost);
                emit viewRefused();
                return;
            }
            *applied = true;
            applyView(*answer->view, purpose, located);
        });
    if (!*answered) viewTicket_ = ticket;
    // Inline the answer is in; on a thread it is on its way, and the call is taken.
    return threaded() || *applied;
}

void RecordView::applyView(const reads::View& view, Purpose purpose, qint64 located) {
    readFailing_ = false;
    awaitingLink_ = false;
    filter_ = view.filter;
    wanted_.plan = filter_.plan;
    count_ = view.count;
    countComplete_ = view.countComplete;
    pages_.clear();
    wantedPages_.clear();
    located_.clear();
    if (located > 0 && view.locatedRow >= 0) located_.insert(located, view.locatedRow);
    for (auto it = view.pages.cbegin(); it != view.pages.cend(); ++it) pages_.put(it.key(), *it);
    emit rowsReset();
    setCurrent(view.currentRow, view.currentRow >= 0 ? pages_.row(view.currentRow) : nullptr);
    if (purpose == Purpose::Refresh) emit refreshed();
}

void RecordView::setCurrent(int row, const reads::ListedRow* values) {
    currentRow_ = values ? row : -1;
    current_ = values ? *values : reads::ListedRow{};
    currentId_ = current_.id;
    currentUnread_ = false;
    emit currentChanged(currentRow_);
}

bool RecordView::isRowRead(int row) {
    if (!open_ || row < 0 || row >= count_) return true;
    if (pages_.row(row)) return true;
    wantPage(row / kPageSize);
    // Inline the page was read just now.
    return pages_.holds(row / kPageSize);
}

QString RecordView::listValue(int row, int column) {
    if (column < 0 || column >= schema::kListedColumnCount || !isRowRead(row)) return {};
    const reads::ListedRow* r = pages_.row(row);
    return r ? r->values.value(column) : QString();
}

qint64 RecordView::idAt(int row) {
    if (!isRowRead(row)) return 0;
    const reads::ListedRow* r = pages_.row(row);
    return r ? r->id : 0;
}

void RecordView::wantPage(int page) {
    if (pages_.holds(page) || readingPages_.contains(page)) return;
    wantedPages_.removeAll(page);
    wantedPages_.append(page);
    if (!threaded()) {
        readWantedPages();
        return;
    }
    // The pages a paint asks for are read together, after it.
    if (pagesScheduled_) return;
    pagesScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        pagesScheduled_ = false;
        readWantedPages();
    });
}

void RecordView::readWantedPages() {
    if (!open_ || wantedPages_.isEmpty()) return;
    if (pageTicket_) {
        // A read of pages scrolled away from is stopped; one still wanted is waited for.
        const bool stillWanted = std::any_of(readingPages_.cbegin(), readingPages_.cend(),
                                             [this](int page) { return wantedPages_.contains(page); });
        if (stillWanted) return;
        worker_.interrupt(pageTicket_);
    }
    // The latest asked for first: what the list shows now.
    const QList<int> pages = wantedPages_.mid(std::max<qsizetype>(0, wantedPages_.size() - kPagesAtOnce));
    wantedPages_.clear();
    QList<std::pair<qint64, int>> starts;  // each page read after an "ID", skipping rows
    for (const int page : pages) {
        const std::optional<std::pair<int, qint64>> anchor = pages_.anchorBefore(page);
        starts.append(anchor ? std::pair(anchor->second, (page - anchor->first - 1) * kPageSize)
                             : std::pair(qint64(0), page * kPageSize));
    }
    readingPages_ = pages;
    const quint64 request = ++pageRequests_;
    auto answer = std::make_shared<PagesAnswer>();
    answer->filter = filter_;
    answer->pages = pages;
    const quint64 generation = generation_;
    auto answered = std::make_shared<bool>(false);
    const quint64 ticket = worker_.post(
        [answer, starts, live = liveGeneration_, generation](StoreLink& link) {
            if (*live != generation) return;
            withLink(link, [&] {
                QSqlDatabase db = link.database();
                StatementBatch batch(db);
                std::vector<reads::RowsRead> reads;
                reads.reserve(starts.size());
                for (const auto& [after, skip] : starts) reads.emplace_back(db, answer->filter, after, skip);
                answer->rows.clear();
                for (reads::RowsRead& read : reads) answer->rows.append(read.result(&answer->error));
                return std::all_of(answer->rows.cbegin(), answer->rows.cend(), [](const auto& rows) { return rows.has_value(); });
            });
            answer->linkLost = link.isLost();
        },
        [this, answer, generation, answered, request] {
            *answered = true;
            if (generation != generation_) return;
            // A read overtaken by one for the pages scrolled to (and perhaps stopped for it):
            // what it did read is kept, what it could not is nobody's concern.
            const bool latest = request == pageRequests_;
            if (latest) {
                pageTicket_ = 0;
                readingPages_.clear();
            }
            applyPages(*answer, latest);
            if (latest) readWantedPages();
        });
    if (!*answered) pageTicket_ = ticket;
}

void RecordView::applyPages(const PagesAnswer& answer, bool tellFailure) {
    bool shifted = false;
    for (qsizetype i = 0; i < answer.rows.size(); ++i) {
        const std::optional<reads::Rows>& rows = answer.rows[i];
        if (!rows) {
            if (tellFailure) readFailure(answer.error, answer.linkLost);
            continue;
        }
        readFailing_ = false;
        const int page = answer.pages[i];
        const int first = page * kPageSize;
        // Rows added or deleted elsewhere before this page: the rows are read again soon,
        // keeping the current record (the list may show a shifted page until then).
        shifted = shifted || rows->size() < std::min(kPageSize, count_ - first) ||
                  (currentRow_ >= first && currentRow_ < first + rows->size() && !currentUnread_ &&
                   rows->at(currentRow_ - first).id != currentId_);
        pages_.put(page, *rows);
        if (currentUnread_ && currentRow_ >= first && currentRow_ < first + rows->size()) {
            current_ = rows->at(currentRow_ - first);
            currentId_ = current_.id;
            currentUnread_ = false;
        }
        emit rowsRead(first, std::min(first + kPageSize, count_) - 1);
    }
    if (shifted) QMetaObject::invokeMethod(this, &RecordView::refresh, Qt::QueuedConnection);
}

std::optional<QList<qint64>> RecordView::idsOfRows(int first, int last, QString* error) {
    QList<qint64> ids;
    if (!open_) return ids;
    first = std::max(first, 0);
    last = std::min(last, count_ - 1);
    int from = first;
    while (from <= last && pages_.row(from)) ids << pages_.row(from++)->id;
    if (from > last) return ids;
    // The rest in one read of their "ID"s alone, in order.
    const RecordFilter filter = filter_;
    std::optional<QList<qint64>> rest;
    worker_.call([&](StoreLink& link) {
        rest = withLink(link, [&] { return reads::IdsRead(link.database(), filter, from, last - from + 1).result(error); });
    });
    if (!rest) return std::nullopt;
    return ids + *rest;
}

int RecordView::rowOfId(qint64 id) {
    if (!open_ || id <= 0) return -1;
    if (const auto it = located_.constFind(id); it != located_.cend()) return *it;
    if (const int row = pages_.rowOf(id); row >= 0) return row;
    std::optional<reads::Position::Answer> position;
    const RecordFilter filter = filter_;
    worker_.call([&](StoreLink& link) {
        position = withLink(link, [&] { return reads::Position(link.database(), filter, id, false).result(); });
    });
    return position ? position->row : -1;
}

bool RecordView::setCurrentRow(int row) {
    if (editing() || row < 0 || row >= rowCount()) return false;
    if (row == currentRow_) return true;
    if (const reads::ListedRow* values = pages_.row(row)) {
        setCurrent(row, values);
        return true;
    }
    // Its page is on its way; the record is known by "ID" once it arrives.
    currentRow_ = row;
    current_ = {};
    currentId_ = 0;
    currentUnread_ = true;
    emit currentChanged(row);
    wantPage(row / kPageSize);
    return true;
}

bool RecordView::first() { return setCurrentRow(0); }

qint64 RecordView::currentId() {
    // A row chosen before its page arrived is read now.
    if (currentUnread_) {
        const int row = currentRow_;
        const std::optional<QList<qint64>> ids = idsOfRows(row, row);
        if (ids && ids->size() == 1 && currentUnread_ && currentRow_ == row) {
            currentId_ = ids->first();
            wantPage(row / kPageSize);
        }
    }
    return currentId_;
}

void RecordView::dropAnswers() {
    ++generation_;
    *liveGeneration_ = generation_;
}

reads::ViewRequest RecordView::viewAfterWrite() {
    dropAnswers();
    reads::ViewRequest after = viewOf(wanted_);
    after.fallbackRow = currentRow_;
    return after;
}

bool RecordView::locate(const QString& column, const QVariant& value) {
    const int index = columnIndex(column);
    if (!open_ || index < 0 || isPhotoColumn(index) || editing()) return false;
    // The first such record under the filter, and the list around it, in one call.
    const RecordFilter filter = filter_;
    QString error;
    std::optional<qint64> found;
    std::optional<reads::View> view;
    worker_.call([&](StoreLink& link) {
        found = withLink(link, [&] { return reads::FirstWith(link.database(), filter, index, value).result(&error); });
        if (!found || *found <= 0) return;
        reads::ViewRequest request;
        request.filter = filter;
        request.keepId = *found;
        view = reads::readView(link.database(), request, &error);
    });
    if (!found || (*found > 0 && !view)) return failWith(error);
    if (*found <= 0 || view->currentRow < 0) return false;
    dropAnswers();
    applyView(*view, Purpose::Show, 0);
    return currentId_ == *found;
}

bool RecordView::setFilter(const QString& column, const QVariant& value) {
    if (refusedWhileEditing()) return false;
    const int index = columnIndex(column);
    if (index < 0 || isPhotoColumn(index)) return failWith(QStringLiteral("unknown column %1").arg(column));
    RecordFilter filter = wanted_;
    filter.column = index;
    // Compared as stored: the text columns hold text, so a number matches its digits. A herd
    // code is compared folded, as the herd tabs show it: one herd whatever digits it was typed in.
    filter.value = index == schema::kIdColumnIndex     ? QVariant(value.toLongLong())
                   : index == schema::kHerdColumnIndex ? QVariant(find::fold(value.toString()))
                                                       : QVariant(value.toString());
    wanted_ = filter;
    if (!filter.on || !open_) {
        filter_ = filter;
        return true;
    }
    return requestView(viewOf(filter), Purpose::Show);
}

bool RecordView::clearFilter() {
    if (refusedWhileEditing()) return false;
    RecordFilter cleared;
    cleared.findText = wanted_.findText;
    cleared.folded = wanted_.folded;
    const bool wasOn = wanted_.on;
    wanted_ = cleared;
    if (!wasOn || !open_) {
        filter_ = cleared;
        return true;
    }
    return requestView(viewOf(cleared), Purpose::Show);
}

bool RecordView::setFind(const QString& text) {
    if (refusedWhileEditing()) return false;
    RecordFilter filter = wanted_;
    filter.findText = text;
    filter.folded = find::fold(text);
    wanted_ = filter;
    if (!open_) {
        filter_ = filter;
        return true;
    }
    return requestView(viewOf(filter), Purpose::Show);
}

bool RecordView::setFiltered(bool on) {
    if (refusedWhileEditing()) return false;
    RecordFilter filter = wanted_;
    filter.on = on;
    wanted_ = filter;
    if (!open_) {
        filter_ = filter;
        return true;
    }
    return requestView(viewOf(filter), Purpose::Show);
}

QString RecordView::filterColumn() const {
    return wanted_.column >= 0 ? QString::fromUtf8(kRecordColumns[wanted_.column]) : QString();
}

void RecordView::readMoreRows() {
    if (!hasMoreRows() || countingMore_ || viewTicket_) return;
    countingMore_ = true;
    const int limit = count_ * 2;
    auto counted = std::make_shared<std::optional<int>>();
    auto error = std::make_shared<QString>();
    auto lost = std::make_shared<bool>(false);
    const RecordFilter filter = FilterSql(connection_.dialect(), filter_).counting();
    const quint64 generation = generation_;
    worker_.post(
        [=, live = liveGeneration_](StoreLink& link) {
            if (*live != generation) return;
            *counted = withLink(link, [&] { return reads::Count(link.database(), filter, limit).result(error.get()); });
            *lost = link.isLost();
        },
        [this, counted, error, lost, limit, generation] {
            if (generation != generation_) return;
            countingMore_ = false;
            if (!*counted) {
                readFailure(*error, *lost);
                return;
            }
            readFailing_ = false;
            countComplete_ = **counted < limit;
            if (**counted <= count_) return;
            emit rowsAboutToBeAppended(count_, **counted - 1);
            count_ = **counted;
            emit rowsAppended();
        });
}

bool RecordView::forEachShown(const QList<int>& columns, const RowVisit& visit, QString* error) const {
    return reads::forEachRow(connection_.database(), filter_, columns, visit, error);
}

std::optional<qint64> RecordView::shownCount(QString* error) const {
    return reads::Count(connection_.database(), FilterSql(connection_.dialect(), filter_).counting(), 0).result(error);
}

void RecordView::refresh() {
    if (!open_) return;
    // The list behind an open entry form follows other desks too: what is typed is the edit's
    // own, apart from the rows shown.
    refreshPending_ = false;
    // A filter or find under way reads the rows afresh anyway.
    if (viewTicket_ && viewPurpose_ == Purpose::Show) return;
    keepInView_ = 0;
    emit aboutToRefresh();
    reads::ViewRequest request = viewOf(wanted_);
    request.keepId = currentId_;
    request.fallbackRow = currentRow_;
    request.alsoLocate = keepInView_;
    requestView(request, Purpose::Refresh);
}

}  // namespace zartav
