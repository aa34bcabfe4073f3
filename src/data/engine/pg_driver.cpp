#include "data/engine/pg_driver.h"

#include <QDateTime>
#include <QMetaType>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QUuid>

#include <libpq-fe.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

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

    ~Link() {
        if (socket >= 0) ::close(socket);
    }
    // Under the mutex.
    void share(int librarySocket) {
        if (socket >= 0) ::close(socket);
        socket = librarySocket >= 0 ? ::fcntl(librarySocket, F_DUPFD_CLOEXEC, 0) : -1;
    }
};

namespace {

QString ourName() { return QStringLiteral("ZARTAV_PG"); }

// Type OIDs of the server's built-in types.
enum : Oid {
    kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
    kDate = 1082, kTime = 1083, kTimestamp = 1114, kTimestampTz = 1184, kTimeTz = 1266, kNumeric = 1700,
};

QMetaType typeOf(Oid oid) {
    switch (oid) {
    case kBool: return QMetaType(QMetaType::Bool);
    case kInt2:
    case kInt4: return QMetaType(QMetaType::Int);
    case kInt8: return QMetaType(QMetaType::LongLong);
    case kOid: return QMetaType(QMetaType::UInt);
    case kFloat4:
    case kFloat8:
    case kNumeric: return QMetaType(QMetaType::Double);
    case kDate: return QMetaType(QMetaType::QDate);
    case kTime:
    case kTimeTz: return QMetaType(QMetaType::QTime);
    case kTimestamp:
    case kTimestampTz: return QMetaType(QMetaType::QDateTime);
    case kBytea: return QMetaType(QMetaType::QByteArray);
    default: return QMetaType(QMetaType::QString);
    }
}

// ---- statement text -------------------------------------------------------------------------

bool continuesWord(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

// Index just past the string literal, quoted name, comment or dollar-quoted text that begins at
// `i`; `i` itself when none begins there.
qsizetype pastQuoted(QStringView sql, qsizetype i) {
    const qsizetype n = sql.size();
    const QChar c = sql[i];
    const QChar after = i + 1 < n ? sql[i + 1] : QChar();
    if (c == u'\'' || c == u'"') {
        // E'...' takes backslash escapes.
        const bool escapes = c == u'\'' && i > 0 && (sql[i - 1] == u'E' || sql[i - 1] == u'e') &&
                             (i < 2 || !continuesWord(sql[i - 2]));
        for (qsizetype k = i + 1; k < n; ++k) {
            if (escapes && sql[k] == u'\\') {
                ++k;
            } else if (sql[k] == c) {
                if (k + 1 < n && sql[k + 1] == c) ++k;
                else return k + 1;
            }
        }
        return n;
    }
    if (c == u'-' && after == u'-') {
        const qsizetype end = sql.indexOf(u'\n', i);
        return end < 0 ? n : end;
    }
    if (c == u'/' && after == u'*') {
        int depth = 0;
        for (qsizetype k = i; k + 1 < n; ++k) {
            if (sql[k] == u'/' && sql[k + 1] == u'*') {
                ++depth;
                ++k;
            } else if (sql[k] == u'*' && sql[k + 1] == u'/') {
                ++k;
                if (--depth == 0) return k + 1;
            }
        }
        return n;
    }
    if (c == u'$' && (i == 0 || !continuesWord(sql[i - 1]))) {
        qsizetype k = i + 1;
        if (k < n && (sql[k].isLetter() || sql[k] == u'_'))
            while (k < n && (sql[k].isLetterOrNumber() || sql[k] == u'_')) ++k;
        if (k < n && sql[k] == u'$') {
            const QStringView tag = sql.mid(i, k + 1 - i);
            const qsizetype end = sql.indexOf(tag, k + 1);
            return end < 0 ? n : end + tag.size();
        }
    }
    return i;
}

// The statement with its '?' placeholders numbered as the server takes them: $1, $2, ...
QByteArray numbered(const QString& sql) {
    QString out;
    out.reserve(sql.size() + 16);
    int count = 0;
    for (qsizetype i = 0; i < sql.size();) {
        if (const qsizetype end = pastQuoted(sql, i); end > i) {
            out += QStringView(sql).mid(i, end - i);
            i = end;
            continue;
        }
        if (sql[i] == u'?') out += QLatin1Char('$') + QString::number(++count);
        else out += sql[i];
        ++i;
    }
    return out.toUtf8();
}

// How many statements a text holds: ';' apart, a comment alone is none.
int statementCount(const QString& sql) {
    int count = 0;
    bool content = false;
    for (qsizetype i = 0; i < sql.size();) {
        if (const qsizetype end = pastQuoted(sql, i); end > i) {
            if (sql[i] != u'-' && sql[i] != u'/') content = true;
            i = end;
            continue;
        }
        if (sql[i] == u';') {
            count += content;
            content = false;
        } else if (!sql[i].isSpace()) {
            content = true;
        }
        ++i;
    }
    return count + content;
}

bool opensTransaction(const QString& sql) {
    static const QRegularExpression opener(QStringLiteral("^\\s*(BEGIN|START\\s+TRANSACTION)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    return opener.match(sql).hasMatch();
}

QByteArray quotedName(const QString& name) {
    return '"' + name.toUtf8().replace('"', "\"\"") + '"';
}

// ---- bound values ---------------------------------------------------------------------------

struct Param {
    QByteArray bytes;
    bool null = false;
    bool binary = false;
};

// As Qt's own drivers take it: a null or invalid value of these types binds NULL.
bool boundNull(const QVariant& v) {
    if (v.isNull()) return true;
    switch (v.typeId()) {
    case QMetaType::QString: return v.toString().isNull();
    case QMetaType::QByteArray: return v.toByteArray().isNull();
    case QMetaType::QDate: return v.toDate().isNull();
    case QMetaType::QTime: return !v.toTime().isValid();
    case QMetaType::QDateTime: return !v.toDateTime().isValid();
    case QMetaType::QUuid: return v.toUuid().isNull();
    default: return false;
    }
}

// Values go as text of no stated type, so the server types each by where it stands, as it does
// a literal; bytes go as they are.
Param paramOf(const QVariant& v) {
    if (boundNull(v)) return {{}, true};
    switch (v.typeId()) {
    case QMetaType::QByteArray: return {v.toByteArray(), false, true};
    case QMetaType::Bool: return {v.toBool() ? "true" : "false"};
    case QMetaType::Float:
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (qIsNaN(d)) return {"NaN"};
        if (qIsInf(d)) return {d < 0 ? "-Infinity" : "Infinity"};
        return {QByteArray::number(d, 'g', QLocale::FloatingPointShortest)};
    }
    case QMetaType::QDate: return {v.toDate().toString(Qt::ISODate).toLatin1()};
    case QMetaType::QTime: return {v.toTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1()};
    case QMetaType::QDateTime: return {v.toDateTime().toUTC().toString(Qt::ISODateWithMs).toLatin1()};
    default: return {v.toString().toUtf8()};
    }
}

struct Statement;
class Driver;

// ---- the result of one statement ------------------------------------------------------------

class Result final : public QSqlResult {
public:
    explicit Result(const Driver* driver);
    ~Result() override;

protected:
    bool reset(const QString& sql) override;
    bool prepare(const QString& sql) override;
    bool exec() override;
    QVariant data(int field) override;
    bool isNull(int field) override;
    bool fetch(int i) override;
    bool fetchNext() override;
    bool fetchFirst() override;
    bool fetchLast() override;
    int size() override;
    int numRowsAffected() override;
    QSqlRecord record() const override;
    void detachFromResultSet() override;

private:
    friend class Driver;

    Driver* drv() const;
    // Forgets the answer, and any still to come.
    void drop();
    // Has a queued answer sent for; false when the statement did not run.
    bool settled();
    void answer(PGresult* res);
    void refuse(const QSqlError& error);
    // The rest of the rows were dropped for a later statement on the connection.
    void cutOff();
    int row() const { return streamed_ ? 0 : at(); }
    QVariant number(const QByteArray& text, bool numeric) const;

    QByteArray prepared_;
    PGresult* res_ = nullptr;
    bool queued_ = false;    // sent for later, or not sent yet: no answer so far
    bool streamed_ = false;  // rows come one at a time; res_ holds the current one
    bool more_ = false;      // and more may follow
};

struct Statement {
    QByteArray text;
    std::vector<Param> params;
    bool extended = false;  // sent with its values apart (Parse/Bind/Execute)
    bool single = true;     // one statement
    bool opener = false;    // only opens a transaction
    Result* owner = nullptr;
};

// ---- the connection -------------------------------------------------------------------------

class Driver final : public QSqlDriver {
public:
    Driver() = default;
    ~Driver() override { close(); }

    bool hasFeature(DriverFeature feature) const override;
    bool open(const QString& db, const QString& user, const QString& password, const QString& host, int port,
              const QString& options) override;
    void close() override;
    bool isOpen() const override { return conn_ && PQstatus(conn_) == CONNECTION_OK; }
    QSqlResult* createResult() const override { return new Result(this); }
    QVariant handle() const override { return QVariant::fromValue(conn_); }
    bool beginTransaction() override;
    bool commitTransaction() override { return endTransaction("COMMIT"); }
    bool rollbackTransaction() override { return endTransaction("ROLLBACK"); }
    QStringList tables(QSql::TableType type) const override;
    bool subscribeToNotification(const QString& name) override;
    bool unsubscribeFromNotification(const QString& name) override;
    QStringList subscribedToNotifications() const override { return channels_; }

    // Runs a statement for `owner` now, or queues it (in a batch, or one that only opens a
    // transaction); false when it failed.
    bool run(Result* owner, Statement statement);
    // Sends what is queued and hands each statement its answer. When `stream` owns the last
    // statement, its rows are left to arrive one at a time.
    void flush(Result* stream = nullptr);
    bool onlyOpenersQueued() const {
        return std::all_of(queue_.begin(), queue_.end(), [](const Statement& s) { return s.opener; });
    }
    // The owner goes: its answers are not wanted, its unread rows are drained.
    void forget(Result* owner);
    // The next row of the stream `reader` reads; at its end the statement's last result (the
    // end of the rows, or an error). Null when the stream was cut off.
    PGresult* nextRow(Result* reader);
    QSqlError errorOf(PGresult* res) const;
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

Driver* ours(const QSqlDatabase& db) { return dynamic_cast<Driver*>(db.driver()); }

// The connect options as QSqlDatabase::setConnectOptions takes them: key=value pairs apart by
// ';', a value in single quotes taking backslash escapes.
std::vector<std::pair<QByteArray, QByteArray>> connectOptions(const QString& text) {
    std::vector<std::pair<QByteArray, QByteArray>> options;
    const QByteArray s = text.toUtf8();
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto blank = [&](qsizetype k) { return s[k] == ';' || s[k] == ' ' || s[k] == '\t' || s[k] == '\n'; };
    for (;;) {
        while (i < n && blank(i)) ++i;
        const qsizetype equals = s.indexOf('=', i);
        if (i >= n || equals < 0) break;
        const QByteArray key = s.mid(i, equals - i).trimmed();
        i = equals + 1;
        while (i < n && s[i] == ' ') ++i;
        QByteArray value;
        if (i < n && s[i] == '\'') {
            for (++i; i < n && s[i] != '\''; ++i) {
                if (s[i] == '\\' && i + 1 < n) ++i;
                value += s[i];
            }
            ++i;
        } else {
            while (i < n && !blank(i)) value += s[i++];
        }
        options.emplace_back(key, value);
    }
    return options;
}

QString timeoutText(int ms) { return QStringLiteral("timeout expired: the server gave no answer within %1 ms").arg(ms); }

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
    std::vector<std::pair<QByteArray, QByteArray>> params;
    auto add = [&params](const char* key, const QString& value) {
        if (!value.isEmpty()) params.emplace_back(key, value.toUtf8());
    };
    add("host", host);
    add("port", port > 0 ? QString::number(port) : QString());
    add("user", user);
    add("password", password);
    add("dbname", db);
    // What the results are read by goes in the startup packet: no statement after connecting.
    QByteArray startup = "-c datestyle=ISO,YMD -c extra_float_digits=3";
    int connectTimeoutMs = 0;
    for (const auto& [key, value] : connectOptions(options)) {
        if (key == "zartav_answer_timeout_ms") answerTimeoutMs = value.toInt();
        else if (key == "options") startup = value + ' ' + startup;
        else params.emplace_back(key, value);
        // As the client library reads it: seconds, 2 at least.
        if (key == "connect_timeout" && value.toInt() > 0) connectTimeoutMs = std::max(2, value.toInt()) * 1000;
    }
    params.emplace_back("options", startup);
    params.emplace_back("client_encoding", "UTF8");
    std::vector<const char*> keys, values;
    for (const auto& [key, value] : params) {
        keys.push_back(key.constData());
        values.push_back(value.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);

    link->abandoned = false;
    conn_ = PQconnectStartParams(keys.data(), values.data(), 0);
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
    Result end(this);
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
    Result result(this);
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

// ---- Result ---------------------------------------------------------------------------------

Result::Result(const Driver* driver) : QSqlResult(driver) {}

Result::~Result() { drop(); }

Driver* Result::drv() const { return const_cast<Driver*>(static_cast<const Driver*>(driver())); }

void Result::drop() {
    if (Driver* d = drv()) d->forget(this);
    PQclear(res_);
    res_ = nullptr;
    queued_ = streamed_ = more_ = false;
    setAt(QSql::BeforeFirstRow);
    setActive(false);
    setSelect(false);
}

bool Result::reset(const QString& sql) {
    drop();
    Driver* d = drv();
    if (!d) return false;
    const int statements = statementCount(sql);
    Statement statement;
    statement.text = sql.toUtf8();
    statement.single = statements <= 1;
    statement.opener = statements == 1 && opensTransaction(sql);
    return d->run(this, std::move(statement));
}

bool Result::prepare(const QString& sql) {
    drop();
    prepared_ = numbered(sql);
    return drv() != nullptr;
}

bool Result::exec() {
    drop();
    Driver* d = drv();
    if (!d) return false;
    Statement statement;
    statement.text = prepared_;
    statement.extended = true;
    for (const QVariant& v : boundValues()) statement.params.push_back(paramOf(v));
    return d->run(this, std::move(statement));
}

void Result::answer(PGresult* res) {
    queued_ = false;
    PQclear(res_);
    res_ = res;
    streamed_ = more_ = PQresultStatus(res) == PGRES_SINGLE_TUPLE;
    setSelect(PQresultStatus(res) != PGRES_COMMAND_OK);
    setActive(true);
}

void Result::refuse(const QSqlError& error) {
    queued_ = false;
    setSelect(false);
    setActive(false);
    setLastError(error);
}

void Result::cutOff() {
    more_ = false;
    setLastError(QSqlError(QStringLiteral("rows dropped"),
                           QStringLiteral("the rest of the rows were dropped: another statement ran on the connection first"),
                           QSqlError::StatementError));
}

bool Result::settled() {
    if (queued_) {
        if (Driver* d = drv()) d->flush();
        if (queued_) refuse(QSqlError(QStringLiteral("not sent"), QStringLiteral("the connection is gone"), QSqlError::ConnectionError));
    }
    return isActive();
}

void Result::detachFromResultSet() { drop(); }

bool Result::fetch(int i) {
    if (!settled() || !isSelect() || i < 0) return false;
    if (at() == i) return true;
    if (streamed_) {
        while (at() < i)
            if (at() == QSql::AfterLastRow || !fetchNext()) return false;
        return at() == i;
    }
    if (i >= PQntuples(res_)) return false;
    setAt(i);
    return true;
}

bool Result::fetchFirst() {
    if (!settled() || !isSelect()) return false;
    if (!streamed_) return fetch(0);
    if (at() == 0) return true;
    if (at() != QSql::BeforeFirstRow || PQntuples(res_) != 1) return false;
    setAt(0);
    return true;
}

bool Result::fetchNext() {
    if (!settled() || !isSelect()) return false;
    if (at() == QSql::BeforeFirstRow) return fetchFirst();
    if (!streamed_) return fetch(at() + 1);
    if (!more_) return false;
    Driver* d = drv();
    PGresult* row = d ? d->nextRow(this) : nullptr;
    if (!row) {
        more_ = false;
        return false;
    }
    if (PQresultStatus(row) == PGRES_SINGLE_TUPLE) {
        PQclear(res_);
        res_ = row;
        setAt(at() + 1);
        return true;
    }
    more_ = false;
    if (PQresultStatus(row) == PGRES_TUPLES_OK) {
        // The end of the rows: the columns and the count stay readable.
        PQclear(res_);
        res_ = row;
    } else {
        setLastError(d->errorOf(row));
        PQclear(row);
    }
    return false;
}

bool Result::fetchLast() {
    if (!settled() || !isSelect()) return false;
    if (!streamed_) return fetch(PQntuples(res_) - 1);
    while (fetchNext()) {
    }
    return false;
}

QVariant Result::number(const QByteArray& text, bool numeric) const {
    if (numeric && numericalPrecisionPolicy() == QSql::HighPrecision) return QString::fromLatin1(text);
    bool ok = false;
    double value = text.toDouble(&ok);
    if (!ok) {
        if (text == "NaN") value = qQNaN();
        else if (text == "Infinity") value = qInf();
        else if (text == "-Infinity") value = -qInf();
        else return {};
    }
    if (numeric && numericalPrecisionPolicy() == QSql::LowPrecisionInt64) return qlonglong(value);
    if (numeric && numericalPrecisionPolicy() == QSql::LowPrecisionInt32) return int(value);
    return value;
}

QVariant Result::data(int field) {
    if (!res_ || field < 0 || field >= PQnfields(res_) || row() < 0 || row() >= PQntuples(res_)) return {};
    const Oid oid = PQftype(res_, field);
    const QMetaType type = typeOf(oid);
    if (PQgetisnull(res_, row(), field)) return QVariant(type, nullptr);
    const char* text = PQgetvalue(res_, row(), field);
    const QByteArray raw = QByteArray::fromRawData(text, PQgetlength(res_, row(), field));
    switch (type.id()) {
    case QMetaType::Bool: return raw == "t";
    case QMetaType::Int: return raw.toInt();
    case QMetaType::UInt: return raw.toUInt();
    case QMetaType::LongLong: return raw.toLongLong();
    case QMetaType::Double: return number(raw, oid == kNumeric);
    case QMetaType::QDate: return QDate::fromString(QString::fromLatin1(raw), Qt::ISODate);
    case QMetaType::QTime: return QTime::fromString(QString::fromLatin1(raw), Qt::ISODate);
    case QMetaType::QDateTime: return QDateTime::fromString(QString::fromLatin1(raw), Qt::ISODate).toLocalTime();
    case QMetaType::QByteArray: {
        size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
        const QByteArray value(reinterpret_cast<const char*>(bytes), qsizetype(size));
        PQfreemem(bytes);
        return value;
    }
    default: return QString::fromUtf8(raw);
    }
}

bool Result::isNull(int field) {
    return !res_ || field < 0 || field >= PQnfields(res_) || row() < 0 || row() >= PQntuples(res_) ||
           PQgetisnull(res_, row(), field);
}

int Result::size() {
    if (!settled() || !isSelect() || streamed_) return -1;
    return PQntuples(res_);
}

int Result::numRowsAffected() {
    if (!settled() || more_) return -1;
    return QByteArray(PQcmdTuples(res_)).toInt();
}

QSqlRecord Result::record() const {
    QSqlRecord columns;
    if (!const_cast<Result*>(this)->settled() || !isSelect()) return columns;
    for (int i = 0; i < PQnfields(res_); ++i)
        columns.append(QSqlField(QString::fromUtf8(PQfname(res_, i)), typeOf(PQftype(res_, i))));
    return columns;
}

}  // namespace

QString driverName() {
    static std::once_flag registered;
    std::call_once(registered, [] { QSqlDatabase::registerSqlDriver(ourName(), new QSqlDriverCreator<Driver>); });
    return ourName();
}

bool isOurs(const QSqlDatabase& db) { return ours(db) != nullptr; }

quint64 roundTrips(const QSqlDatabase& db) {
    const Driver* d = ours(db);
    return d ? d->trips.load() : 0;
}

void takeIdleInput(const QSqlDatabase& db) {
    if (Driver* d = ours(db)) d->takeIdleInput();
}

void setAnswerTimeout(const QSqlDatabase& db, int ms) {
    if (Driver* d = ours(db)) d->answerTimeoutMs = std::max(ms, 0);
}

Batch::Batch(const QSqlDatabase& db) : driver_(ours(db)) {
    if (driver_) ++static_cast<Driver*>(driver_.data())->batchDepth;
}

Batch::~Batch() {
    if (!driver_) return;
    auto* d = static_cast<Driver*>(driver_.data());
    --d->batchDepth;
    // A transaction opened before the batch goes out with its first statement, as always.
    if (!d->onlyOpenersQueued()) d->flush();
}

void Batch::flush() {
    if (driver_ && !static_cast<Driver*>(driver_.data())->onlyOpenersQueued()) static_cast<Driver*>(driver_.data())->flush();
}

Interrupter Interrupter::of(const QSqlDatabase& db) {
    const Driver* d = ours(db);
    return d ? Interrupter(d->link) : Interrupter();
}

std::shared_future<void> Interrupter::cancel() const {
    std::promise<void> taken;
    std::shared_future<void> answer = taken.get_future().share();
    std::shared_ptr<PGcancel> handle;
    if (link_) {
        std::lock_guard lock(link_->mutex);
        handle = link_->cancel;
    }
    if (!handle) {
        taken.set_value();
        return answer;
    }
    // The request is a connection of its own to the server: it waits on a thread of its own.
    std::thread([handle, taken = std::move(taken)]() mutable {
        char why[256];
        PQcancel(handle.get(), why, int(sizeof why));
        taken.set_value();
    }).detach();
    return answer;
}

void Interrupter::abandon() const {
    if (!link_) return;
    std::lock_guard lock(link_->mutex);
    if (link_->socket < 0) return;
    link_->abandoned = true;
    ::shutdown(link_->socket, SHUT_RDWR);
}

}  // namespace zartav::pg
