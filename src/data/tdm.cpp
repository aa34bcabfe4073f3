#include "data/tdm.h"

#include "data/history_schema.h"
#include "data/record_history.h"
#include "data/server_link.h"
#include "data/store_files.h"
#include "data/store_integrity.h"
#include "util/bidi_text.h"

#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QScopeGuard>

#include <atomic>

namespace zartav {
namespace {

using schema::kCatalogueColumns;
using schema::kRecordColumns;

bool isPhotoColumn(int index) { return index >= schema::kFirstPhotoColumnIndex; }
bool isTextColumn(int index) { return index >= 0 && index < schema::kListedColumnCount; }

QString connectionNameForNewConnection() {
    static std::atomic<int> counter{0};
    return QStringLiteral("zartav-data-%1").arg(++counter);
}

QString textOf(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return {};
    return value.toString();
}

QColor groupColour(int column) {
    if (column < 6) return QColor(0xE8, 0xFF, 0xF3);   // herd and place
    if (column < 16) return QColor(0xFF, 0xF5, 0xEC);  // calf
    if (column < 20) return QColor(0xF2, 0xF2, 0xFF);  // sire
    if (column < 34) return QColor(0xFF, 0xFF, 0xF2);  // dams
    return QColor(0xE8, 0xE8, 0xFF);                   // inseminations, calving, print
}

QString recordTable(const SqlDialect& d) { return d.quote(schema::kRecordTable); }

// Runs `work`, which builds its statements afresh each time; when it fails because the link to
// the server was lost, connects again and runs it once more. The file never loses its link.
template <typename Work>
auto withLink(Connection& connection, Work&& work) -> decltype(work()) {
    if (connection.isLost()) connection.reconnect();
    auto result = work();
    if (!result && connection.isLost() && connection.reconnect()) result = work();
    return result;
}

}  // namespace

QString storeNoun(const Connection& connection) {
    return connection.isServer() ? QStringLiteral("سرور اطلاعات") : QStringLiteral("فايل اطلاعات");
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
    ++openings_;
    readOnly_ = false;
    if (watchTimer_) watchTimer_->stop();
    QSqlDatabase db = database();
    if (db.isValid() && db.isOpen()) db.close();
}

bool Connection::fail(const QString& technical) {
    technicalError_ = technical;
    // On the server: the known reason in Farsi when there is one, then the client library's words.
    const QString reason = isServer() ? server::failureReason(technical) : QString();
    errorText_ = isServer() ? withEngineWords(reason.isEmpty()
                                                  ? QStringLiteral("اتصال به سرور اطلاعات زير برقرار نشد؛ سرور در دسترس نيست، "
                                                                   "اتصال را نپذيرفت يا اطلاعات اين برنامه را ندارد:\n%1")
                                                        .arg(isolated(address_.display()))
                                                  : QStringLiteral("اتصال به سرور اطلاعات زير برقرار نشد:\n%1\n%2")
                                                        .arg(isolated(address_.display()), reason),
                                              technical)
                            : QStringLiteral("فايل اطلاعات زير باز نشد:\n%1\n"
                                             "اين فايل خراب است، قفل شده است، خواندني نيست "
                                             "يا فايل اطلاعات اين برنامه نيست.")
                                  .arg(isolatedPath(address_.filePath()));
    close();
    return false;
}

bool Connection::open(const QString& address, StoreAccess access) {
    QString why;
    const std::optional<StoreAddress> parsed = StoreAddress::parse(address, &why);
    if (!parsed) {
        close();
        address_ = StoreAddress::file(QString());
        technicalError_ = why;
        errorText_ = withEngineWords(QStringLiteral("نشاني سرور اطلاعات درست نيست."), why);
        return false;
    }
    return open(*parsed, access);
}

bool Connection::open(const StoreAddress& address, StoreAccess access) {
    close();
    address_ = address;
    access_ = access;
    errorText_.clear();
    technicalError_.clear();
    dataVersion_ = -1;
    // A connection name keeps its driver: a store of the other engine needs a fresh one.
    if (QSqlDatabase::contains(name_) && database().driverName() != dialect().driver()) QSqlDatabase::removeDatabase(name_);
    const bool opened = address_.isServer() ? openServer() : openFile();
    if (opened && watching_) startWatching();
    return opened;
}

bool Connection::openFile() {
    const QString path = address_.filePath();
    catalogueOrder_ = SqlDialect::of(StoreEngine::File).catalogueOrder();
    const QFileInfo info(path);
    const bool existed = info.exists();
    if (existed && !info.isFile()) return fail(QStringLiteral("not a file"));
    if (existed && !info.isReadable()) return fail(QStringLiteral("file is not readable"));
    if (!existed && access_ == StoreAccess::ReadOnly) return fail(QStringLiteral("no such file"));
    if (!existed && !QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("cannot create folder %1").arg(info.absolutePath()));

    // The write-ahead journal is kept in files beside the database: a folder that cannot be
    // written leaves only reading.
    const bool folderWritable = QFileInfo(info.absolutePath()).isWritable();
    readOnly_ = access_ == StoreAccess::ReadOnly || (existed && (!info.isWritable() || !folderWritable));

    QSqlDatabase db = QSqlDatabase::contains(name_) ? QSqlDatabase::database(name_, false)
                                                    : QSqlDatabase::addDatabase("QSQLITE", name_);
    // Wait a little for another program's short write instead of failing at once.
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=1500");
    QString name = path;
    if (readOnly_) {
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        // With no journal files and no room to make them (or a read that must leave none),
        // SQLite reads the file only when told that nothing else writes it; a journal left by
        // a crash is read as it is.
        const storefile::ReadName reading = storefile::forReading(path);
        if (reading.uri && (!folderWritable || access_ == StoreAccess::ReadOnly)) {
            options += QStringLiteral(";QSQLITE_OPEN_URI");
            name = reading.name;
        }
    }
    db.setDatabaseName(name);
    db.setConnectOptions(options);
    if (!db.open()) return fail(db.lastError().text());
    // Nothing of the file is read or written before its schema is known to be the program's.
    if (const integrity::SchemaCheck check = integrity::checkOpened(db); !check.ok) {
        fail(check.foreign.isEmpty() ? check.engineWords : check.foreign);
        if (!check.foreign.isEmpty()) errorText_ = QStringLiteral("فايل اطلاعات زير باز نشد:\n%1\n%2").arg(isolatedPath(path), check.foreign);
        return false;
    }

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

    // Counting a million records walks an index of about 10 MB; kept in this connection's cache
    // (32 MB at most) it takes well under a millisecond instead of reading those pages again.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size=-32768"));
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
            if (!existed) storefile::remove(path);
            return false;
        }
    } else {
        // A file from an earlier version or the legacy import may lack the catalogue table or
        // an index; adding them is harmless, and a read-only file simply goes without.
        announceIndexBuild(db);
        createRecordSchema(db, &error);
    }
    // What other programs wrote since the program last had the file gets its seal now, in order.
    if (db.transaction()) {
        if (history::seal(db, &error)) db.commit();
        else db.rollback();
    }
    return true;
}

