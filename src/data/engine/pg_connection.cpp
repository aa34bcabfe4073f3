#include "data/engine/pg_connection.h"

#include "data/engine/pg_params.h"
#include "data/engine/pg_statement_text.h"

#include <QSqlQuery>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace zartav::pg {
namespace {

QString timeoutText(int ms) { return QStringLiteral("timeout expired: the server gave no answer within %1 ms").arg(ms); }

}  // namespace

Link::~Link() {
    if (socket >= 0) ::close(socket);
}

void Link::share(int librarySocket) {
    if (socket >= 0) ::close(socket);
    socket = librarySocket >= 0 ? ::fcntl(librarySocket, F_DUPFD_CLOEXEC, 0) : -1;
}

Driver* ours(const QSqlDatabase& db) { return dynamic_cast<Driver*>(db.driver()); }

bool Driver::hasFeature(DriverFeature feature) const {
    switch (feature) {
    case Transactions:
    case QuerySize:
    case BLOB:
    case Unicode:
    case PreparedQueries:
    case PositionalPlaceholders:
    case LowPrecisionNumbers:
    case EventNotifications: return true;
    default: return false;
    }
}

bool Driver::open(const QString& db, const QString& user, const QString& password, const QString& host, int port,
                  const QString& options) {
    close();
    ConnectParams params(host, port, user, password, db);
    // What the results are read by goes in the startup packet: no statement after connecting.
    QByteArray startup = "-c datestyle=ISO,YMD -c extra_float_digits=3";
    int connectTimeoutMs = 0;
    for (const auto& [key, value] : connectOptions(options)) {
        if (key == "zartav_answer_timeout_ms") answerTimeoutMs = value.toInt();
        else if (key == "options") startup = value + ' ' + startup;
        else params.add(key, value);
        // As the client library reads it: seconds, 2 at least.
        if (key == "connect_timeout" && value.toInt() > 0) connectTimeoutMs = std::max(2, value.toInt()) * 1000;
    }
    params.add("options", startup);
    params.add("client_encoding", "UTF8");

    link->abandoned = false;
    conn_ = PQconnectStartParams(params.keywords(), params.values(), 0);
    ++trips;
    const int limit = connectTimeoutMs > 0 ? connectTimeoutMs : answerTimeoutMs > 0 ? answerTimeoutMs : -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(limit, 0));
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    QString failure;
    while (conn_ && PQstatus(conn_) != CONNECTION_BAD && state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED) {
        // The socket may change from one attempt to the next (another address, TLS refused).
        shareSocket();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!waitFor(state == PGRES_POLLING_READING ? POLLIN : POLLOUT, limit < 0 ? -1 : int(std::max<qint64>(0, left.count())))) {
            failure = timeoutText(limit);
            break;
        }
        state = PQconnectPoll(conn_);
    }
    if (!failure.isEmpty() || !isOpen()) {
        if (link->abandoned) failure = QStringLiteral("the connection was abandoned");
        if (failure.isEmpty()) failure = QString::fromUtf8(conn_ ? PQerrorMessage(conn_) : "out of memory").trimmed();
        setLastError(QSqlError(QStringLiteral("Unable to connect"), failure, QSqlError::ConnectionError));
        setOpenError(true);
        std::lock_guard lock(link->mutex);
        link->share(-1);
        PQfinish(conn_);
        conn_ = nullptr;
        return false;
    }
    // Sending never blocks: every wait is one of ours, bounded and breakable.
    PQsetnonblocking(conn_, 1);
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    {
        std::lock_guard lock(link->mutex);
        link->share(PQsocket(conn_));
        link->cancel.reset(PQgetCancel(conn_), PQfreeCancel);
    }
    setOpen(true);
    setOpenError(false);
    return true;
}

void Driver::shareSocket() {
    std::lock_guard lock(link->mutex);
    link->share(PQsocket(conn_));
}

void Driver::close() {
    const QSqlError unsent(QStringLiteral("not sent"), QStringLiteral("the connection closed before the statement was sent"),
                           QSqlError::ConnectionError);
    for (Statement& s : std::exchange(queue_, {}))
        if (s.owner) s.owner->refuse(unsent);
    if (Result* reader = std::exchange(streaming_, nullptr)) reader->cutOff();
    pipeline_ = false;
    delete notifier_;
    notifier_ = nullptr;
    channels_.clear();
    notes_.clear();
    if (conn_) {
        {
            std::lock_guard lock(link->mutex);
            link->share(-1);
            link->cancel.reset();
        }
        // Interrupters of this connection leave the next one alone.
        link = std::make_shared<Link>();
        PQfinish(conn_);
        conn_ = nullptr;
    }
    linkFailure_.clear();
    setOpen(false);
    setOpenError(false);
}

