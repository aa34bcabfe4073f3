#pragma once

// The program's own Qt SQL driver for the database server, over the server's client library.
// Desks reach the server across a city network or a VPN, so what counts is the number of
// exchanges with it: each statement costs one, several independent statements can share one
// (Batch), a transaction's BEGIN goes out with its first statement, and connecting costs no
// more than the client library's own handshake. Every wait for the server is bounded (the
// answer timeout) and can be broken off from another thread (Interrupter).
//
// Beside that it behaves as Qt's own PostgreSQL driver: values are bound through '?' or
// ":name" placeholders, a forward-only query hands its rows over one at a time as they arrive,
// results are typed by their columns' types, and LISTEN/NOTIFY reach QSqlDriver::notification.

#include <QPointer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>

#include <future>
#include <memory>

namespace zartav::pg {

// The name QSqlDatabase::addDatabase takes for this driver; registers it on the first call, so
// call it before any server connection is added.
QString driverName();
bool isOurs(const QSqlDatabase& db);

// Exchanges with the server the connection of `db` has made: connecting counts one, and so does
// each flight of statements with its answers. 0 for other drivers.
quint64 roundTrips(const QSqlDatabase& db);

// The longest wait for the server (an answer, or connecting), in milliseconds; 0 waits without
// bound. Past it the link is dropped and the statement fails with a connection error whose text
// says "timeout expired". The connect option zartav_answer_timeout_ms=N sets it too.
void setAnswerTimeout(const QSqlDatabase& db, int ms);

// Takes in what the server sent the link of `db` while it sat idle, with no exchange: a server
// that went meanwhile (restarted, stopped by its administrator) said so as it closed the link,
// which is then found lost before a statement is sent over it and fails. Change notices that
// came are told as ever. Does nothing while a statement is under way, or on other drivers.
void takeIdleInput(const QSqlDatabase& db);

// While a Batch lives, statements executed on `db` are sent together in one flight:
// QSqlQuery::exec() answers true at once, and every answer arrives when any of them is first
// needed (next(), first(), value(), size(), numRowsAffected(), record(), a commit) or when the
// batch ends. A failing statement makes the server skip the rest of the flight: each query
// reports its own error, the skipped ones that they were skipped. Outside a transaction the
// flight's statements commit together. Each text executed without bound values is one
// statement here. On other drivers it does nothing.
class Batch {
public:
    explicit Batch(const QSqlDatabase& db);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // Sends what was queued so far.
    void flush();

private:
    QPointer<QSqlDriver> driver_;
};

struct Link;

// Breaks off the work of one connection from any thread, never blocking the caller. Obtained on
// the thread that owns the connection; stays safe to use after the connection has closed (it
// then does nothing).
class Interrupter {
public:
    Interrupter() = default;
    static Interrupter of(const QSqlDatabase& db);

    // Asks the server to cancel the statement it runs now; the statement fails with the
    // server's words, the connection stays. The answer is ready once the server has taken the
    // request: a statement sent after that is never the one cancelled.
    std::shared_future<void> cancel() const;
    // Drops the link at once: the statement being waited for, or the connect under way, fails
    // as a lost link.
    void abandon() const;

private:
    explicit Interrupter(std::shared_ptr<Link> link) : link_(std::move(link)) {}
    std::shared_ptr<Link> link_;
};

}  // namespace zartav::pg