bool Connection::openServer() {
    QSqlDatabase db = QSqlDatabase::contains(name_) ? QSqlDatabase::database(name_, false)
                                                    : QSqlDatabase::addDatabase(dialect().driver(), name_);
    QString why;
    if (!server::configure(db, address_, &why)) return fail(why);
    if (!db.open()) {
        const QString refusal = db.lastError().databaseText();
        if (!address_.password().isEmpty() || !passwordPrompt_ || !server::wantsPassword(address_))
            return fail(refusal);
        const std::optional<QString> password =
            passwordPrompt_(QStringLiteral("رمز عبور كاربر %1 براي سرور اطلاعات زير:\n%2")
                                .arg(isolated(address_.user().isEmpty() ? qEnvironmentVariable("USER") : address_.user()),
                                     isolated(address_.display())));
        if (!password) return fail(refusal);
        address_.setPassword(*password);
        db.setPassword(*password);
        if (!db.open()) {
            address_.setPassword(QString());
            db.setPassword(QString());
            return fail(db.lastError().databaseText());
        }
    }
    return prepareServerDatabase(db);
}

void Connection::announceIndexBuild(QSqlDatabase& db) const {
    if (!longStepNotice_ || !lacksRecordIndexes(db)) return;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + dialect().quote(schema::kRecordTable)) || !query.next())
        return;
    const qint64 records = query.value(0).toLongLong();
    if (records < kLongIndexBuildFrom) return;
    longStepNotice_(QStringLiteral("%1 براي جستجوي سريع در %2 ركورد يك بار آماده مي شود؛ لطفا چند لحظه صبر كنيد ...")
                        .arg(storeNoun(*this))
                        .arg(records));
}

bool Connection::prepareServerDatabase(QSqlDatabase& db) {
    // What of ours the database holds, whether it holds anything else, and whether this
    // connection may write.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT to_regclass('\"VaskorTemp\"') IS NOT NULL, to_regclass('\"DosSperm\"') IS NOT NULL, "
            "EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('\"DosSperm\"') "
            "        AND attname = '%1' AND NOT attisdropped), "
            "(SELECT count(*) = 2 FROM pg_trigger WHERE tgrelid = to_regclass('\"VaskorTemp\"') AND tgname IN ('%2', '%3')), "
            "(SELECT count(*) FROM pg_index WHERE indrelid = to_regclass('\"VaskorTemp\"') AND NOT indisprimary), "
            "(SELECT count(*) FROM pg_class WHERE relnamespace = to_regnamespace(current_schema()) "
            "        AND relkind IN ('r', 'p', 'v', 'm', 'f')), "
            "NOT pg_is_in_recovery() AND current_setting('transaction_read_only') = 'off', current_schema(), "
            "to_regclass('\"CertificateIssues\"') IS NOT NULL AND to_regclass('\"CertificateKeys\"') IS NOT NULL "
            "        AND to_regclass('\"CertificateOffice\"') IS NOT NULL AND to_regclass('\"%4\"') IS NOT NULL")
                        .arg(QString::fromLatin1(schema::kServerCatalogueOrderColumn),
                             QString::fromLatin1(kRecordsChangedChannel), QString::fromLatin1(history::kServerFunction),
                             QString::fromLatin1(kDailyCopyTable))) ||
        !query.next())
        return fail(query.lastError().text());
    const bool hasRecords = query.value(0).toBool();
    const bool hasCatalogue = query.value(1).toBool();
    const bool hasOrder = query.value(2).toBool();
    const bool hasTrigger = query.value(3).toBool();
    const int indexes = query.value(4).toInt();
    const int relations = query.value(5).toInt();
    const bool writable = query.value(6).toBool() && access_ == StoreAccess::ReadWrite;
    schema_ = query.value(7).toString();
    const bool hasRegister = query.value(8).toBool();  // the certificates' register and the daily copies', from later versions on
    query.finish();

    QString error;
    if (!hasRecords) {
        if (relations > (hasCatalogue ? 1 : 0))
            return fail(QStringLiteral("the database holds other tables and no VaskorTemp"));
        if (!writable) return fail(QStringLiteral("the server is read-only and the database holds no tables"));
        if (!createRecordSchema(db, &error)) return fail(error);
    } else if (!hasCatalogue || !hasOrder || !hasTrigger || !hasRegister || indexes < recordIndexCount()) {
        // Whatever a role that may not change the tables cannot add, the desk goes without.
        if (writable) announceIndexBuild(db);
        createRecordSchema(db, &error);
    }

    if (!query.exec(QStringLiteral("SELECT attname FROM pg_attribute WHERE attrelid = '\"VaskorTemp\"'::regclass "
                                   "AND attnum > 0 AND NOT attisdropped")))
        return fail(query.lastError().text());
    QSet<QString> columns;
    while (query.next()) columns.insert(query.value(0).toString());
    for (const char* name : kRecordColumns) {
        if (!columns.contains(QString::fromUtf8(name)))
            return fail(QStringLiteral("VaskorTemp lacks the column %1").arg(QString::fromUtf8(name)));
    }
    if (!query.exec(QStringLiteral("SELECT has_table_privilege('\"VaskorTemp\"', 'INSERT') "
                                   "AND has_table_privilege('\"VaskorTemp\"', 'UPDATE') "
                                   "AND has_table_privilege('\"VaskorTemp\"', 'DELETE'), "
                                   "EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('\"DosSperm\"') "
                                   "        AND attname = '%1' AND NOT attisdropped)")
                        .arg(QString::fromLatin1(schema::kServerCatalogueOrderColumn))) ||
        !query.next())
        return fail(query.lastError().text());
    readOnly_ = !writable || !query.value(0).toBool();
    // A catalogue made by someone else without our order column is read in its stored order.
    catalogueOrder_ = query.value(1).toBool() ? SqlDialect::of(StoreEngine::Server).catalogueOrder()
                                              : QStringLiteral("ctid");
    query.finish();
    // Every entry this desk's saves leave in the history names it.
    if (!history::identifyDesk(db, &error)) return fail(error);
    return true;
}

bool Connection::isLost() const { return isServer() && database().isValid() && server::isLost(database()); }

bool Connection::reconnect() {
    if (!isServer()) return isOpen();
    QSqlDatabase db = database();
    if (!db.isValid()) return false;
    ++openings_;
    db.close();
    if (!db.open()) {
        technicalError_ = db.lastError().databaseText();
        return false;
    }
    if (watching_) {
        startWatching();
        // Whatever was saved while the link was down was never announced.
        QMetaObject::invokeMethod(this, [this] { emit changedElsewhere(); }, Qt::QueuedConnection);
    }
    return true;
}

void Connection::watchChanges() {
    if (watching_) return;
    watching_ = true;
    startWatching();
}

void Connection::startWatching() {
    if (!isOpen()) return;
    if (!watchTimer_) {
        watchTimer_ = new QTimer(this);
        connect(watchTimer_, &QTimer::timeout, this, [this] {
            if (!isServer()) {
                pollFile();
            } else if (isLost()) {
                // A desk that only looks on gets its link back too; reconnect() announces the
                // changes it may have missed.
                reconnect();
            }
        });
        // Several other desks' saves in a burst make one refresh.
        settleTimer_ = new QTimer(this);
        settleTimer_->setSingleShot(true);
        settleTimer_->setInterval(150);
        connect(settleTimer_, &QTimer::timeout, this, &Connection::changedElsewhere);
    }
    if (isServer()) {
        QSqlDriver* driver = database().driver();
        if (!driver->property("zartavWatched").toBool()) {
            driver->setProperty("zartavWatched", true);
            connect(driver, &QSqlDriver::notification, this,
                    [this](const QString&, QSqlDriver::NotificationSource source, const QVariant& payload) {
                        if (source == QSqlDriver::SelfSource || payload.toString() != schema_) return;
                        if (!settleTimer_->isActive()) settleTimer_->start();
                    });
        }
        driver->subscribeToNotification(QString::fromLatin1(kRecordsChangedChannel));
        // The link is checked; a lost one is tried again after a pause, not on every tick.
        watchTimer_->start(3000);
    } else {
        dataVersion_ = -1;
        pollFile();
        watchTimer_->start(500);
    }
}