bool Driver::waitFor(short events, int ms) const {
    pollfd fd{PQsocket(conn_), events, 0};
    // No socket: the client library reports the link gone.
    if (fd.fd < 0) return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const int ready = ::poll(&fd, 1, ms < 0 ? -1 : int(std::max<qint64>(0, left.count())));
        if (ready > 0) return true;
        if (ready == 0) return false;
        if (errno != EINTR) return true;
    }
}

void Driver::dropLink(const QString& why) {
    linkFailure_ = why;
    if (const int socket = PQsocket(conn_); socket >= 0) ::shutdown(socket, SHUT_RDWR);
    // The client library finds the link gone and says so from now on.
    PQconsumeInput(conn_);
}

PGresult* Driver::next() {
    while (PQisBusy(conn_)) {
        if (!waitFor(POLLIN, answerTimeoutMs > 0 ? answerTimeoutMs : -1)) dropLink(timeoutText(answerTimeoutMs));
        if (!PQconsumeInput(conn_)) break;
    }
    return PQgetResult(conn_);
}

bool Driver::run(Result* owner, Statement statement) {
    if (!isOpen()) {
        owner->refuse(errorOf(nullptr));
        return false;
    }
    statement.owner = owner;
    const bool later = batchDepth > 0 || statement.opener;
    const bool stream = !later && owner->isForwardOnly() && statement.single;
    queue_.push_back(std::move(statement));
    if (later) {
        // Active as a query whose rows are yet to be read; the answer corrects it.
        owner->queued_ = true;
        owner->setActive(true);
        owner->setSelect(true);
        return true;
    }
    flush(stream ? owner : nullptr);
    return owner->isActive();
}

bool Driver::send(const std::vector<Statement>& flight, bool simple, bool stream) {
    bool sent = true;
    if (simple) {
        // The newline ends a comment the statement may close with.
        QByteArray text;
        for (const Statement& s : flight) text += (text.isEmpty() ? QByteArray() : QByteArray("\n;\n")) + s.text;
        sent = PQsendQuery(conn_, text.constData());
    } else {
        if (pipeline_) sent = PQenterPipelineMode(conn_);
        for (const Statement& s : flight) {
            std::vector<const char*> values;
            std::vector<int> lengths, formats;
            std::vector<Oid> types;
            for (const Param& p : s.params) {
                values.push_back(p.null ? nullptr : p.bytes.constData());
                lengths.push_back(int(p.bytes.size()));
                formats.push_back(p.binary ? 1 : 0);
                types.push_back(p.binary ? Oid(kBytea) : Oid(0));
            }
            sent = sent && PQsendQueryParams(conn_, s.text.constData(), int(values.size()), types.data(), values.data(),
                                             lengths.data(), formats.data(), 0);
        }
        if (pipeline_) sent = sent && PQpipelineSync(conn_);
    }
    if (sent && stream && !pipeline_) PQsetSingleRowMode(conn_);
    for (int left; sent && (left = PQflush(conn_)) != 0;) {
        if (left < 0) return false;
        if (!waitFor(POLLIN | POLLOUT, answerTimeoutMs > 0 ? answerTimeoutMs : -1)) {
            dropLink(timeoutText(answerTimeoutMs));
            return false;
        }
        sent = PQconsumeInput(conn_);
    }
    return sent;
}

