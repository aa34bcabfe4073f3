#pragma once

// The program's link to its store: the Data.db file (SQLite) or a database server shared by the
// desks of an office (PostgreSQL), chosen by the store's address.

#include "data/access/store_rights.h"
#include "data/engine/sql_dialect.h"
#include "data/engine/store_address.h"
#include "data/link/store_link.h"

#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QThread;

namespace zartav {

// What a command does with a store: a read (an export, a certificate, the source of a copy)
// changes nothing in it, not even its journal, and never makes a missing file.
enum class StoreAccess { ReadWrite, ReadOnly };

// The one connection to the store: the Data.db file (SQLite) or a database server shared by
// the desks of an office (PostgreSQL), chosen by the store's address.
class ChangeWatch;

// What another link to an open store needs (a store worker's, on a thread of its own): the
// address with the password given, and how the open found the store.
struct LinkSettings {
    StoreAddress address;
    bool readOnly = false;
    QString serverSchema;
    QString catalogueOrder;
    QString fileName;     // the file as the connection opened it, and with which options
    QString fileOptions;
};

class Connection : public QObject, public StoreLink {
    Q_OBJECT
public:
    Connection();
    ~Connection() override;

    // Opens the store at `address`: a file path or a server URL (see StoreAddress). A missing
    // file, or an empty server database, is given both tables. An existing store must hold
    // them; otherwise nothing is written to it, false is answered and errorText() holds one
    // Farsi message naming the store (never a password). A store this connection may only read
    // (a file or folder that cannot be written, a server role without write rights) is opened
    // for reading. A file whose schema holds anything that is not the program's own (a trigger,
    // a view, a table, a column of another type) is refused before anything in it is read.
    bool open(const QString& address, StoreAccess access = StoreAccess::ReadWrite);
    bool open(const StoreAddress& address, StoreAccess access = StoreAccess::ReadWrite);
    // As open(), but what waits on the store (connecting, the checks, an upgrade) runs on a
    // thread of its own while this thread's events go on: the windows paint, user input waits.
    // The prompt and the notice are called on this thread; the link is this thread's again when
    // the answer is in. Nothing else uses the connection meanwhile (it reads as closed).
    bool openOffThread(const StoreAddress& address, StoreAccess access = StoreAccess::ReadWrite);
    void close();
    bool isOpen() const;
    // A store was opened and not closed since, whether or not its link to the server is up now
    // (isLost()): other links to it may still be made.
    bool holdsStore() const { return holdsStore_; }
    // Open for reading only: every save fails.
    bool isReadOnly() const { return readOnly_; }
    const StoreAddress& address() const { return address_; }
    // The address as the user may see it: the file's path, or the server's URL without password.
    QString displayName() const { return address_.display(); }
    bool isServer() const override { return address_.isServer(); }
    QString serverSchema() const override { return schema_; }
    // The record table's columns that lead an index of it, as the open found them.
    const QSet<QString>& indexedColumns() const { return indexedColumns_; }
    // How the catalogue's own order is read on this store.
    QString catalogueOrder() const override { return catalogueOrder_; }

    // Farsi message for the user about the last failed open (empty after a good one).
    QString errorText() const { return errorText_; }
    // The database engine's own words about the last failure, for tests and traces.
    QString technicalError() const override { return technicalError_; }

    QSqlDatabase database() const override;
    QString connectionName() const { return name_; }

    // Asked for the password when the server wants one and the client library found none
    // (PGPASSWORD, PGPASSFILE, ~/.pgpass); answers nothing when the user declines. The
    // password is then held in memory for reconnecting, never written anywhere.
    using PasswordPrompt = std::function<std::optional<QString>(const QString& prompt)>;
    void setPasswordPrompt(PasswordPrompt prompt) { passwordPrompt_ = std::move(prompt); }

    // Told what the open is doing before a step that takes a while on a large store: building
    // the indexes that a store from an earlier version lacks (about a minute at a million
    // records, once). Only from kLongIndexBuildFrom records on; a window shows the text.
    using LongStepNotice = std::function<void(const QString& text)>;
    void setLongStepNotice(LongStepNotice notice) { longStepNotice_ = std::move(notice); }
    static constexpr qint64 kLongIndexBuildFrom = 20000;

    // Counts the opens, closes and new links: what was read before another count may be stale.
    quint64 openings() const override { return openings_; }

    bool isLost() const override;
    bool reconnect() override;

    // From now on changedElsewhere() follows every change another connection commits (another
    // desk, the command line, any other program), within about a second.
    void watchChanges();

    LinkSettings linkSettings() const;

    // What this desk's user may do, as the open read it (a file: its one administrator).
    const access::StoreRights& rights() const { return rights_; }

signals:
    void changedElsewhere();

private:
    bool fail(const QString& technical);
    bool openFile();
    bool openServer();
    bool prepareServerDatabase(QSqlDatabase& db);
    void announceIndexBuild(QSqlDatabase& db) const;

    QString name_;
    StoreAddress address_;
    QString errorText_;
    QString technicalError_;
    QString catalogueOrder_;
    QString schema_;  // on the server: the schema that holds the tables
    QString fileName_;
    QString fileOptions_;
    QStringList madeFiles_;  // journal files this connection made and removes when it closes
    QString heldFile_;  // the file this connection has open, told to storefile::holdOpen()
    QSet<QString> indexedColumns_;
    access::StoreRights rights_;
    bool readOnly_ = false;
    bool holdsStore_ = false;
    StoreAccess access_ = StoreAccess::ReadWrite;
    PasswordPrompt passwordPrompt_;
    LongStepNotice longStepNotice_;
    std::unique_ptr<ChangeWatch> watch_;
    quint64 openings_ = 0;
    std::atomic<QThread*> opener_{nullptr};  // the thread opening the store, while it does
};

// How messages name the store: "فايل اطلاعات" (the data file) or "سرور اطلاعات" (the data server).
QString storeNoun(const Connection& connection);

// Opens `db`, a connection added on the calling thread, to the store `settings` name: the same
// file with the same protections, or the same server as the same desk. Nothing is made or
// checked: the connection that took the settings did that. False with the engine's words.
// Every link made again after the server dropped it is made here, whoever holds it.
bool openLink(QSqlDatabase& db, const LinkSettings& settings, QString* error);

// `settings` waiting at most kQuickConnectSeconds for the server to take a link (less when the
// address says so): a link made again, or a worker's, meets an outage within seconds.
LinkSettings withQuickConnect(LinkSettings settings);
inline constexpr int kQuickConnectSeconds = 2;

}  // namespace zartav