void Connection::pollFile() {
    // The file's data version moves whenever another connection commits a change to it; the
    // program's own saves leave it where it was.
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("PRAGMA data_version")) || !query.next()) return;
    const qint64 version = query.value(0).toLongLong();
    const bool changed = dataVersion_ >= 0 && version != dataVersion_;
    dataVersion_ = version;
    if (changed) emit changedElsewhere();
}

// ---------------------------------------------------------------------------------------------
// RecordTable

RecordTable::RecordTable(Connection& connection, QObject* parent)
    : QObject(parent), connection_(connection) {
    connect(&connection_, &Connection::changedElsewhere, this, &RecordTable::refresh);
}

RecordTable::~RecordTable() = default;

int RecordTable::columnIndex(const QString& column) {
    for (int i = 0; i < int(kRecordColumns.size()); ++i) {
        if (column.compare(QString::fromUtf8(kRecordColumns[i]), Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

QString RecordTable::qualified(int column) const { return connection_.dialect().quote(kRecordColumns[column]); }

bool RecordTable::failWith(const QString& text, SaveFailure failure) {
    errorText_ = text;
    saveFailure_ = failure;
    return false;
}

bool RecordTable::readFailure(const QString& technical) const {
    if (readFailing_) return false;
    readFailing_ = true;
    const QString text =
        withEngineWords(QStringLiteral("اطلاعات از %1 زير خوانده نشد؛ فهرست همان است كه پيش از اين بود:\n%2")
                            .arg(storeNoun(connection_), connection_.isServer()
                                                             ? isolated(connection_.displayName())
                                                             : isolatedPath(connection_.address().filePath())),
                        technical);
    // Told after the paint or command that met the failure, never inside it.
    auto* self = const_cast<RecordTable*>(this);
    QMetaObject::invokeMethod(self, [self, text] { emit self->readFailed(text); }, Qt::QueuedConnection);
    return false;
}

void RecordTable::readSucceeded() const { readFailing_ = false; }

bool RecordTable::open() {
    if (state_ != RecordState::Browse) return failWith(QStringLiteral("a record is being inserted or edited"));
    if (!connection_.isOpen()) return failWith(QStringLiteral("the database is not open"));
    {
        QSqlQuery query(connection_.database());
        if (!query.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(recordTable(connection_.dialect()))))
            return failWith(query.lastError().text());
    }
    open_ = true;
    readFailing_ = false;
    if (!reload(filter_, 0, 0)) {
        open_ = false;
        return failWith(errorText_);
    }
    connection_.watchChanges();
    return true;
}

bool RecordTable::close() {
    if (state_ != RecordState::Browse) return failWith(QStringLiteral("a record is being inserted or edited"));
    if (!open_) return true;
    open_ = false;
    count_ = 0;
    pages_.clear();
    pageOrder_.clear();
    pageLastId_.clear();
    emit rowsReset();
    setCurrent(-1, nullptr);
    return true;
}

QString RecordTable::whereClause(const Filter& filter, const QString& extra) const {
    QStringList conditions;
    if (filter.on && filter.column >= 0) {
        // A herd code is compared folded (setFilter), through the folded herd index.
        const QString compared = filter.column == schema::kHerdColumnIndex
                                     ? find::foldedColumn(connection_.dialect(), kRecordColumns[filter.column])
                                     : qualified(filter.column);
        conditions << compared + QStringLiteral(" = :filter");
    }
    if (!filter.folded.isEmpty()) conditions << find::condition(connection_.dialect(), filter.plan);
    if (!extra.isEmpty()) conditions << extra;
    if (conditions.isEmpty()) return {};
    return QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

void RecordTable::bindFilter(QSqlQuery& query, const Filter& filter) const {
    if (filter.on && filter.column >= 0) query.bindValue(QStringLiteral(":filter"), filter.value);
    if (!filter.folded.isEmpty()) find::bind(query, connection_.dialect(), filter.plan, filter.folded);
}

RecordTable::Filter RecordTable::counting(Filter filter) const {
    // The folded indexes count quickest, unless the rows are narrowed to a herd's own index on
    // the file: its rows are then tested one by one, which only the scan's test does cheaply.
    filter.plan = !connection_.isServer() && filter.on && filter.column >= 0 ? find::Plan::Scan : find::Plan::Indexed;
    return filter;
}

int RecordTable::rowCount() const { return open_ ? count_ : 0; }

std::optional<int> RecordTable::countRows(const Filter& filter, int limit) const {
    return withLink(connection_, [&]() -> std::optional<int> {
        QSqlQuery query(connection_.database());
        const SqlDialect& d = connection_.dialect();
        const QString rows = recordTable(d) + whereClause(filter);
        QString sql = limit > 0 ? QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM %1 LIMIT %2) AS shown").arg(rows).arg(limit)
                                : QStringLiteral("SELECT COUNT(*) FROM ") + rows;
        auto run = [&](const QString& statement) -> std::optional<int> {
            query.prepare(statement);
            bindFilter(query, filter);
            if (!query.exec() || !query.next()) {
                lastReadError_ = query.lastError().text();
                return std::nullopt;
            }
            return query.value(0).toInt();
        };
        if (limit <= 0 || !indexedFind(filter)) return run(sql);
        // The server would read each row found from the table to count them; their "ID"s in
        // the folded indexes count them instead, each index stopping at `limit`. One index that
        // reaches `limit` alone settles it without merging the five.
        QStringList each;
        for (int i = 0; i < int(find::kColumns.size()); ++i)
            each << QStringLiteral("(SELECT COUNT(*) FROM %1 AS found)").arg(foundIdsOf(filter, limit, i));
        const std::optional<int> most = run(QStringLiteral("SELECT GREATEST(%1)").arg(each.join(QStringLiteral(", "))));
        if (!most || *most >= limit) return most;
        return run(QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM (%1) AS found LIMIT %2) AS shown")
                       .arg(foundIds(filter, limit))
                       .arg(limit));
    });
}

bool RecordTable::indexedFind(const Filter& filter) const {
    return connection_.isServer() && !filter.folded.isEmpty() && filter.plan == find::Plan::Indexed;
}

QString RecordTable::foundIdsOf(const Filter& filter, int limit, int column) const {
    const SqlDialect& d = connection_.dialect();
    Filter others = filter;
    others.folded.clear();
    const QString branch = QStringLiteral("SELECT %1 FROM %2%3")
                               .arg(qualified(schema::kIdColumnIndex), recordTable(d),
                                    whereClause(others, find::term(d, find::Plan::Indexed, column)));
    // In the index's order, or the server may read the table until it has `limit` rows.
    return limit > 0 ? QStringLiteral("(%1 ORDER BY %2 LIMIT %3)")
                           .arg(branch, find::foldedColumn(d, find::kColumns[column]))
                           .arg(limit)
                     : branch;
}

QString RecordTable::foundIds(const Filter& filter, int limit) const {
    QStringList branches;
    for (int i = 0; i < int(find::kColumns.size()); ++i) branches << foundIdsOf(filter, limit, i);
    return branches.join(limit > 0 ? QStringLiteral(" UNION ") : QStringLiteral(" UNION ALL "));
}

std::optional<RecordTable::Page> RecordTable::readPage(const Filter& filter, qint64 afterId, int skip) const {
    const SqlDialect& d = connection_.dialect();
    QStringList columns{qualified(schema::kIdColumnIndex)};
    for (int i = 0; i < schema::kListedColumnCount; ++i) columns << qualified(i);
    return withLink(connection_, [&]() -> std::optional<Page> {
        QSqlQuery query(connection_.database());
        query.setForwardOnly(true);
        const QString idColumn = qualified(schema::kIdColumnIndex);
        const QString after = afterId > 0 ? idColumn + QStringLiteral(" > :after") : QString();
        const QString page = QStringLiteral(" ORDER BY %1 LIMIT %2 OFFSET %3").arg(idColumn).arg(kPageSize).arg(skip);
        // On the server the page's "ID"s are taken from the folded indexes first, so only the
        // rows shown are read from the table, not every row found. Each index finds a record at
        // most once, so five entries for each row up to the page's end hold the page's "ID"s.
        const QString shown =
            indexedFind(filter)
                ? QStringLiteral(" WHERE %1 IN (SELECT DISTINCT %1 FROM (SELECT %1 FROM (%2) AS found%3 ORDER BY %1 "
                                 "LIMIT %4) AS firsts%5) ORDER BY %1")
                      .arg(idColumn, foundIds(filter), after.isEmpty() ? QString() : QStringLiteral(" WHERE ") + after)
                      .arg((skip + kPageSize) * int(find::kColumns.size()))
                      .arg(page)
                : whereClause(filter, after) + page;
        query.prepare(QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") +
                      recordTable(d) + shown);
        bindFilter(query, filter);
        if (afterId > 0) query.bindValue(QStringLiteral(":after"), afterId);
        if (!query.exec()) {
            lastReadError_ = query.lastError().text();
            return std::nullopt;
        }
        Page rows;
        rows.reserve(kPageSize);
        while (query.next()) {
            Row row;
            row.id = query.value(0).toLongLong();
            row.values.reserve(schema::kListedColumnCount);
            for (int i = 0; i < schema::kListedColumnCount; ++i) row.values << textOf(query.value(i + 1));
            rows << std::move(row);
        }
        if (query.lastError().isValid()) {
            lastReadError_ = query.lastError().text();
            return std::nullopt;
        }
        return rows;
    });
}

std::optional<qint64> RecordTable::idBefore(const Filter& filter, qint64 id, int skip) const {
    const QString idColumn = qualified(schema::kIdColumnIndex);
    return withLink(connection_, [&]() -> std::optional<qint64> {
        QSqlQuery query(connection_.database());
        query.prepare(QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %1 DESC LIMIT 1 OFFSET %4")
                          .arg(idColumn, recordTable(connection_.dialect()),
                               whereClause(filter, idColumn + QStringLiteral(" < :id")))
                          .arg(skip));
        bindFilter(query, filter);
        query.bindValue(QStringLiteral(":id"), id);
        if (!query.exec() || !query.next()) {
            lastReadError_ = query.lastError().text();
            return std::nullopt;
        }
        return query.value(0).toLongLong();
    });
}

std::optional<int> RecordTable::positionOf(const Filter& filter, qint64 id) const {
    if (id <= 0) return -1;
    const std::optional<std::pair<int, int>> counted = countAndPosition(filter, id, false);
    if (!counted) return std::nullopt;
    return counted->second;
}

std::optional<std::pair<int, int>> RecordTable::countAndPosition(const Filter& filter, qint64 id, bool withCount) const {
    const QString table = recordTable(connection_.dialect());
    const QString idColumn = qualified(schema::kIdColumnIndex);
    return withLink(connection_, [&]() -> std::optional<std::pair<int, int>> {
        QSqlQuery query(connection_.database());
        // One statement: the rows under the filter, whether the record is one of them, and how
        // many come before it. Those are counted from the nearer end of the "ID" range: a record
        // just saved, or one near the start, is a short count at a million rows, where counting
        // from the start would walk the whole table.
        const QString all = QStringLiteral("(SELECT COUNT(*) FROM %1%2)").arg(table, whereClause(filter));
        const QString middle = QStringLiteral("((SELECT MIN(%1) FROM %2%3) + (SELECT MAX(%1) FROM %2%3)) / 2")
                                   .arg(idColumn, table, whereClause(filter));
        query.prepare(QStringLiteral("SELECT %1, (SELECT COUNT(*) FROM %2%3), CASE WHEN :id > %4 THEN %5 - "
                                     "(SELECT COUNT(*) FROM %2%6) ELSE (SELECT COUNT(*) FROM %2%7) END")
                          .arg(withCount ? all : QStringLiteral("0"), table,
                               whereClause(filter, idColumn + QStringLiteral(" = :id")), middle, all,
                               whereClause(filter, idColumn + QStringLiteral(" >= :id")),
                               whereClause(filter, idColumn + QStringLiteral(" < :id"))));
        bindFilter(query, filter);
        query.bindValue(QStringLiteral(":id"), id);
        if (!query.exec() || !query.next()) {
            lastReadError_ = query.lastError().text();
            return std::nullopt;
        }
        return std::pair(query.value(0).toInt(), query.value(1).toInt() > 0 ? query.value(2).toInt() : -1);
    });
}

const RecordTable::Row* RecordTable::rowAt(int row) const {
    if (!open_ || row < 0 || row >= count_) return nullptr;
    const int page = row / kPageSize;
    auto it = pages_.find(page);
    if (it == pages_.end()) {
        // Seek from the last "ID" of the nearest page read before, so scrolling down page by
        // page is a key lookup, not a walk from the first row.
        int anchorPage = -1;
        for (int p = page - 1; p >= 0 && p >= page - 64; --p) {
            if (pageLastId_.contains(p)) {
                anchorPage = p;
                break;
            }
        }
        std::optional<Page> rows = readPage(filter_, anchorPage >= 0 ? pageLastId_.value(anchorPage) : 0,
                                            (page - anchorPage - 1) * kPageSize);
        if (!rows) {
            readFailure(lastReadError_);
            return nullptr;
        }
        readSucceeded();
        const int first = page * kPageSize;
        const bool shifted = rows->size() < std::min(kPageSize, count_ - first) ||
                             (currentRow_ >= first && currentRow_ < first + rows->size() &&
                              rows->at(currentRow_ - first).id != currentId_);
        if (!rows->isEmpty()) pageLastId_.insert(page, rows->last().id);
        it = pages_.insert(page, std::move(*rows));
        pageOrder_.removeAll(page);
        pageOrder_.append(page);
        while (pageOrder_.size() > kMaxCachedPages) pages_.remove(pageOrder_.takeFirst());
        it = pages_.find(page);
        // Rows were added or deleted elsewhere before this page: read them again soon, keeping
        // the current record (the list may show a shifted page until then).
        if (shifted) {
            auto* self = const_cast<RecordTable*>(this);
            QMetaObject::invokeMethod(self, &RecordTable::refresh, Qt::QueuedConnection);
        }
    } else if (pageOrder_.last() != page) {
        pageOrder_.removeAll(page);
        pageOrder_.append(page);
    }
    const int offset = row % kPageSize;
    return offset < it->size() ? &(*it)[offset] : nullptr;
}

bool RecordTable::reload(const Filter& wanted, qint64 keepId, int fallbackRow) {
    // Everything the new view needs is read before anything shown is dropped: a store that
    // cannot be read leaves the rows, the filter and the current record as they were. The reads
    // share one snapshot, so rows other desks commit meanwhile cannot shift the current record's
    // position between counting and reading.
    QSqlDatabase db = connection_.database();
    const bool snapshot = !connection_.isLost() &&
                          (connection_.isServer()
                               ? QSqlQuery(db).exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"))
                               : db.transaction());
    const auto endSnapshot = qScopeGuard([&] {
        if (!snapshot) return;
        if (connection_.isServer())
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        else
            db.rollback();
    });
    // The finds' reads are short: workers the server starts for them cost more than they save.
    if (snapshot && connection_.isServer() && !wanted.folded.isEmpty())
        QSqlQuery(db).exec(QStringLiteral("SET LOCAL max_parallel_workers_per_gather = 0"));
    auto unread = [this] {
        errorText_ = lastReadError_;
        return false;
    };
    std::optional<int> count;
    int row = -1;
    // Rows found are counted only as far as a plan needs: a first screen never waits for a
    // count of half the table. With that many the rows are read by the scan.
    Filter filter = counting(wanted);
    int limit = filter.folded.isEmpty() ? 0 : find::scanFrom(connection_.dialect());
    if (limit > 0) {
        count = countRows(filter, limit);
        if (!count) return unread();
        if (*count >= limit) filter.plan = find::Plan::Scan;
    }
    if (keepId > 0) {
        const std::optional<std::pair<int, int>> counted = countAndPosition(filter, keepId, limit == 0);
        if (!counted) return unread();
        row = counted->second;
        if (limit == 0) count = counted->first;
        // A record kept past the rows counted: counted as far as its page and the next.
        if (limit > 0 && row >= *count) {
            limit = (row / kPageSize + 2) * kPageSize;
            count = countRows(counting(filter), limit);
            if (!count) return unread();
        }
    } else if (limit == 0) {
        count = countRows(filter);
        if (!count) return unread();
    }
    const bool kept = row >= 0;
    if (row < 0 && *count > 0) row = std::clamp(fallbackRow, 0, *count - 1);
    std::optional<Page> firstPage;
    if (row >= 0) {
        // The kept record's page is found from the "ID"s just before the record, not counted off
        // from the first row, which for a record saved last at a million rows reads them all.
        const int skip = (row / kPageSize) * kPageSize;
        const std::optional<qint64> after = kept && skip > 0 ? idBefore(filter, keepId, row - skip) : 0;
        firstPage = !after ? std::nullopt : *after > 0 ? readPage(filter, *after, 0) : readPage(filter, 0, skip);
        if (!firstPage) return unread();
    }
    readSucceeded();
    filter_ = filter;
    count_ = *count;
    countComplete_ = limit == 0 || *count < limit;
    pages_.clear();
    pageOrder_.clear();
    pageLastId_.clear();
    const Row* current = nullptr;
    if (firstPage) {
        const int page = row / kPageSize;
        if (!firstPage->isEmpty()) pageLastId_.insert(page, firstPage->last().id);
        pages_.insert(page, std::move(*firstPage));
        pageOrder_.append(page);
        const Page& rows = pages_[page];
        if (row % kPageSize < rows.size()) current = &rows[row % kPageSize];
        // Should the link have been made again between the reads, the record is found by "ID".
        for (int i = 0; keepId > 0 && current && current->id != keepId && i < rows.size(); ++i) {
            if (rows[i].id == keepId) {
                row = page * kPageSize + i;
                current = &rows[i];
            }
        }
    }
    emit rowsReset();
    setCurrent(current ? row : -1, current);
    return true;
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
    if (!open_) return -1;
    return positionOf(filter_, id).value_or(-1);
}

void RecordTable::setCurrent(int row, const Row* values) {
    currentRow_ = values ? row : -1;
    current_ = values ? *values : Row{};
    currentId_ = current_.id;
    emit currentChanged(currentRow_);
}

bool RecordTable::setCurrentRow(int row) {
    if (state_ != RecordState::Browse || row < 0 || row >= rowCount()) return false;
    if (row == currentRow_) return true;
    const Row* values = rowAt(row);
    if (!values) return false;
    setCurrent(row, values);
    return true;
}

bool RecordTable::first() { return setCurrentRow(0); }

bool RecordTable::locate(const QString& column, const QVariant& value) {
    const int index = columnIndex(column);
    if (!open_ || index < 0 || isPhotoColumn(index) || state_ != RecordState::Browse) return false;
    const std::optional<qint64> found = withLink(connection_, [&]() -> std::optional<qint64> {
        QSqlQuery query(connection_.database());
        query.prepare(QStringLiteral("SELECT %1 FROM %2").arg(qualified(schema::kIdColumnIndex), recordTable(connection_.dialect())) +
                      whereClause(filter_, qualified(index) + QStringLiteral(" = :value")) +
                      QStringLiteral(" ORDER BY %1 LIMIT 1").arg(qualified(schema::kIdColumnIndex)));
        bindFilter(query, filter_);
        query.bindValue(QStringLiteral(":value"), index == schema::kIdColumnIndex ? QVariant(value.toLongLong())
                                                                                   : QVariant(value.toString()));
        if (!query.exec()) {
            lastReadError_ = query.lastError().text();
            return std::nullopt;
        }
        return query.next() ? query.value(0).toLongLong() : 0;
    });
    if (!found) return failWith(lastReadError_);
    if (*found <= 0) return false;
    const int row = rowOfId(*found);
    const Row* values = rowAt(row);
    if (!values || values->id != *found) return false;
    setCurrent(row, values);
    return true;
}

qint64 RecordTable::id() const {
    if (state_ == RecordState::Insert) return 0;
    return currentId_;
}

QString RecordTable::value(const QString& column) const {
    const int index = columnIndex(column);
    if (index < 0 || isPhotoColumn(index)) return {};
    if (state_ != RecordState::Browse) {
        if (index == schema::kIdColumnIndex) return state_ == RecordState::Insert ? QString() : QString::number(currentId_);
        return textOf(buffer_.value(index));
    }
    if (currentId_ <= 0) return {};
    if (index == schema::kIdColumnIndex) return QString::number(currentId_);
    return current_.values.value(index);
}

QByteArray RecordTable::photo(const QString& column) const {
    const int index = columnIndex(column);
    if (!isPhotoColumn(index)) return {};
    if (state_ != RecordState::Browse) return buffer_.value(index).toByteArray();
    if (currentId_ <= 0) return {};
    return withLink(connection_, [&]() -> std::optional<QByteArray> {
               QSqlQuery query(connection_.database());
               query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = :id")
                                 .arg(qualified(index), recordTable(connection_.dialect()), qualified(schema::kIdColumnIndex)));
               query.bindValue(QStringLiteral(":id"), currentId_);
               if (!query.exec()) return std::nullopt;
               return query.next() ? query.value(0).toByteArray() : QByteArray();
           })
        .value_or(QByteArray());
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
    original_.clear();
    version_.clear();
    state_ = RecordState::Insert;
    emit stateChanged(state_);
    return true;
}

bool RecordTable::readRecord(qint64 id) {
    const SqlDialect& d = connection_.dialect();
    QStringList columns;
    for (int i = 0; i < int(kRecordColumns.size()); ++i) columns << qualified(i);
    // The server keeps a version of every row: the transaction that wrote it last.
    if (d.isServer()) columns << QStringLiteral("xmin::text");
    bool found = false;
    const bool read = withLink(connection_, [&] {
        QSqlQuery query(connection_.database());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = :id")
                          .arg(columns.join(QStringLiteral(", ")), recordTable(d), qualified(schema::kIdColumnIndex)));
        query.bindValue(QStringLiteral(":id"), id);
        if (!query.exec()) {
            lastReadError_ = query.lastError().text();
            return false;
        }
        found = query.next();
        if (!found) return true;
        original_ = QVector<QVariant>(int(kRecordColumns.size()));
        for (int i = 0; i < int(kRecordColumns.size()); ++i) original_[i] = query.value(i);
        version_ = d.isServer() ? query.value(int(kRecordColumns.size())).toString() : QString();
        return true;
    });
    if (!read)
        return failWith(lastReadError_, connection_.isLost() ? SaveFailure::Unreachable : SaveFailure::Refused);
    if (!found) {
        // Deleted elsewhere: the list learns it too.
        QMetaObject::invokeMethod(this, &RecordTable::refresh, Qt::QueuedConnection);
        return failWith(QStringLiteral("the record was deleted meanwhile"), SaveFailure::Deleted);
    }
    buffer_ = original_;
    for (int i = 0; i < schema::kListedColumnCount; ++i) {
        // The edit buffer holds text as the boxes do; the comparison keeps the stored values.
        if (!buffer_[i].isNull()) buffer_[i] = textOf(buffer_[i]);
    }
    modified_ = QVector<bool>(int(kRecordColumns.size()), false);
    return true;
}