void Driver::flush(Result* stream) {
    if (queue_.empty()) return;
    endStream(true);
    std::vector<Statement> flight = std::exchange(queue_, {});
    if (!isOpen()) {
        const QSqlError error = errorOf(nullptr);
        for (Statement& s : flight)
            if (s.owner) s.owner->refuse(error);
        return;
    }
    ++trips;
    // Unbound statements go as one text; with values, or a text of several statements among
    // others, each goes on its own in a pipeline.
    const bool simple = std::none_of(flight.begin(), flight.end(), [](const Statement& s) { return s.extended; }) &&
                        std::all_of(flight.begin(), flight.end() - 1, [](const Statement& s) { return s.single; });
    pipeline_ = !simple && flight.size() > 1;
    if (!send(flight, simple, stream)) {
        // Half a flight on the wire leaves no telling what the server has: the link goes.
        if (isOpen()) dropLink(QString::fromUtf8(PQerrorMessage(conn_)));
        pipeline_ = false;
        const QSqlError error = errorOf(nullptr);
        for (Statement& s : flight)
            if (s.owner) s.owner->refuse(error);
        return;
    }
    for (size_t k = 0; k < flight.size(); ++k) {
        Statement& s = flight[k];
        const bool last = k + 1 == flight.size();
        if (last && stream && pipeline_) PQsetSingleRowMode(conn_);
        PGresult* answer = next();
        if (last && stream && answer && PQresultStatus(answer) == PGRES_SINGLE_TUPLE) {
            streaming_ = stream;
            stream->answer(answer);
            return;
        }
        // One result each for the statements joined before the last; otherwise the last one
        // counts, or the error that ended them.
        if (answer && (last || !simple)) {
            while (PGresult* more = next()) {
                if (PQresultStatus(answer) == PGRES_FATAL_ERROR) {
                    PQclear(more);
                } else {
                    PQclear(answer);
                    answer = more;
                }
            }
        }
        deliver(s, answer);
    }
    if (pipeline_) finishPipeline();
    takeNotifications();
}

void Driver::deliver(Statement& statement, PGresult* answer) {
    const ExecStatusType status = answer ? PQresultStatus(answer) : PGRES_FATAL_ERROR;
    if (!statement.owner) {
        PQclear(answer);
    } else if (answer && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)) {
        statement.owner->answer(answer);
    } else {
        statement.owner->refuse(errorOf(answer));
        PQclear(answer);
    }
}

void Driver::finishPipeline() {
    pipeline_ = false;
    if (isOpen()) PQclear(next());  // the flight's end
    if (!PQexitPipelineMode(conn_) && isOpen()) dropLink(QString::fromUtf8(PQerrorMessage(conn_)));
}

void Driver::endStream(bool cut) {
    Result* reader = std::exchange(streaming_, nullptr);
    if (!reader) return;
    while (PGresult* rest = next()) PQclear(rest);
    if (pipeline_) finishPipeline();
    takeNotifications();
    if (cut) reader->cutOff();
}

PGresult* Driver::nextRow(Result* reader) {
    if (streaming_ != reader) return nullptr;
    PGresult* row = next();
    if (row && PQresultStatus(row) == PGRES_SINGLE_TUPLE) return row;
    streaming_ = nullptr;
    if (row)
        while (PGresult* rest = next()) PQclear(rest);
    if (pipeline_) finishPipeline();
    takeNotifications();
    return row;
}

void Driver::forget(Result* owner) {
    for (Statement& s : queue_)
        if (s.owner == owner) s.owner = nullptr;
    if (streaming_ == owner) endStream(false);
}

QSqlError Driver::errorOf(PGresult* res) const {
    if (!isOpen()) {
        QString words = linkFailure_;
        if (words.isEmpty() && link->abandoned) words = QStringLiteral("the connection was abandoned");
        if (words.isEmpty())
            words = QString::fromUtf8(res ? PQresultErrorMessage(res) : conn_ ? PQerrorMessage(conn_) : "no connection to the server");
        return QSqlError(QStringLiteral("the link to the server is lost"), words.trimmed(), QSqlError::ConnectionError);
    }
    if (!res || PQresultStatus(res) == PGRES_PIPELINE_ABORTED)
        return QSqlError(QStringLiteral("skipped"), QStringLiteral("skipped: a statement sent before it failed"),
                         QSqlError::StatementError);
    return QSqlError(QStringLiteral("the statement failed"), QString::fromUtf8(PQresultErrorMessage(res)).trimmed(),
                     QSqlError::StatementError, QString::fromLatin1(PQresultErrorField(res, PG_DIAG_SQLSTATE)));
}

bool Driver::beginTransaction() {
    if (!isOpen()) return false;
    // Goes out with the transaction's first statement.
    Statement begin;
    begin.text = "BEGIN";
    begin.opener = true;
    queue_.push_back(std::move(begin));
    return true;
}

