#include "data/tdm.h"

#include "util/bidi_text.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QSet>
#include <QUrl>

#include <atomic>

namespace zartav {
namespace {

using schema::kRecordColumns;
using schema::kCatalogueColumns;

QString bracket(const QString& name) { return QLatin1Char('[') + name + QLatin1Char(']'); }
QString bracket(const char* name) { return bracket(QString::fromUtf8(name)); }

bool isPhotoColumn(int index) { return index >= schema::kFirstPhotoColumnIndex; }
bool isTextColumn(int index) { return index >= 0 && index < schema::kListedColumnCount; }

// The columns the entry form offers stored values for, and the herd code the tabs and the herd
// filter use: each gets an index so DISTINCT and the filter never scan the table.
constexpr std::array<const char*, 6> kIndexedColumns = {
    "كد استان", "نام استان", "نام شهرستان", "نام گاوداري", "كد گله", "نام گوساله",
};

QString recordTableSql() {
    QStringList parts;
    for (int i = 0; i < int(kRecordColumns.size()); ++i) {
        QString type;
        if (i == schema::kIdColumnIndex) {
            // AUTOINCREMENT: a deleted record's number is never handed out again.
            type = QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
        } else if (isPhotoColumn(i)) {
            type = QStringLiteral("BLOB");
        } else {
            type = QStringLiteral("VARCHAR(%1)").arg(schema::kTextColumnSize);
        }
        parts << bracket(kRecordColumns[i]) + QLatin1Char(' ') + type;
    }
    return QStringLiteral("CREATE TABLE IF NOT EXISTS [VaskorTemp] (%1)").arg(parts.join(", "));
}

QString catalogueTableSql() {
    QStringList parts;
    for (const char* name : kCatalogueColumns)
        parts << bracket(name) + QStringLiteral(" VARCHAR(%1)").arg(schema::kTextColumnSize);
    return QStringLiteral("CREATE TABLE IF NOT EXISTS [DosSperm] (%1)").arg(parts.join(", "));
}

QStringList indexSql() {
    QStringList statements;
    for (int i = 0; i < int(kIndexedColumns.size()); ++i) {
        statements << QStringLiteral("CREATE INDEX IF NOT EXISTS [ix_VaskorTemp_%1] ON [VaskorTemp] (%2)")
                          .arg(i + 1)
                          .arg(bracket(kIndexedColumns[i]));
    }
    return statements;
}

QString connectionNameForNewConnection() {
    static std::atomic<int> counter{0};
    return QStringLiteral("zartav-data-%1").arg(++counter);
}

QString listedSelectList() {
    QStringList columns{QStringLiteral("[ID]")};
    for (int i = 0; i < schema::kListedColumnCount; ++i) columns << bracket(kRecordColumns[i]);
    return columns.join(", ");
}

QString textOf(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return {};
    return value.toString();
}

// Runs one statement; false with the engine's reason in `error`.
bool run(QSqlDatabase& db, const QString& sql, QString* error) {
    QSqlQuery query(db);
    if (!query.exec(sql)) {
        if (error) *error = query.lastError().text();
        return false;
    }
    return true;
}

QColor groupColour(int column) {
    if (column < 6) return QColor(0xE8, 0xFF, 0xF3);   // herd and place
    if (column < 16) return QColor(0xFF, 0xF5, 0xEC);  // calf
    if (column < 20) return QColor(0xF2, 0xF2, 0xFF);  // sire
    if (column < 34) return QColor(0xFF, 0xFF, 0xF2);  // dams
    return QColor(0xE8, 0xE8, 0xFF);                   // inseminations, calving, print
}

}  // namespace

bool createRecordSchema(QSqlDatabase& db, QString* error) {
    if (!db.transaction()) {
        if (error) *error = db.lastError().text();
        return false;
    }
    QStringList statements{recordTableSql(), catalogueTableSql()};
    statements << indexSql();
    for (const QString& sql : statements) {
        if (!run(db, sql, error)) {
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        if (error) *error = db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Connection

Connection::Connection() : name_(connectionNameForNewConnection()) {}

Connection::~Connection() {
    close();
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase Connection::database() const { return QSqlDatabase::database(name_, false); }

bool Connection::isOpen() const { return database().isOpen(); }

void Connection::close() {
    readOnly_ = false;
    QSqlDatabase db = database();
    if (db.isValid() && db.isOpen()) db.close();
}

bool Connection::fail(const QString& technical) {
    technicalError_ = technical;
    errorText_ = QStringLiteral("فايل اطلاعات زير باز نشد:\n%1\n"
                                "اين فايل خراب است، قفل شده است، خواندني نيست "
                                "يا فايل اطلاعات اين برنامه نيست.")
                     .arg(isolatedPath(path_));
    close();
    return false;
}

bool Connection::open(const QString& path) {
    close();
    path_ = path;
    errorText_.clear();
    technicalError_.clear();

    const QFileInfo info(path);
    const bool existed = info.exists();
    if (existed && !info.isFile()) return fail(QStringLiteral("not a file"));
    if (existed && !info.isReadable()) return fail(QStringLiteral("file is not readable"));
    if (!existed && !QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("cannot create folder %1").arg(info.absolutePath()));

    // The write-ahead journal is kept in files beside the database: a folder that cannot be
    // written leaves only reading.
    const bool folderWritable = QFileInfo(info.absolutePath()).isWritable();
    readOnly_ = existed && (!info.isWritable() || !folderWritable);

    QSqlDatabase db = QSqlDatabase::contains(name_) ? QSqlDatabase::database(name_, false)
                                                    : QSqlDatabase::addDatabase("QSQLITE", name_);
    // Wait a little for another program's short write instead of failing at once.
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=1500");
    QString name = path;
    if (readOnly_) {
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        // With no journal files and no room to make them, SQLite reads the file only when told
        // that nothing else writes it; a journal left by a crash is read as it is.
        if (!folderWritable && !QFileInfo::exists(path + QStringLiteral("-wal"))) {
            options += QStringLiteral(";QSQLITE_OPEN_URI");
            name = QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) +
                   QStringLiteral("?immutable=1");
        }
    }
    db.setDatabaseName(name);
    db.setConnectOptions(options);
    if (!db.open()) return fail(db.lastError().text());

    // The first read tells a database from any other file; nothing is written before it.
    QSet<QString> tables;
    {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
            return fail(query.lastError().text());
        while (query.next()) tables.insert(query.value(0).toString().toLower());
        if (query.lastError().isValid()) return fail(query.lastError().text());
    }
    const bool hasRecords = tables.contains(QStringLiteral("vaskortemp"));
    const bool empty = tables.isEmpty();
    if (!hasRecords && !empty) {
        // Some other program's database: leave it alone.
        return fail(QStringLiteral("the file holds other tables and no VaskorTemp"));
    }
    if (hasRecords) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("PRAGMA table_info([VaskorTemp])")))
            return fail(query.lastError().text());
        QSet<QString> columns;
        while (query.next()) columns.insert(query.value(1).toString().toLower());
        for (const char* name : kRecordColumns) {
            if (!columns.contains(QString::fromUtf8(name).toLower()))
                return fail(QStringLiteral("VaskorTemp lacks the column %1").arg(QString::fromUtf8(name)));
        }
    }

    if (readOnly_) return hasRecords || fail(QStringLiteral("the file cannot be written and holds no tables"));

    // WAL keeps readers and the writer apart and survives a crash mid-save; synchronous=FULL
    // makes every committed record reach the disk before the save is reported done.
    {
        QSqlQuery query(db);
        query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        query.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    QString error;
    if (!hasRecords) {
        if (!createRecordSchema(db, &error)) {
            fail(error);
            if (!existed) QFile::remove(path);
            return false;
        }
    } else {
        // A file from an earlier version or the legacy import may lack the catalogue table or
        // an index; adding them is harmless, and a read-only file simply goes without.
        createRecordSchema(db, &error);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// RecordTable

RecordTable::RecordTable(Connection& connection, QObject* parent)
    : QObject(parent), connection_(connection) {}

RecordTable::~RecordTable() = default;

int RecordTable::columnIndex(const QString& column) {
    for (int i = 0; i < int(kRecordColumns.size()); ++i) {
        if (column.compare(QString::fromUtf8(kRecordColumns[i]), Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

bool RecordTable::failWith(const QString& text) {
    errorText_ = text;
    return false;
}

bool RecordTable::open() {
    if (!connection_.isOpen()) return failWith(QStringLiteral("the database is not open"));
    {
        QSqlQuery query(connection_.database());
        if (!query.exec(QStringLiteral("SELECT 1 FROM [VaskorTemp] LIMIT 1")))
            return failWith(query.lastError().text());
    }
    open_ = true;
    state_ = RecordState::Browse;
    invalidate();
    emit rowsReset();
    setCurrent(rowCount() > 0 ? 0 : -1);
    return true;
}

void RecordTable::close() {
    if (!open_) return;
    open_ = false;
    state_ = RecordState::Browse;
    buffer_.clear();
    invalidate();
    emit rowsReset();
    setCurrent(-1);
}

void RecordTable::invalidate() {
    rowCount_.reset();
    pages_.clear();
    pageOrder_.clear();
    pageLastId_.clear();
}

QString RecordTable::whereClause(const QString& extra) const {
    QStringList conditions;
    if (filtered_ && filterColumn_ >= 0)
        conditions << bracket(kRecordColumns[filterColumn_]) + QStringLiteral(" = :filter");
    if (!extra.isEmpty()) conditions << extra;
    if (conditions.isEmpty()) return {};
    return QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

void RecordTable::bindFilter(QSqlQuery& query) const {
    if (filtered_ && filterColumn_ >= 0) query.bindValue(QStringLiteral(":filter"), filterValue_);
}

int RecordTable::rowCount() const {
    if (!open_) return 0;
    if (!rowCount_) {
        QSqlQuery query(connection_.database());
        query.prepare(QStringLiteral("SELECT COUNT(*) FROM [VaskorTemp]") + whereClause());
        bindFilter(query);
        rowCount_ = (query.exec() && query.next()) ? query.value(0).toInt() : 0;
    }
    return *rowCount_;
}

bool RecordTable::loadPage(int page) const {
    // Seek from the last "ID" of the nearest page read before, so scrolling down page by page
    // is a key lookup, not a walk from the first row.
    int anchorPage = -1;
    for (int p = page - 1; p >= 0 && p >= page - 64; --p) {
        if (pageLastId_.contains(p)) {
            anchorPage = p;
            break;
        }
    }
    const int skip = (page - anchorPage - 1) * kPageSize;
    QSqlQuery query(connection_.database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + listedSelectList() + QStringLiteral(" FROM [VaskorTemp]") +
                  whereClause(anchorPage >= 0 ? QStringLiteral("[ID] > :after") : QString()) +
                  QStringLiteral(" ORDER BY [ID] LIMIT %1 OFFSET %2").arg(kPageSize).arg(skip));
    bindFilter(query);
    if (anchorPage >= 0) query.bindValue(QStringLiteral(":after"), pageLastId_.value(anchorPage));
    if (!query.exec()) return false;
    QVector<Row> rows;
    rows.reserve(kPageSize);
    while (query.next()) {
        Row row;
        row.id = query.value(0).toLongLong();
        row.values.reserve(schema::kListedColumnCount);
        for (int i = 0; i < schema::kListedColumnCount; ++i) row.values << textOf(query.value(i + 1));
        rows << std::move(row);
    }
    if (!rows.isEmpty()) pageLastId_.insert(page, rows.last().id);
    pages_.insert(page, std::move(rows));
    pageOrder_.removeAll(page);
    pageOrder_.append(page);
    while (pageOrder_.size() > kMaxCachedPages) pages_.remove(pageOrder_.takeFirst());
    return true;
}

const RecordTable::Row* RecordTable::rowAt(int row) const {
    if (!open_ || row < 0 || row >= rowCount()) return nullptr;
    const int page = row / kPageSize;
    auto it = pages_.find(page);
    if (it == pages_.end()) {
        if (!loadPage(page)) return nullptr;
        it = pages_.find(page);
    } else if (pageOrder_.last() != page) {
        pageOrder_.removeAll(page);
        pageOrder_.append(page);
    }
    const int offset = row % kPageSize;
    return offset < it->size() ? &(*it)[offset] : nullptr;
}

QString RecordTable::listValue(int row, int column) const {
    if (column < 0 || column >= schema::kListedColumnCount) return {};
    const Row* r = rowAt(row);
    return r ? r->values.value(column) : QString();
}

qint64 RecordTable::idAt(int row) const {
    const Row* r = rowAt(row);
    return r ? r->id : 0;
}

int RecordTable::rowOfId(qint64 id) const {
    if (!open_ || id <= 0) return -1;
    QSqlQuery exists(connection_.database());
    exists.prepare(QStringLiteral("SELECT 1 FROM [VaskorTemp]") + whereClause(QStringLiteral("[ID] = :id")));
    bindFilter(exists);
    exists.bindValue(QStringLiteral(":id"), id);
    if (!exists.exec() || !exists.next()) return -1;
    QSqlQuery before(connection_.database());
    before.prepare(QStringLiteral("SELECT COUNT(*) FROM [VaskorTemp]") + whereClause(QStringLiteral("[ID] < :id")));
    bindFilter(before);
    before.bindValue(QStringLiteral(":id"), id);
    if (!before.exec() || !before.next()) return -1;
    return before.value(0).toInt();
}

void RecordTable::setCurrent(int row) {
    currentRow_ = row;
    currentId_ = row >= 0 ? idAt(row) : 0;
    emit currentChanged(row);
}

bool RecordTable::setCurrentRow(int row) {
    if (state_ != RecordState::Browse || row < 0 || row >= rowCount()) return false;
    if (row != currentRow_) setCurrent(row);
    return true;
}

bool RecordTable::first() { return setCurrentRow(0); }

bool RecordTable::locate(const QString& column, const QVariant& value) {
    const int index = columnIndex(column);
    if (!open_ || index < 0 || isPhotoColumn(index) || state_ != RecordState::Browse) return false;
    QSqlQuery query(connection_.database());
    query.prepare(QStringLiteral("SELECT [ID] FROM [VaskorTemp]") +
                  whereClause(bracket(kRecordColumns[index]) + QStringLiteral(" = :value")) +
                  QStringLiteral(" ORDER BY [ID] LIMIT 1"));
    bindFilter(query);
    query.bindValue(QStringLiteral(":value"), value);
    if (!query.exec()) return failWith(query.lastError().text());
    if (!query.next()) return false;
    const int row = rowOfId(query.value(0).toLongLong());
    if (row < 0) return false;
    setCurrent(row);
    return true;
}

qint64 RecordTable::id() const {
    if (state_ == RecordState::Insert) return 0;
    return currentRow_ >= 0 ? currentId_ : 0;
}

QString RecordTable::value(const QString& column) const {
    const int index = columnIndex(column);
    if (index < 0 || isPhotoColumn(index)) return {};
    if (state_ != RecordState::Browse) {
        if (index == schema::kIdColumnIndex) return state_ == RecordState::Insert ? QString() : QString::number(currentId_);
        return textOf(buffer_.value(index));
    }
    if (currentRow_ < 0) return {};
    if (index == schema::kIdColumnIndex) return QString::number(currentId_);
    return listValue(currentRow_, index);
}

QByteArray RecordTable::readPhoto(int column) const {
    if (currentId_ <= 0) return {};
    QSqlQuery query(connection_.database());
    query.prepare(QStringLiteral("SELECT %1 FROM [VaskorTemp] WHERE [ID] = :id").arg(bracket(kRecordColumns[column])));
    query.bindValue(QStringLiteral(":id"), currentId_);
    if (!query.exec() || !query.next()) return {};
    return query.value(0).toByteArray();
}

QByteArray RecordTable::photo(const QString& column) const {
    const int index = columnIndex(column);
    if (!isPhotoColumn(index)) return {};
    if (state_ == RecordState::Insert) return buffer_.value(index).toByteArray();
    if (state_ == RecordState::Edit && modified_.value(index)) return buffer_.value(index).toByteArray();
    if (currentRow_ < 0) return {};
    return readPhoto(index);
}

bool RecordTable::setValue(const QString& column, const QString& text) {
    const int index = columnIndex(column);
    if (state_ == RecordState::Browse || !isTextColumn(index)) return false;
    buffer_[index] = text.isEmpty() ? QVariant() : QVariant(text);
    modified_[index] = true;
    return true;
}

bool RecordTable::setPhoto(const QString& column, const QByteArray& bytes) {
    const int index = columnIndex(column);
    if (state_ == RecordState::Browse || !isPhotoColumn(index)) return false;
    buffer_[index] = bytes.isEmpty() ? QVariant() : QVariant(bytes);
    modified_[index] = true;
    return true;
}

bool RecordTable::insert() {
    if (!open_ || state_ != RecordState::Browse) return false;
    buffer_ = QVector<QVariant>(int(kRecordColumns.size()));
    modified_ = QVector<bool>(int(kRecordColumns.size()), false);
    state_ = RecordState::Insert;
    emit stateChanged(state_);
    return true;
}

bool RecordTable::edit() {
    if (!open_ || state_ != RecordState::Browse || currentRow_ < 0) return false;
    const Row* row = rowAt(currentRow_);
    if (!row) return false;
    buffer_ = QVector<QVariant>(int(kRecordColumns.size()));
    modified_ = QVector<bool>(int(kRecordColumns.size()), false);
    for (int i = 0; i < schema::kListedColumnCount; ++i) {
        const QString& text = row->values.at(i);
        buffer_[i] = text.isEmpty() ? QVariant() : QVariant(text);
    }
    buffer_[schema::kIdColumnIndex] = row->id;
    state_ = RecordState::Edit;
    emit stateChanged(state_);
    return true;
}

void RecordTable::cancel() {
    if (state_ == RecordState::Browse) return;
    state_ = RecordState::Browse;
    buffer_.clear();
    modified_.clear();
    emit stateChanged(state_);
}

bool RecordTable::post() {
    if (state_ == RecordState::Browse) return failWith(QStringLiteral("nothing to save"));
    for (int i = 0; i < schema::kListedColumnCount; ++i) {
        if (modified_[i] && textOf(buffer_[i]).size() > schema::kTextColumnSize) {
            return failWith(QStringLiteral("the value of %1 is longer than %2 characters")
                                .arg(QString::fromUtf8(kRecordColumns[i]))
                                .arg(schema::kTextColumnSize));
        }
    }
    QSqlDatabase db = connection_.database();
    if (!db.isOpen()) return failWith(QStringLiteral("the database is not open"));

    QList<int> columns;
    for (int i = 0; i < int(kRecordColumns.size()); ++i) {
        if (i != schema::kIdColumnIndex && (modified_[i] || (state_ == RecordState::Insert && !buffer_[i].isNull())))
            columns << i;
    }
    QSqlQuery query(db);
    if (state_ == RecordState::Insert) {
        QStringList names, marks;
        for (int i : columns) {
            names << bracket(kRecordColumns[i]);
            marks << QStringLiteral("?");
        }
        query.prepare(columns.isEmpty() ? QStringLiteral("INSERT INTO [VaskorTemp] DEFAULT VALUES")
                                        : QStringLiteral("INSERT INTO [VaskorTemp] (%1) VALUES (%2)")
                                              .arg(names.join(", "), marks.join(", ")));
    } else {
        if (columns.isEmpty()) {
            // Nothing changed; still make sure the record exists, so a vanished row is reported.
            query.prepare(QStringLiteral("UPDATE [VaskorTemp] SET [ID] = [ID] WHERE [ID] = ?"));
        } else {
            QStringList sets;
            for (int i : columns) sets << bracket(kRecordColumns[i]) + QStringLiteral(" = ?");
            query.prepare(QStringLiteral("UPDATE [VaskorTemp] SET %1 WHERE [ID] = ?").arg(sets.join(", ")));
        }
    }
    for (int i : columns) {
        const QVariant& v = buffer_[i];
        if (isPhotoColumn(i))
            query.addBindValue(v.isNull() ? QVariant(QMetaType(QMetaType::QByteArray)) : v);
        else
            query.addBindValue(v.isNull() ? QVariant(QMetaType(QMetaType::QString)) : v);
    }
    if (state_ == RecordState::Edit) query.addBindValue(currentId_);

    if (!db.transaction()) return failWith(db.lastError().text());
    if (!query.exec()) {
        const QString reason = query.lastError().text();
        db.rollback();
        return failWith(reason);
    }
    if (state_ == RecordState::Edit && query.numRowsAffected() != 1) {
        db.rollback();
        return failWith(QStringLiteral("the record was deleted meanwhile"));
    }
    const qint64 newId = state_ == RecordState::Insert ? query.lastInsertId().toLongLong() : currentId_;
    query.finish();
    if (!db.commit()) {
        const QString reason = db.lastError().text();
        db.rollback();
        return failWith(reason);
    }
    const int oldRow = currentRow_;
    state_ = RecordState::Browse;
    buffer_.clear();
    modified_.clear();
    errorText_.clear();
    reloadAround(newId, oldRow);
    emit stateChanged(state_);
    return true;
}

void RecordTable::reloadAround(qint64 id, int fallbackRow) {
    invalidate();
    const int count = rowCount();
    int row = rowOfId(id);
    if (row < 0) row = count == 0 ? -1 : std::clamp(fallbackRow, 0, count - 1);
    emit rowsReset();
    setCurrent(row);
}

bool RecordTable::remove() {
    if (!open_ || state_ != RecordState::Browse || currentRow_ < 0) return false;
    QSqlDatabase db = connection_.database();
    if (!db.transaction()) return failWith(db.lastError().text());
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM [VaskorTemp] WHERE [ID] = ?"));
    query.addBindValue(currentId_);
    if (!query.exec()) {
        const QString reason = query.lastError().text();
        db.rollback();
        return failWith(reason);
    }
    query.finish();
    if (!db.commit()) {
        const QString reason = db.lastError().text();
        db.rollback();
        return failWith(reason);
    }
    reloadAround(0, currentRow_);
    return true;
}

bool RecordTable::setFilter(const QString& column, const QVariant& value) {
    const int index = columnIndex(column);
    if (index < 0 || isPhotoColumn(index)) return failWith(QStringLiteral("unknown column %1").arg(column));
    filterColumn_ = index;
    filterValue_ = value;
    if (filtered_) setFiltered(true);
    return true;
}

void RecordTable::clearFilter() {
    const bool wasFiltered = filtered_;
    filterColumn_ = -1;
    filterValue_ = QVariant();
    if (wasFiltered) setFiltered(false);
}

QString RecordTable::filterColumn() const {
    return filterColumn_ >= 0 ? QString::fromUtf8(kRecordColumns[filterColumn_]) : QString();
}

void RecordTable::setFiltered(bool on) {
    filtered_ = on;
    if (!open_) return;
    invalidate();
    emit rowsReset();
    setCurrent(rowCount() > 0 ? 0 : -1);
}

// ---------------------------------------------------------------------------------------------
// CatalogueTable

CatalogueTable::CatalogueTable(Connection& connection, QObject* parent)
    : QObject(parent), connection_(connection) {}

CatalogueTable::~CatalogueTable() = default;

int CatalogueTable::columnIndex(const QString& column) {
    for (int i = 0; i < int(kCatalogueColumns.size()); ++i) {
        if (column.compare(QLatin1String(kCatalogueColumns[i]), Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

bool CatalogueTable::ensureLoaded() const {
    if (loaded_) return true;
    QStringList names;
    for (const char* name : kCatalogueColumns) names << bracket(name);
    QSqlQuery query(connection_.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM [DosSperm] ORDER BY rowid").arg(names.join(", ")))) {
        errorText_ = query.lastError().text();
        return false;
    }
    rows_.clear();
    while (query.next()) {
        QStringList row;
        row.reserve(int(kCatalogueColumns.size()));
        for (int i = 0; i < int(kCatalogueColumns.size()); ++i) row << textOf(query.value(i));
        rows_ << row;
    }
    loaded_ = true;
    return true;
}

bool CatalogueTable::open() {
    if (!connection_.isOpen()) {
        errorText_ = QStringLiteral("the database is not open");
        return false;
    }
    loaded_ = false;
    if (!ensureLoaded()) return false;
    open_ = true;
    currentRow_ = rows_.isEmpty() ? -1 : 0;
    emit rowsReset();
    emit currentChanged(currentRow_);
    return true;
}

void CatalogueTable::close() {
    if (!open_) return;
    open_ = false;
    loaded_ = false;
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

// ---------------------------------------------------------------------------------------------
// Models

RecordListModel::RecordListModel(RecordTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    connect(&table_, &RecordTable::rowsReset, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&table_, &RecordTable::currentChanged, this, [this] {
        emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
    });
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.rowCount();
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : schema::kListedColumnCount;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return table_.listValue(index.row(), index.column());
    case Qt::BackgroundRole:
        return groupColour(index.column());
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

CatalogueListModel::CatalogueListModel(CatalogueTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    connect(&table_, &CatalogueTable::rowsReset, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int CatalogueListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.rowCount();
}

int CatalogueListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(kCatalogueColumns.size());
}

QVariant CatalogueListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    return table_.valueAt(index.row(), index.column());
}

QVariant CatalogueListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= int(kCatalogueColumns.size())) return {};
    return QLatin1String(kCatalogueColumns[section]);
}

// ---------------------------------------------------------------------------------------------
// ScratchQuery

ScratchQuery::ScratchQuery(Connection& connection) : connection_(connection) {}

ScratchQuery::~ScratchQuery() = default;

void ScratchQuery::close() {
    query_.reset();
    open_ = false;
}

void ScratchQuery::setSql(const QString& statement) {
    close();
    sql_ = statement;
    named_.clear();
    positional_.clear();
}

void ScratchQuery::bindValue(const QString& placeholder, const QVariant& value) {
    named_.append({placeholder, value});
}

void ScratchQuery::addBindValue(const QVariant& value) { positional_.append(value); }

bool ScratchQuery::open() {
    close();
    errorText_.clear();
    auto query = std::make_unique<QSqlQuery>(connection_.database());
    query->setForwardOnly(true);
    if (!query->prepare(sql_)) {
        errorText_ = query->lastError().text();
        return false;
    }
    for (const auto& [name, value] : named_) query->bindValue(name, value);
    for (const QVariant& value : positional_) query->addBindValue(value);
    if (!query->exec()) {
        errorText_ = query->lastError().text();
        return false;
    }
    query_ = std::move(query);
    open_ = true;
    return true;
}

bool ScratchQuery::next() { return open_ && query_->next(); }

bool ScratchQuery::hasColumn(const QString& column) const {
    return open_ && query_->record().indexOf(column) >= 0;
}

QString ScratchQuery::value(const QString& column) const {
    if (!open_ || !query_->isValid()) return {};
    const int index = query_->record().indexOf(column);
    return index >= 0 ? textOf(query_->value(index)) : QString();
}

// ---------------------------------------------------------------------------------------------
// TDM

TDM::TDM() : TVascor(Maincon), DVascor(TVascor), TDosSperm(Maincon), DDosSperm(TDosSperm), QAsk(Maincon) {
    // The names the program knows them by; the field default files are named after them.
    TVascor.setObjectName(QStringLiteral("TVascor"));
    DVascor.setObjectName(QStringLiteral("DVascor"));
    TDosSperm.setObjectName(QStringLiteral("TDosSperm"));
    DDosSperm.setObjectName(QStringLiteral("DDosSperm"));
}

TDM::~TDM() {
    QAsk.close();
    TDosSperm.close();
    TVascor.close();
}

bool TDM::FillCombo(const QString& statement, QStringList& items) {
    // A query of its own, freed on every way out, so the scratch query keeps its state.
    QSqlQuery query(Maincon.database());
    query.setForwardOnly(true);
    if (!query.prepare(statement) || !query.exec()) return false;
    items.clear();
    while (query.next()) {
        const int index = query.record().indexOf(QStringLiteral("Res"));
        if (index < 0) return false;
        const QString text = textOf(query.value(index));
        if (!text.trimmed().isEmpty()) items << text;
    }
    return !query.lastError().isValid();
}

}  // namespace zartav