bool RecordTable::edit() {
    if (!open_ || state_ != RecordState::Browse || currentId_ <= 0) return false;
    if (!readRecord(currentId_)) return false;
    state_ = RecordState::Edit;
    emit stateChanged(state_);
    return true;
}

bool RecordTable::reloadEdited() {
    if (state_ != RecordState::Edit) return false;
    return readRecord(currentId_);
}

std::optional<bool> RecordTable::isStored(qint64 id) const {
    QSqlQuery query(connection_.database());
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?")
                      .arg(recordTable(connection_.dialect()), qualified(schema::kIdColumnIndex)));
    query.addBindValue(id);
    if (!query.exec() || !query.next()) {
        lastReadError_ = query.lastError().text();
        return std::nullopt;
    }
    return query.value(0).toLongLong() > 0;
}

void RecordTable::endEdit() {
    state_ = RecordState::Browse;
    unconfirmedId_ = 0;
    unconfirmedValues_.clear();
    reason_.clear();
    buffer_.clear();
    modified_.clear();
    original_.clear();
    version_.clear();
}

void RecordTable::cancel() {
    if (state_ == RecordState::Browse) return;
    endEdit();
    emit stateChanged(state_);
    if (refreshPending_) refresh();
}

bool RecordTable::runPost(SaveMode mode, bool* commitSent, qint64* newId) {
    QSqlDatabase db = connection_.database();
    const SqlDialect& d = connection_.dialect();
    const QString table = recordTable(d);
    const QString idColumn = qualified(schema::kIdColumnIndex);
    const bool inserting = state_ == RecordState::Insert;
    QList<int> columns;
    for (int i = 0; i < int(kRecordColumns.size()); ++i) {
        if (i != schema::kIdColumnIndex && (modified_[i] || (inserting && !buffer_[i].isNull()))) columns << i;
    }
    auto typed = [](int column, const QVariant& v) {
        if (!v.isNull()) return v;
        return QVariant(QMetaType(isPhotoColumn(column) ? QMetaType::QByteArray : QMetaType::QString));
    };
    auto rollback = [&](const QString& reason, SaveFailure failure = SaveFailure::Refused) {
        db.rollback();
        return failWith(reason, failure);
    };

    if (!db.transaction()) return failWith(db.lastError().text());
    history::WriteScope scope(db, reason_);
    QString why;
    if (!scope.begin(&why)) return rollback(why);
    QSqlQuery query(db);
    if (inserting) {
        QStringList names, marks;
        for (int i : columns) {
            names << qualified(i);
            marks << QStringLiteral("?");
        }
        query.prepare((columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                         : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                               .arg(table, names.join(", "), marks.join(", "))) +
                      QStringLiteral(" RETURNING ") + idColumn);
        for (int i : columns) query.addBindValue(typed(i, buffer_[i]));
    } else {
        // Only when the record is still as this edit found it, unless the user chose to keep
        // their version. The server keeps a row version; the file is compared column by
        // column, photos included, which costs less than the save's own write of the row.
        QString condition = idColumn + QStringLiteral(" = ?");
        QVariantList conditionValues{currentId_};
        // With nothing typed there is nothing to lose: the record need only still be there.
        if (mode == SaveMode::CheckVersion && !columns.isEmpty()) {
            if (d.isServer()) {
                condition += QStringLiteral(" AND xmin::text = ?");
                conditionValues << version_;
            } else {
                for (int i = 0; i < int(kRecordColumns.size()); ++i) {
                    if (i == schema::kIdColumnIndex) continue;
                    condition += QStringLiteral(" AND %1 IS ?").arg(qualified(i));
                    conditionValues << typed(i, original_.value(i));
                }
            }
        }
        if (columns.isEmpty()) {
            query.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2").arg(table, condition));
        } else {
            QStringList sets;
            for (int i : columns) sets << qualified(i) + QStringLiteral(" = ?");
            query.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(table, sets.join(", "), condition));
            for (int i : columns) query.addBindValue(typed(i, buffer_[i]));
        }
        for (const QVariant& v : conditionValues) query.addBindValue(v);
    }
    if (!query.exec()) return rollback(query.lastError().text());
    if (inserting) {
        if (!query.next()) return rollback(QStringLiteral("the store gave the new record no number"));
        *newId = query.value(0).toLongLong();
    } else {
        const qint64 matched = columns.isEmpty() ? (query.next() ? query.value(0).toLongLong() : 0)
                                                 : query.numRowsAffected();
        if (matched != 1) {
            query.finish();
            return isStored(currentId_).value_or(false) ? rollback(QStringLiteral("the record was changed elsewhere meanwhile"),
                                         SaveFailure::ChangedElsewhere)
                              : rollback(QStringLiteral("the record was deleted meanwhile"), SaveFailure::Deleted);
        }
        *newId = currentId_;
    }
    query.finish();
    if (!scope.finish(&why)) return rollback(why);
    *commitSent = true;
    if (!db.commit()) return rollback(db.lastError().text());
    return true;
}