bool Driver::endTransaction(const char* how) {
    if (!isOpen()) return false;
    // A transaction that holds nothing yet never went out: it ends here, for nothing.
    if (!queue_.empty() && onlyOpenersQueued() && PQtransactionStatus(conn_) == PQTRANS_IDLE) {
        for (Statement& s : std::exchange(queue_, {}))
            if (s.owner) s.owner->answer(PQmakeEmptyPGresult(conn_, PGRES_COMMAND_OK));
        return true;
    }
    Result end(this, this);
    sendNow(end, how);
    // A commit of a transaction that had failed answers ROLLBACK.
    const bool committed = end.isActive() && !(qstrcmp(how, "COMMIT") == 0 && qstrcmp(PQcmdStatus(end.res_), "ROLLBACK") == 0);
    if (committed) return true;
    const QSqlError why = end.lastError();
    setLastError(end.isActive() ? QSqlError(QStringLiteral("Unable to commit"), QStringLiteral("the transaction was rolled back"),
                                            QSqlError::TransactionError)
                                : QSqlError(why.driverText(), why.databaseText(),
                                            isOpen() ? QSqlError::TransactionError : QSqlError::ConnectionError,
                                            why.nativeErrorCode()));
    // A COMMIT skipped after a failed statement leaves the transaction open.
    if (isOpen() && PQtransactionStatus(conn_) != PQTRANS_IDLE) runNow("ROLLBACK");
    return false;
}

void Driver::sendNow(Result& into, const QByteArray& sql) {
    Statement statement;
    statement.text = sql;
    statement.owner = &into;
    queue_.push_back(std::move(statement));
    flush();
}

bool Driver::runNow(const QByteArray& sql) {
    Result result(this, this);
    sendNow(result, sql);
    if (!result.isActive()) setLastError(result.lastError());
    return result.isActive();
}

QStringList Driver::tables(QSql::TableType type) const {
    QStringList kinds;
    if (type & QSql::Tables) kinds << QStringLiteral("'r'") << QStringLiteral("'p'");
    if (type & QSql::Views) kinds << QStringLiteral("'v'") << QStringLiteral("'m'");
    QStringList names;
    if (kinds.isEmpty() || !isOpen()) return names;
    QSqlQuery query(createResult());
    query.exec(QStringLiteral("SELECT relname FROM pg_class WHERE relkind IN (%1) AND pg_table_is_visible(oid) "
                              "AND relnamespace NOT IN ('pg_catalog'::regnamespace, 'information_schema'::regnamespace)")
                   .arg(kinds.join(QLatin1Char(','))));
    while (query.next()) names << query.value(0).toString();
    return names;
}

bool Driver::subscribeToNotification(const QString& name) {
    if (!isOpen() || !runNow("LISTEN " + quotedName(name))) return false;
    if (!channels_.contains(name)) channels_ << name;
    if (!notifier_) {
        notifier_ = new QSocketNotifier(PQsocket(conn_), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            // A link gone stays readable: it is left to the next statement to find.
            if (!conn_ || !PQconsumeInput(conn_)) notifier_->setEnabled(false);
            else takeNotifications();
        });
    }
    return true;
}

bool Driver::unsubscribeFromNotification(const QString& name) {
    if (!isOpen() || !channels_.contains(name) || !runNow("UNLISTEN " + quotedName(name))) return false;
    channels_.removeAll(name);
    if (channels_.isEmpty()) {
        delete notifier_;
        notifier_ = nullptr;
    }
    return true;
}

void Driver::takeIdleInput() {
    if (!isOpen() || streaming_ || !queue_.empty() || PQisBusy(conn_)) return;
    // A closing server sends its reason, then the end of the stream: a few reads find both.
    for (int reads = 0; reads < 4 && waitFor(POLLIN, 0); ++reads)
        if (!PQconsumeInput(conn_)) break;
    takeNotifications();
}

void Driver::takeNotifications() {
    if (!conn_) return;
    while (PGnotify* n = PQnotifies(conn_)) {
        notes_.push_back({QString::fromUtf8(n->relname), n->be_pid == PQbackendPID(conn_) ? SelfSource : OtherSource,
                          QString::fromUtf8(n->extra)});
        PQfreemem(n);
    }
    if (notes_.empty() || notesQueued_) return;
    // Told from the event loop, never from inside a statement's wait.
    notesQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            notesQueued_ = false;
            for (const Note& note : std::exchange(notes_, {}))
                if (channels_.contains(note.channel)) emit notification(note.channel, note.source, note.payload);
        },
        Qt::QueuedConnection);
}

}  // namespace zartav::pg
