#pragma once

// The server driver's connection (a QSqlDriver over the client library): connecting, sending
// statements alone or together in one flight, streaming a forward-only query's rows, bounded
// waits, transactions and change notices. Its face to the program is pg_driver.h.

#include "data/engine/pg_result.h"

#include <QMetaType>
#include <QSocketNotifier>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>

#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

// The driver's handle is the client library's connection.
Q_DECLARE_OPAQUE_POINTER(PGconn*)
Q_DECLARE_METATYPE(PGconn*)

namespace zartav::pg {

// What an Interrupter reaches of a connection from another thread. The socket is a duplicate of
// the client library's, so it is never a number the library has closed and handed out again.
struct Link {
    std::mutex mutex;
    int socket = -1;
    std::shared_ptr<PGcancel> cancel;
    std::atomic<bool> abandoned{false};

    ~Link();
    // Under the mutex.
    void share(int librarySocket);
};

class Driver final : public QSqlDriver, public Runner {
public:
    Driver() = default;
    ~Driver() override { close(); }

    bool hasFeature(DriverFeature feature) const override;
    bool open(const QString& db, const QString& user, const QString& password, const QString& host, int port,
              const QString& options) override;
    void close() override;
    bool isOpen() const override { return conn_ && PQstatus(conn_) == CONNECTION_OK; }
    QSqlResult* createResult() const override { return new Result(this, const_cast<Driver*>(this)); }
    QVariant handle() const override { return QVariant::fromValue(conn_); }
    bool beginTransaction() override;
    bool commitTransaction() override { return endTransaction("COMMIT"); }
    bool rollbackTransaction() override { return endTransaction("ROLLBACK"); }
    QStringList tables(QSql::TableType type) const override;
    bool subscribeToNotification(const QString& name) override;
    bool unsubscribeFromNotification(const QString& name) override;
    QStringList subscribedToNotifications() const override { return channels_; }

    bool run(Result* owner, Statement statement) override;
    void flush(Result* stream = nullptr) override;
    bool onlyOpenersQueued() const {
        return std::all_of(queue_.begin(), queue_.end(), [](const Statement& s) { return s.opener; });
    }
    void forget(Result* owner) override;
    PGresult* nextRow(Result* reader) override;
    QSqlError errorOf(PGresult* res) const override;
    void takeIdleInput();

    int batchDepth = 0;
    int answerTimeoutMs = 0;
    std::atomic<quint64> trips{0};
    std::shared_ptr<Link> link = std::make_shared<Link>();

private:
    bool send(const std::vector<Statement>& flight, bool simple, bool stream);
    void deliver(Statement& statement, PGresult* answer);
    PGresult* next();
    bool waitFor(short events, int ms) const;
    void dropLink(const QString& why);
    void endStream(bool cut);
    void finishPipeline();
    bool endTransaction(const char* how);
    bool runNow(const QByteArray& sql);
    // Queues `sql` behind whatever waits to be sent, sends them all and takes its answer into `into`.
    void sendNow(Result& into, const QByteArray& sql);
    void takeNotifications();
    void shareSocket();

    PGconn* conn_ = nullptr;
    std::vector<Statement> queue_;
    Result* streaming_ = nullptr;
    bool pipeline_ = false;
    QString linkFailure_;  // why this side dropped the link
    QStringList channels_;
    QSocketNotifier* notifier_ = nullptr;
    struct Note {
        QString channel;
        NotificationSource source;
        QString payload;
    };
    std::vector<Note> notes_;
    bool notesQueued_ = false;
};

Driver* ours(const QSqlDatabase& db);

}  // namespace zartav::pg