bool RecordTable::post(SaveMode mode) {
    saveFailure_ = SaveFailure::None;
    if (state_ == RecordState::Browse) return failWith(QStringLiteral("nothing to save"));
    for (int i = 0; i < schema::kListedColumnCount; ++i) {
        if (modified_[i] && textOf(buffer_[i]).size() > schema::kTextColumnSize) {
            return failWith(QStringLiteral("the value of %1 is longer than %2 characters")
                                .arg(QString::fromUtf8(kRecordColumns[i]))
                                .arg(schema::kTextColumnSize));
        }
    }
    // A printed certificate's record is corrected on the record, with the reason why.
    if (state_ == RecordState::Edit && reason_.trimmed().isEmpty() &&
        history::needsReason(textOf(original_.value(schema::kPrintDateColumnIndex))))
        return failWith(history::reasonRequiredText());
    // A link lost earlier (the last save found the server out of reach) is made again first.
    if (connection_.isLost() && !connection_.reconnect())
        return failWith(connection_.technicalError(), SaveFailure::Unreachable);
    if (!connection_.isOpen()) return failWith(QStringLiteral("the database is not open"));
    // OK pressed again after a commit whose answer was lost: a new record the store holds
    // already is not added a second time; what was typed since is saved onto it.
    struct Insertion {
        qint64 currentId;
        QVector<bool> modified;
    };
    std::optional<Insertion> continued;
    if (state_ == RecordState::Insert && unconfirmedId_ > 0) {
        const std::optional<bool> stored = isStored(unconfirmedId_);
        if (!stored) return failWith(lastReadError_, connection_.isLost() ? SaveFailure::Unreachable : SaveFailure::Refused);
        if (*stored) {
            continued = Insertion{currentId_, modified_};
            state_ = RecordState::Edit;
            currentId_ = unconfirmedId_;
            original_ = unconfirmedValues_;
            for (int i = 0; i < modified_.size(); ++i) modified_[i] = buffer_[i] != original_[i];
            // Written by this desk a moment ago, it has no version of another's to check.
            mode = SaveMode::Overwrite;
        } else {
            unconfirmedId_ = 0;
            unconfirmedValues_.clear();
        }
    }

    const bool inserting = state_ == RecordState::Insert;
    bool commitSent = false;
    qint64 newId = 0;
    bool saved = runPost(mode, &commitSent, &newId);
    // A link lost before the commit was sent wrote nothing: the save is tried once more on a new
    // one. After the commit was sent the outcome is unknown, so it is reported, never repeated.
    if (!saved && saveFailure_ == SaveFailure::Refused && !commitSent && connection_.isLost() &&
        connection_.reconnect())
        saved = runPost(mode, &commitSent, &newId);
    if (!saved) {
        // Still the new record the user is typing; the next OK looks for it again.
        if (continued) {
            state_ = RecordState::Insert;
            currentId_ = continued->currentId;
            modified_ = continued->modified;
            original_.clear();
        } else if (inserting && commitSent && newId > 0 && connection_.isLost()) {
            unconfirmedId_ = newId;
            unconfirmedValues_ = buffer_;
        }
        if (saveFailure_ == SaveFailure::Refused && connection_.isLost()) saveFailure_ = SaveFailure::Unreachable;
        if (saveFailure_ == SaveFailure::ChangedElsewhere) refreshPending_ = true;
        return false;
    }
    const int oldRow = currentRow_;
    emit recordSaved(inserting ? QVector<QVariant>() : original_, buffer_);
    endEdit();
    errorText_.clear();
    refreshPending_ = false;
    // The save is done; should the rows not be readable now, what was shown stays and the user
    // is told.
    if (!reload(filter_, newId, oldRow)) readFailure(errorText_);
    emit stateChanged(state_);
    return true;
}

