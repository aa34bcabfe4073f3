#include "data/records/catalogue_table.h"

#include "data/schema/record_schema.h"
#include "data/records/record_reads.h"

#include <QSqlQuery>

#include <algorithm>
#include <memory>

namespace zartav {

using schema::kCatalogueColumns;
using schema::textOf;


struct CatalogueTable::Read {
    std::optional<QVector<QStringList>> rows;
    QString error;
    qint64 version = -1;
    bool unchanged = false;  // not read: nobody else wrote to the file since the last read
};

namespace {

// The file's data version, which moves whenever another connection commits; -1 on the server,
// whose catalogue is always read.
qint64 fileDataVersion(StoreLink& link) {
    if (link.isServer()) return -1;
    QSqlQuery query(link.database());
    return query.exec(QStringLiteral("PRAGMA data_version")) && query.next() ? query.value(0).toLongLong() : -1;
}

}  // namespace

CatalogueTable::CatalogueTable(StoreWorker& worker, QObject* parent) : QObject(parent), worker_(worker) {}

CatalogueTable::~CatalogueTable() = default;

int CatalogueTable::columnIndex(const QString& column) {
    for (int i = 0; i < int(kCatalogueColumns.size()); ++i) {
        if (column.compare(QLatin1String(kCatalogueColumns[i]), Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

void CatalogueTable::read(bool always, std::function<void(const Read&)> arrived) {
    auto answer = std::make_shared<Read>();
    reading_ = true;
    worker_.post(
        [answer, known = always ? qint64(-1) : readAtVersion_](StoreLink& link) {
            answer->version = fileDataVersion(link);
            answer->unchanged = known >= 0 && answer->version == known;
            if (answer->unchanged) return;
            answer->rows = withLink(link, [&] { return reads::CatalogueRead(link.database(), link.catalogueOrder()).result(&answer->error); });
        },
        [this, answer, arrived = std::move(arrived)] {
            reading_ = false;
            if (answer->unchanged) return;
            errorText_ = answer->error;
            readAtVersion_ = answer->rows ? answer->version : -1;
            arrived(*answer);
        });
}

void CatalogueTable::waitForRows() {
    // Jobs run in the order given: once this one has, the catalogue's answer is in.
    if (reading_) worker_.call([](StoreLink&) {});
}

void CatalogueTable::show(const QVector<QStringList>& rows) {
    rows_ = rows;
    currentRow_ = rows_.isEmpty() ? -1 : 0;
    emit rowsReset();
    emit currentChanged(currentRow_);
}

bool CatalogueTable::open() {
    if (!worker_.connection().isOpen()) {
        errorText_ = QStringLiteral("the database is not open");
        return false;
    }
    worker_.follow();
    open_ = true;
    // Inline the answer is in when read() returns; on a thread a failure shows as no rows.
    auto failed = std::make_shared<bool>(false);
    read(true, [this, failed](const Read& answer) {
        *failed = !answer.rows;
        show(answer.rows.value_or(QVector<QStringList>()));
    });
    if (*failed) open_ = false;
    return !*failed;
}

bool CatalogueTable::reload() {
    if (!open_) return false;
    waitForRows();
    bool reloaded = false;
    read(true, [this, &reloaded](const Read& answer) { reloaded = replace(answer); });
    // Asked for by a window: it waits for the answer.
    waitForRows();
    return reloaded;
}

void CatalogueTable::refresh() {
    if (!open_ || reading_) return;
    read(false, [this](const Read& answer) { replace(answer); });
}

bool CatalogueTable::replace(const Read& answer) {
    // What was shown stays when the catalogue cannot be read; errorText() says why.
    if (!answer.rows) return false;
    if (*answer.rows == rows_) return true;
    // The bull that was current stays current when it is still there (as it was, or by its
    // foreign registration number), else the row at its place.
    const QStringList shown = currentRow_ >= 0 ? rows_.value(currentRow_) : QStringList();
    const QVector<QStringList>& rows = *answer.rows;
    int row = shown.isEmpty() ? 0 : int(rows.indexOf(shown));
    const int key = columnIndex(QStringLiteral("RegNo_SPF"));
    for (int r = 0; row < 0 && r < rows.size(); ++r)
        if (!shown.value(key).isEmpty() && rows[r].value(key) == shown.value(key)) row = r;
    if (row < 0) row = std::min(currentRow_, int(rows.size()) - 1);
    rows_ = rows;
    currentRow_ = rows_.isEmpty() ? -1 : std::max(row, 0);
    emit rowsReset();
    emit currentChanged(currentRow_);
    return true;
}

void CatalogueTable::close() {
    if (!open_) return;
    open_ = false;
    rows_.clear();
    currentRow_ = -1;
    emit rowsReset();
    emit currentChanged(-1);
}

int CatalogueTable::rowCount() const { return open_ ? int(rows_.size()) : 0; }

bool CatalogueTable::setCurrentRow(int row) {
    if (row < 0 || row >= rowCount()) return false;
    if (row != currentRow_) {
        currentRow_ = row;
        emit currentChanged(row);
    }
    return true;
}

bool CatalogueTable::first() { return setCurrentRow(0); }

bool CatalogueTable::locatePrefix(const QString& column, const QString& prefix, Qt::CaseSensitivity cs) {
    const int index = columnIndex(column);
    if (index < 0) return false;
    for (int row = 0; row < rowCount(); ++row) {
        if (rows_[row][index].startsWith(prefix, cs)) return setCurrentRow(row);
    }
    return false;
}

QString CatalogueTable::value(const QString& column) const {
    return valueAt(currentRow_, columnIndex(column));
}

QString CatalogueTable::valueAt(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= int(kCatalogueColumns.size())) return {};
    return rows_[row][column];
}

}  // namespace zartav
