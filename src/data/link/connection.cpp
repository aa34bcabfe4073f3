#include "data/link/connection.h"

#include "data/link/change_watch.h"
#include "data/schema/history_schema.h"
#include "data/history/record_history.h"
#include "data/schema/record_schema.h"
#include "data/engine/server_link.h"
#include "data/engine/store_files.h"
#include "data/schema/store_integrity.h"
#include "data/schema/store_schema.h"
#include "data/schema/store_upgrade.h"
#include "data/schema/store_versions.h"
#include "data/schema/stored_names.h"
#include "data/toolkit/row_columns.h"
#include "util/bidi_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <sqlite3.h>

namespace zartav {
namespace {

using schema::kRecordColumns;

QString connectionNameForNewConnection() {
    static std::atomic<int> counter{0};
    return QStringLiteral("zartav-data-%1").arg(++counter);
}

}  // namespace

namespace {

// Every entry this desk's saves leave in the history names it: the session says so from its start.
// A lock held elsewhere is waited for within a save's bound (the worker's answer timeout is 2.5 s),
// so that no session holding one keeps the desks' saves waiting.
QList<std::pair<QString, QString>> deskSettings() {
    // The driver takes its options split at ";".
    return {{QString::fromLatin1(history::kDeskSetting), history::thisDesk().replace(QLatin1Char(';'), QLatin1Char(','))},
            {QStringLiteral("lock_timeout"), QStringLiteral("2000")}};
}

}  // namespace

QString storeNoun(const Connection& connection) {
    return connection.isServer() ? QStringLiteral("سرور اطلاعات") : QStringLiteral("فايل اطلاعات");
}


Connection::Connection() : name_(connectionNameForNewConnection()) {}

Connection::~Connection() {
    close();
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase Connection::database() const {
    // While another thread opens the store, the link is that thread's.
    const QThread* opener = opener_.load();
    if (opener && opener != QThread::currentThread()) return {};
    return QSqlDatabase::database(name_, false);
}

bool Connection::isOpen() const { return database().isOpen(); }

void Connection::close() {
    ++openings_;
    readOnly_ = false;
    holdsStore_ = false;
    if (watch_) watch_->stop();
    QSqlDatabase db = database();
    if (db.isValid() && db.isOpen()) db.close();
    if (!heldFile_.isEmpty()) storefile::holdOpen(heldFile_, false);
    heldFile_.clear();
    // The "-shm" a reading made is not left behind; a writable connection's is SQLite's to remove.
    for (const QString& made : std::as_const(madeFiles_)) QFile::remove(made);
    madeFiles_.clear();
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
    // A connection name keeps its driver: a store of the other engine needs a fresh one.
    if (QSqlDatabase::contains(name_) && database().driverName() != dialect().driver()) QSqlDatabase::removeDatabase(name_);
    indexedColumns_.clear();
    // A file's user is its one administrator; a server's rights come with its facts.
    rights_ = access::StoreRights();
    const bool opened = address_.isServer() ? openServer() : openFile();
    holdsStore_ = opened;
    if (opened && !isServer()) indexedColumns_ = leadingIndexColumns(database());
    if (opened && watch_) watch_->start();
    return opened;
}

bool Connection::openFile() {
    const QString path = address_.filePath();
    catalogueOrder_ = schema::catalogueOrder(SqlDialect::of(StoreEngine::File));
    const QFileInfo info(path);
    // A link to nothing would have the store made wherever it points.
    if (storefile::isDanglingLink(path)) {
        fail(QStringLiteral("a symbolic link to nothing"));
        errorText_ = QStringLiteral("فايل اطلاعات زير پيوندي (symlink) به فايلي است كه نيست:\n%1\n"
                                    "فايل اطلاعات تازه اي در جايي كه آن نشان مي دهد ساخته نمي شود.")
                         .arg(isolatedPath(path));
        return false;
    }
    const bool existed = info.exists();
    if (existed && !info.isFile()) return fail(QStringLiteral("not a file"));
    if (existed && !info.isReadable()) return fail(QStringLiteral("file is not readable"));
    if (!existed && access_ == StoreAccess::ReadOnly) return fail(QStringLiteral("no such file"));
    if (!existed && !QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("cannot create folder %1").arg(info.absolutePath()));
    // A journal beside the file that is not its own is never read, let alone checkpointed in.
    if (const storefile::JournalCheck journal = storefile::checkJournal(path); !journal.ok) {
        fail(journal.refusal);
        errorText_ = QStringLiteral("فايل اطلاعات زير باز نشد:\n%1\n%2").arg(isolatedPath(path), journal.refusal);
        return false;
    }

    // The write-ahead journal is kept in files beside the database: a folder that cannot be
    // written leaves only reading.
    const bool folderWritable = QFileInfo(info.absolutePath()).isWritable();
    readOnly_ = access_ == StoreAccess::ReadOnly || (existed && (!info.isWritable() || !folderWritable));

    QSqlDatabase db = QSqlDatabase::contains(name_) ? QSqlDatabase::database(name_, false)
                                                    : QSqlDatabase::addDatabase("QSQLITE", name_);
    // Wait a little for another program's short write instead of failing at once.
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=1500");
    QString name = path;
    madeFiles_.clear();
    if (readOnly_) {
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        // With no journal files and no room to make them (or a read that must leave none),
        // SQLite reads the file only when told that nothing else writes it; a journal left by
        // a crash is read as it is, and the "-shm" its reading makes goes with the connection.
        const storefile::ReadName reading = storefile::forReading(path);
        if (reading.uri && (!folderWritable || access_ == StoreAccess::ReadOnly)) {
            options += QStringLiteral(";QSQLITE_OPEN_URI");
            name = reading.name;
        }
        if (reading.makesShm && !reading.uri) madeFiles_ << path + QStringLiteral("-shm");
    } else {
        // The journal files the open makes go again when it is refused: nothing was written in them.
        for (const char* suffix : {"-wal", "-shm"})
            if (!QFileInfo::exists(path + QLatin1String(suffix))) madeFiles_ << path + QLatin1String(suffix);
    }
    db.setDatabaseName(name);
    db.setConnectOptions(options);
    if (!db.open()) return fail(db.lastError().text());
    storefile::holdOpen(path, true);
    heldFile_ = path;
    fileName_ = name;
    fileOptions_ = options;
    // Until the schema is known to be the program's, closing the connection must not write what
    // SQLite read from the journal into the file: the check reads, and only then may SQLite
    // checkpoint as it does.
    sqlite3* handle = integrity::handleOf(db);
    if (!handle) return fail(QStringLiteral("not an open SQLite connection"));
    sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // Nothing of the file is read or written before its schema is known to be the program's; a
    // store of a later program is named as such rather than by what of it this one does not know.
    const integrity::SchemaCheck check = integrity::checkOpened(db);
    const std::optional<int> recorded = check.ok || !check.foreign.isEmpty() ? schema::fileVersion(db) : std::optional<int>(0);
    if (recorded && *recorded > schema::kCurrentVersion) {
        fail(QStringLiteral("the store's version %1 is newer than the program's").arg(*recorded));
        errorText_ = QStringLiteral("فايل اطلاعات زير باز نشد:\n%1\n%2").arg(isolatedPath(path), schema::newerStoreText(*recorded));
        return false;
    }
    if (!check.ok) {
        fail(check.foreign.isEmpty() ? check.engineWords : check.foreign);
        if (!check.foreign.isEmpty()) errorText_ = QStringLiteral("فايل اطلاعات زير باز نشد:\n%1\n%2").arg(isolatedPath(path), check.foreign);
        return false;
    }
    if (!recorded) return fail(QStringLiteral("the store's version cannot be read"));

    // The first read tells a database from any other file; nothing is written before it.
    QSet<QString> tables, names;
    {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT type, name FROM sqlite_master")))
            return fail(query.lastError().text());
        while (query.next()) {
            names.insert(query.value(1).toString().toLower());
            if (query.value(0).toString() == QLatin1String("table")) tables.insert(query.value(1).toString().toLower());
        }
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
    sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    madeFiles_.clear();

    // WAL keeps readers and the writer apart and survives a crash mid-save; synchronous=FULL
    // makes every committed record reach the disk before the save is reported done.
    {
        QSqlQuery query(db);
        query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        query.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    QString error;
    // Every journal this connection starts carries the stamp that tells it from another file's.
    storefile::stampJournals(handle);
    if (!hasRecords) {
        if (!createRecordSchema(db, &error)) {
            fail(error);
            if (!existed) storefile::remove(path);
            return false;
        }
    } else if (const int from = schema::upgradeFrom(*recorded, schema::fileVersionShown(db, names));
               from < schema::kCurrentVersion) {
        // A file from an earlier version or the legacy import, or one that lost an object since:
        // the steps it has not had. One that cannot take them goes on as it was, without what is new.
        announceIndexBuild(db);
        schema::upgradeStore(db, from, &error);
    }
    // What other programs wrote since the program last had the file gets its seal now, in order;
    // a store from before the chain's head gets one first, from its chain found whole.
    if (db.transaction()) {
        const bool headed = tables.contains(QString::fromLatin1(history::kHeadTable).toLower()) || history::startHead(db, &error);
        if (headed && history::seal(db, &error)) db.commit();
        else db.rollback();
    }
    return true;
}

bool Connection::openServer() {
    QSqlDatabase db = QSqlDatabase::contains(name_) ? QSqlDatabase::database(name_, false)
                                                    : QSqlDatabase::addDatabase(dialect().driver(), name_);
    QString why;
    if (!server::configure(db, address_, &why, deskSettings())) return fail(why);
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

namespace {

// What of ours a server database holds, whether it holds anything else, and whether this
// connection may write: one statement, so that opening a store across a slow link costs one
// round trip beyond connecting.
struct ServerFacts {
    bool hasRecords = false, hasCatalogue = false, hasOrder = false, hasTrigger = false, hasRegister = false;
    bool hasPinnedFunctions = false;
    int indexes = 0;
    int relations = 0;
    bool writable = false;
    bool mayChangeRecords = false;
    bool owner = false;  // this role owns the record table: only it brings the store up
    int version = 0;     // the version the store records
    QString schema;
    QSet<QString> columns;
    QSet<QString> indexed;  // the record table's columns that lead an index
    access::StoreRights rights;
    int roleRank = 0;  // the highest of the office's group roles the login is a member of
};

QSet<QString> linesOf(const QVariant& v) {
    const QStringList names = v.toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return QSet<QString>(names.cbegin(), names.cend());
}

// The statement's columns, in its order, each with what it fills.
constexpr rows::Columns<ServerFacts, 22> kServerFactColumns = {{
    {"hasRecords", [](ServerFacts& f, const QVariant& v) { f.hasRecords = v.toBool(); }},
    {"hasCatalogue", [](ServerFacts& f, const QVariant& v) { f.hasCatalogue = v.toBool(); }},
    {"hasOrder", [](ServerFacts& f, const QVariant& v) { f.hasOrder = v.toBool(); }},
    {"hasTrigger", [](ServerFacts& f, const QVariant& v) { f.hasTrigger = v.toBool(); }},
    {"indexes", [](ServerFacts& f, const QVariant& v) { f.indexes = v.toInt(); }},
    {"relations", [](ServerFacts& f, const QVariant& v) { f.relations = v.toInt(); }},
    {"writable", [](ServerFacts& f, const QVariant& v) { f.writable = v.toBool(); }},
    {"schema", [](ServerFacts& f, const QVariant& v) { f.schema = v.toString(); }},
    // the certificates' register and the daily copies', from later versions on
    {"hasRegister", [](ServerFacts& f, const QVariant& v) { f.hasRegister = v.toBool(); }},
    {"mayChangeRecords", [](ServerFacts& f, const QVariant& v) { f.mayChangeRecords = v.toBool(); }},
    {"columns", [](ServerFacts& f, const QVariant& v) { f.columns = linesOf(v); }},
    {"indexed", [](ServerFacts& f, const QVariant& v) { f.indexed = linesOf(v); }},
    {"hasPinnedFunctions", [](ServerFacts& f, const QVariant& v) { f.hasPinnedFunctions = v.toBool(); }},
    {"version", [](ServerFacts& f, const QVariant& v) { f.version = v.toInt(); }},
    {"owner", [](ServerFacts& f, const QVariant& v) { f.owner = v.toBool(); }},
    // who the login is, and on a store whose office tables are in use what it may do
    {"user", [](ServerFacts& f, const QVariant& v) { f.rights.user = v.toString(); }},
    {"roleRank", [](ServerFacts& f, const QVariant& v) { f.roleRank = v.toInt(); }},
    {"rolesInForce", [](ServerFacts& f, const QVariant& v) { f.rights.rolesInForce = v.toBool(); }},
    {"office", [](ServerFacts& f, const QVariant& v) { f.rights.office = v.toString(); }},
    {"officeName", [](ServerFacts& f, const QVariant& v) { f.rights.officeName = v.toString(); }},
    {"provinces", [](ServerFacts& f, const QVariant& v) {
         f.rights.provinces = v.toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
     }},
    {"fourEyes", [](ServerFacts& f, const QVariant& v) { f.rights.fourEyes = v.toBool(); }},
}};

// The login's membership of the office's group roles, the best first; a role not made on this
// server is no membership.
QString roleRankText() {
    QString cases;
    int rank = 3;
    for (const char* role : {access::kAdminRole, access::kRegistrarRole, access::kClerkRole})
        cases += QStringLiteral("WHEN COALESCE(pg_has_role(session_user, to_regrole('%1'), 'MEMBER'), false) THEN %2 ")
                     .arg(QString::fromLatin1(role))
                     .arg(rank--);
    return QStringLiteral("CASE %1ELSE 0 END").arg(cases);
}

// The office's tables come with a later version and may not be there, so no statement can name
// them: their row for this login is read by a query given as text, as an XML document the same
// statement takes apart again; none when they are absent or this login may not read them.
// Control characters, which XML cannot carry, are left out.
QString officeRowText() {
    const QString readable =
        QStringLiteral("to_regclass('\"%1\"') IS NOT NULL AND has_table_privilege(to_regclass('\"%1\"'), 'SELECT')");
    const QString visible = QStringLiteral("regexp_replace(%1, ''[[:cntrl:]]'', '''', ''g'')");
    return QStringLiteral(
               "FROM (SELECT CASE WHEN %1 AND %2 THEN query_to_xml('"
               "SELECT EXISTS (SELECT 1 FROM \"Offices\") AS inforce, %3 AS code, %4 AS name, %5 AS provinces, "
               "o.\"FourEyes\" AS foureyes "
               "FROM (SELECT 1) AS one LEFT JOIN \"OfficeUsers\" u ON u.\"UserName\" = session_user "
               "LEFT JOIN \"Offices\" o ON o.\"Code\" = u.\"Office\"', false, false, '') END AS doc) AS d "
               "LEFT JOIN XMLTABLE('/table/row' PASSING d.doc COLUMNS inforce boolean PATH 'inforce', "
               "code text PATH 'code', name text PATH 'name', provinces text PATH 'provinces', "
               "foureyes boolean PATH 'foureyes') AS o ON true")
        .arg(readable.arg(QStringLiteral("Offices")), readable.arg(QStringLiteral("OfficeUsers")),
             visible.arg(QStringLiteral("o.\"Code\"")), visible.arg(QStringLiteral("o.\"Name\"")),
             visible.arg(QStringLiteral("array_to_string(o.\"Provinces\", '','')")));
}

// The rights as the facts tell them: without the office's tables in use, the one administrator.
access::StoreRights rightsOf(const ServerFacts& facts) {
    access::StoreRights rights = facts.rights;
    const access::Role ranked[] = {access::Role::Reader, access::Role::Clerk, access::Role::Registrar,
                                   access::Role::Administrator};
    rights.role = rights.rolesInForce ? ranked[std::clamp(facts.roleRank, 0, 3)] : access::Role::Administrator;
    return rights;
}

std::optional<ServerFacts> serverFacts(QSqlDatabase& db, QString* error) {
    QSqlQuery query(db);
    const QString records = QStringLiteral("to_regclass('\"VaskorTemp\"')");
    // The facts named by an alias list around the statement.
    if (!query.exec(QStringLiteral("SELECT * FROM (%1) AS f(%2)").arg(QStringLiteral(
            "SELECT %1 IS NOT NULL, to_regclass('\"DosSperm\"') IS NOT NULL, "
            "EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('\"DosSperm\"') "
            "        AND attname = '%2' AND NOT attisdropped), "
            "(SELECT count(*) = 2 FROM pg_trigger WHERE tgrelid = %1 AND tgname IN ('%3', '%4')), "
            "(SELECT count(*) FROM pg_index WHERE indrelid = %1 AND NOT indisprimary), "
            "(SELECT count(*) FROM pg_class WHERE relnamespace = to_regnamespace(current_schema()) "
            "        AND relkind IN ('r', 'p', 'v', 'm', 'f')), "
            "NOT pg_is_in_recovery() AND current_setting('transaction_read_only') = 'off', current_schema(), "
            "to_regclass('\"CertificateIssues\"') IS NOT NULL AND to_regclass('\"CertificateKeys\"') IS NOT NULL "
            "        AND to_regclass('\"CertificateOffice\"') IS NOT NULL AND to_regclass('\"%5\"') IS NOT NULL "
            "        AND EXISTS (SELECT 1 FROM pg_trigger WHERE tgrelid = to_regclass('\"CertificateIssues\"') "
            "        AND tgname = 'zartav_issue_seal'), "
            "COALESCE(has_table_privilege(%1, 'INSERT') AND has_table_privilege(%1, 'UPDATE') "
            "        AND has_table_privilege(%1, 'DELETE'), false), "
            "(SELECT string_agg(attname, E'\\n') FROM pg_attribute WHERE attrelid = %1 AND attnum > 0 AND NOT attisdropped), "
            "(SELECT string_agg(a.attname, E'\\n') FROM pg_index x JOIN pg_attribute a ON a.attrelid = x.indrelid "
            "        AND a.attnum = x.indkey[0] WHERE x.indrelid = %1 AND x.indpred IS NULL), "
            // Trigger functions of an earlier version searched the path of whoever made them.
            "to_regclass('\"%6\"') IS NOT NULL AND (SELECT count(*) = 2 FROM pg_proc "
            "        WHERE pronamespace = to_regnamespace(current_schema()) AND proname IN ('%3', '%4') "
            "        AND array_to_string(proconfig, ',') LIKE 'search\\_path=pg\\_catalog, %'), "
            "%7, COALESCE((SELECT pg_has_role(relowner, 'USAGE') FROM pg_class WHERE oid = %1), false), "
            "session_user::text, %8, COALESCE(o.inforce, false), o.code, o.name, o.provinces, "
            "COALESCE(o.foureyes, false) %9")
                        .arg(records, QString::fromLatin1(schema::kServerCatalogueOrderColumn),
                             QString::fromLatin1(kRecordsChangedChannel), QString::fromLatin1(history::kServerFunction),
                             QString::fromLatin1(kDailyCopyTable), QString::fromLatin1(history::kHeadTable),
                             schema::serverVersionColumn(), roleRankText(), officeRowText()),
                         rows::names(SqlDialect::of(db), kServerFactColumns))) ||
        !query.next()) {
        if (error) *error = query.lastError().text();
        return std::nullopt;
    }
    return rows::Reader(kServerFactColumns).read(query);
}

}  // namespace

bool Connection::prepareServerDatabase(QSqlDatabase& db) {
    QString error;
    std::optional<ServerFacts> facts = serverFacts(db, &error);
    if (!facts) return fail(error);
    const bool writable = facts->writable && access_ == StoreAccess::ReadWrite;
    if (facts->version > schema::kCurrentVersion) {
        fail(QStringLiteral("the store's version %1 is newer than the program's").arg(facts->version));
        errorText_ = QStringLiteral("اتصال به سرور اطلاعات زير برقرار نشد:\n%1\n%2")
                         .arg(isolated(address_.display()), schema::newerStoreText(facts->version));
        return false;
    }
    bool changed = true;
    if (!facts->hasRecords) {
        if (facts->relations > (facts->hasCatalogue ? 1 : 0))
            return fail(QStringLiteral("the database holds other tables and no VaskorTemp"));
        if (!writable) return fail(QStringLiteral("the server is read-only and the database holds no tables"));
        if (!createRecordSchema(db, &error)) return fail(error);
    } else {
        // The facts tell a store that holds all of today's objects from one that lacks some; one
        // that lacks some takes every step after the old program's tables, each leaving what it has.
        const bool whole = facts->hasCatalogue && facts->hasOrder && facts->hasTrigger && facts->hasRegister &&
                           facts->hasPinnedFunctions && facts->indexes >= recordIndexCount();
        const int from = schema::upgradeFrom(facts->version, whole ? schema::kCurrentVersion : schema::kTwoTables);
        // Only the tables' owner brings the store up; another desk goes without what is new.
        changed = from < schema::kCurrentVersion && writable && facts->owner;
        if (changed) {
            announceIndexBuild(db);
            schema::upgradeStore(db, from, &error);
        }
    }
    // What was just made is read again.
    if (changed && !(facts = serverFacts(db, &error))) return fail(error);
    for (const char* name : kRecordColumns) {
        if (!facts->columns.contains(QString::fromUtf8(name)))
            return fail(QStringLiteral("VaskorTemp lacks the column %1").arg(QString::fromUtf8(name)));
    }
    schema_ = facts->schema;
    indexedColumns_ = facts->indexed;
    rights_ = rightsOf(*facts);
    readOnly_ = !writable || !facts->mayChangeRecords;
    // A catalogue made by someone else without our order column is read in its stored order.
    catalogueOrder_ = facts->hasOrder ? schema::catalogueOrder(SqlDialect::of(StoreEngine::Server)) : QStringLiteral("ctid");
    return true;
}

bool Connection::isLost() const { return holdsStore_ && isServer() && database().isValid() && server::isLost(database()); }

bool Connection::reconnect() {
    // A store closed on purpose stays closed.
    if (!isServer() || !holdsStore_) return isOpen();
    QSqlDatabase db = database();
    if (!db.isValid()) return false;
    ++openings_;
    db.close();
    // The same link a store worker makes: the address with the password given, as this desk.
    return openLink(db, withQuickConnect(linkSettings()), &technicalError_);
}

void Connection::watchChanges() {
    if (watch_) return;
    // The link is checked every few seconds; a lost one is tried again after such a pause.
    watch_ = std::make_unique<ChangeWatch>(*this, isServer() ? 3000 : 500);
    connect(watch_.get(), &ChangeWatch::changed, this, &Connection::changedElsewhere);
    if (isOpen()) watch_->start();
}

LinkSettings Connection::linkSettings() const {
    return {address_, readOnly_, schema_, catalogueOrder_, fileName_, fileOptions_};
}

LinkSettings withQuickConnect(LinkSettings settings) {
    const QString given = settings.address.option(QStringLiteral("connect_timeout"));
    if (settings.address.isServer() && (given.isEmpty() || given.toInt() > kQuickConnectSeconds))
        settings.address.setOption(QStringLiteral("connect_timeout"), QString::number(kQuickConnectSeconds));
    return settings;
}

bool openLink(QSqlDatabase& db, const LinkSettings& settings, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        db.close();
        return false;
    };
    if (!settings.address.isServer()) {
        db.setDatabaseName(settings.fileName);
        db.setConnectOptions(settings.fileOptions);
        if (!db.open()) return fail(db.lastError().text());
        if (!integrity::harden(integrity::handleOf(db)))
            return fail(QStringLiteral("the connection does not take SQLite's defensive settings"));
        if (!settings.readOnly && !storefile::stampJournals(integrity::handleOf(db)))
            return fail(QStringLiteral("the store's journal cannot be stamped"));
        QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size=-32768"));
        return true;
    }
    QString why;
    if (!server::configure(db, settings.address, &why, deskSettings())) return fail(why);
    if (!db.open()) return fail(db.lastError().databaseText());
    return true;
}

}  // namespace zartav