bool RecordTable::remove() {
    if (!open_ || state_ != RecordState::Browse || currentId_ <= 0) return false;
    const QString table = recordTable(connection_.dialect());
    const bool removed = withLink(connection_, [&] {
        QSqlDatabase db = connection_.database();
        if (!db.transaction()) return failWith(db.lastError().text());
        auto undo = [&](const QString& reason) {
            db.rollback();
            return failWith(reason);
        };
        history::WriteScope scope(db);
        QString why;
        if (!scope.begin(&why)) return undo(why);
        QSqlQuery query(db);
        query.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table, qualified(schema::kIdColumnIndex)));
        query.addBindValue(currentId_);
        if (!query.exec()) return undo(query.lastError().text());
        query.finish();
        if (!scope.finish(&why)) return undo(why);
        if (!db.commit()) {
            const QString reason = db.lastError().text();
            db.rollback();
            return failWith(reason);
        }
        return true;
    });
    if (!removed) return false;
    emit recordRemoved();
    // The next record takes the deleted one's place.
    if (!reload(filter_, 0, currentRow_)) readFailure(errorText_);
    return true;
}

bool RecordTable::setFilter(const QString& column, const QVariant& value) {
    if (state_ != RecordState::Browse) return failWith(QStringLiteral("a record is being inserted or edited"));
    const int index = columnIndex(column);
    if (index < 0 || isPhotoColumn(index)) return failWith(QStringLiteral("unknown column %1").arg(column));
    Filter filter = filter_;
    filter.column = index;
    // Compared as stored: the text columns hold text, so a number matches its digits. A herd
    // code is compared folded, as the herd tabs show it: one herd whatever digits it was typed in.
    filter.value = index == schema::kIdColumnIndex     ? QVariant(value.toLongLong())
                   : index == schema::kHerdColumnIndex ? QVariant(find::fold(value.toString()))
                                                       : QVariant(value.toString());
    if (!filter.on || !open_) {
        filter_ = filter;
        return true;
    }
    return reload(filter, 0, 0) || readFailure(errorText_);
}

bool RecordTable::clearFilter() {
    if (state_ != RecordState::Browse) return failWith(QStringLiteral("a record is being inserted or edited"));
    Filter cleared;
    cleared.findText = filter_.findText;
    cleared.folded = filter_.folded;
    if (filter_.on && open_ && !reload(cleared, 0, 0)) return readFailure(errorText_);
    filter_ = cleared;
    return true;
}

bool RecordTable::setFind(const QString& text) {
    if (state_ != RecordState::Browse) return failWith(QStringLiteral("a record is being inserted or edited"));
    Filter filter = filter_;
    filter.findText = text;
    filter.folded = find::fold(text);
    if (!open_) {
        filter_ = filter;
        return true;
    }
    return reload(filter, 0, 0) || readFailure(errorText_);
}

void RecordTable::readMoreRows() {
    if (!hasMoreRows()) return;
    const int limit = count_ * 2;
    const std::optional<int> count = countRows(counting(filter_), limit);
    if (!count) {
        readFailure(lastReadError_);
        return;
    }
    readSucceeded();
    countComplete_ = *count < limit;
    if (*count <= count_) return;
    emit rowsAboutToBeAppended(count_, *count - 1);
    count_ = *count;
    emit rowsAppended();
}

bool RecordTable::forEachShown(const QList<int>& columns, const RowVisit& visit, QString* error) const {
    QStringList names{qualified(schema::kIdColumnIndex)};
    for (int column : columns) names << qualified(column);
    QSqlQuery query(connection_.database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4")
                      .arg(names.join(QStringLiteral(", ")), recordTable(connection_.dialect()), whereClause(filter_),
                           qualified(schema::kIdColumnIndex)));
    bindFilter(query, filter_);
    if (!query.exec()) {
        if (error) *error = query.lastError().text();
        return false;
    }
    QVector<QVariant> values(columns.size());
    while (query.next()) {
        for (int i = 0; i < columns.size(); ++i) values[i] = query.value(i + 1);
        if (!visit(query.value(0).toLongLong(), values)) return true;
    }
    if (query.lastError().isValid()) {
        if (error) *error = query.lastError().text();
        return false;
    }
    return true;
}

std::optional<qint64> RecordTable::shownCount(QString* error) const {
    const std::optional<int> count = countRows(counting(filter_));
    if (!count && error) *error = lastReadError_;
    return count;
}

QString RecordTable::filterColumn() const {
    return filter_.column >= 0 ? QString::fromUtf8(kRecordColumns[filter_.column]) : QString();
}

bool RecordTable::setFiltered(bool on) {
    if (state_ != RecordState::Browse) return failWith(QStringLiteral("a record is being inserted or edited"));
    Filter filter = filter_;
    filter.on = on;
    if (!open_) {
        filter_ = filter;
        return true;
    }
    return reload(filter, 0, 0) || readFailure(errorText_);
}

void RecordTable::refresh() {
    if (!open_) return;
    if (state_ != RecordState::Browse) {
        refreshPending_ = true;
        return;
    }
    refreshPending_ = false;
    emit aboutToRefresh();
    if (!reload(filter_, currentId_, currentRow_)) readFailure(errorText_);
    emit refreshed();
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
    const SqlDialect& d = connection_.dialect();
    QStringList names;
    for (const char* name : kCatalogueColumns) names << d.quote(name);
    const bool read = withLink(connection_, [&] {
        // Read at the start, before the window is up: a damaged file cannot hold it there.
        const integrity::ReadBudget budget(connection_.database());
        QSqlQuery query(connection_.database());
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                            .arg(names.join(", "), d.quote(schema::kCatalogueTable), connection_.catalogueOrder()))) {
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
        errorText_ = query.lastError().isValid() ? query.lastError().text() : QString();
        if (errorText_.isEmpty()) return true;
        rows_.clear();
        return false;
    });
    loaded_ = read;
    return read;
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

bool CatalogueTable::reload() {
    if (!open_) return false;
    const QVector<QStringList> before = rows_;
    const QStringList shown = currentRow_ >= 0 ? rows_.value(currentRow_) : QStringList();
    loaded_ = false;
    if (!ensureLoaded()) {
        rows_ = before;  // what was shown stays; errorText() says why
        loaded_ = true;
        return false;
    }
    if (rows_ == before) return true;
    // The bull that was current stays current when it is still there (as it was, or by its
    // foreign registration number), else the row at its place.
    int row = shown.isEmpty() ? 0 : int(rows_.indexOf(shown));
    const int key = columnIndex(QStringLiteral("RegNo_SPF"));
    for (int r = 0; row < 0 && r < rows_.size(); ++r)
        if (!shown.value(key).isEmpty() && rows_[r].value(key) == shown.value(key)) row = r;
    if (row < 0) row = std::min(currentRow_, int(rows_.size()) - 1);
    currentRow_ = rows_.isEmpty() ? -1 : std::max(row, 0);
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
    // Only the rows that lose and gain the mark: the header visits every row of the range given,
    // a million of them on each move were all rows named.
    connect(&table_, &RecordTable::currentChanged, this, [this, markedRow = -1](int row) mutable {
        for (const int marked : {markedRow, row})
            if (marked >= 0 && marked < rowCount()) emit headerDataChanged(Qt::Vertical, marked, marked);
        markedRow = row;
    });
    connect(&table_, &RecordTable::rowsAboutToBeAppended, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(&table_, &RecordTable::rowsAppended, this, [this] { endInsertRows(); });
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.rowCount();
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : schema::kListedColumnCount;
}

bool RecordListModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && table_.hasMoreRows(); }

void RecordListModel::fetchMore(const QModelIndex& parent) {
    if (!parent.isValid()) table_.readMoreRows();
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
    if (connection_.isLost()) connection_.reconnect();
    auto query = std::make_unique<QSqlQuery>(connection_.database());
    // The server's driver may hand a forward-only result over row by row, and another statement
    // meanwhile would cut it short; the caller steps at its own pace, so the result is whole.
    query->setForwardOnly(!connection_.isServer());
    if (!query->prepare(connection_.dialect().translate(sql_))) {
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

TDM::TDM()
    : TVascor(Maincon), DVascor(TVascor), TDosSperm(Maincon), DDosSperm(TDosSperm), QAsk(Maincon),
      storedValues_(TVascor) {
    // The names the program knows them by; the field default files are named after them.
    TVascor.setObjectName(QStringLiteral("TVascor"));
    DVascor.setObjectName(QStringLiteral("DVascor"));
    TDosSperm.setObjectName(QStringLiteral("TDosSperm"));
    DDosSperm.setObjectName(QStringLiteral("DDosSperm"));
}

TDM::~TDM() {
    QAsk.close();
    TDosSperm.close();
    TVascor.cancel();
    TVascor.close();
}

bool TDM::FillCombo(const QString& statement, QStringList& items, QString* error) {
    if (Maincon.isLost()) Maincon.reconnect();
    // A query of its own, freed on every way out, so the scratch query keeps its state.
    QSqlQuery query(Maincon.database());
    query.setForwardOnly(true);
    const auto failed = [&] {
        if (error) *error = query.lastError().text();
        return false;
    };
    if (!query.prepare(Maincon.dialect().translate(statement)) || !query.exec()) return failed();
    // Read in full before the list is touched: a statement failing half-way leaves it whole.
    QStringList read;
    while (query.next()) {
        const int index = query.record().indexOf(QStringLiteral("Res"));
        if (index < 0) return failed();
        const QString text = textOf(query.value(index));
        if (!text.trimmed().isEmpty()) read << text;
    }
    if (query.lastError().isValid()) return failed();
    items = std::move(read);
    return true;
}

bool TDM::FillStoredValues(const QString& column, QStringList& items, QString* error) {
    const int index = RecordTable::columnIndex(column);
    if (const QStringList* held = storedValues_.find(index)) {
        items = *held;
        return true;
    }
    if (!readStoredValues(column, items, error)) return false;
    if (index >= 0) storedValues_.hold(index, items);
    return true;
}

bool TDM::readStoredValues(const QString& column, QStringList& items, QString* error) {
    const QString distinct = QStringLiteral("Select Distinct [%1] as Res From VaskorTemp ").arg(column);
    const int index = RecordTable::columnIndex(column);
    if (!isTextColumn(index)) return FillCombo(distinct, items, error);
    if (Maincon.isLost()) Maincon.reconnect();
    // Each step asks the index for the first value past the last one: a lookup per distinct
    // value. Without the index every step would read the whole table, so then DISTINCT it is.
    QSqlDatabase db = Maincon.database();
    const QString stored = QString::fromUtf8(kRecordColumns[index]);
    if (hasLeadingIndex(db, stored)) {
        const QString c = QLatin1Char('[') + stored + QLatin1Char(']');
        const QString steps =
            QStringLiteral("WITH RECURSIVE v(Res) AS ("
                           "SELECT (SELECT %1 FROM [VaskorTemp] WHERE %1 IS NOT NULL ORDER BY %1 LIMIT 1) "
                           "UNION ALL SELECT (SELECT %1 FROM [VaskorTemp] WHERE %1 > v.Res ORDER BY %1 LIMIT 1) "
                           "FROM v WHERE v.Res IS NOT NULL) "
                           "SELECT Res FROM v WHERE Res IS NOT NULL")
                .arg(c);
        QStringList values;
        if (FillCombo(steps, values)) {
            items = values;
            return true;
        }
    }
    return FillCombo(distinct, items, error);
}

}  // namespace zartav
