#pragma once

// The result of one statement on the server driver's connection: its answer, or its rows one
// at a time as they arrive for a forward-only query, read through QSqlResult.

#include "data/engine/pg_values.h"

#include <QByteArray>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>

#include <libpq-fe.h>

#include <vector>

namespace zartav::pg {

class Driver;
class Result;

struct Statement {
    QByteArray text;
    std::vector<Param> params;
    bool extended = false;  // sent with its values apart (Parse/Bind/Execute)
    bool single = true;     // one statement
    bool opener = false;    // only opens a transaction
    Result* owner = nullptr;
};

// What a result asks of the connection it belongs to.
class Runner {
public:
    // Runs a statement for `owner` now, or queues it (in a batch, or one that only opens a
    // transaction); false when it failed.
    virtual bool run(Result* owner, Statement statement) = 0;
    // Sends what is queued and hands each statement its answer. When `stream` owns the last
    // statement, its rows are left to arrive one at a time.
    virtual void flush(Result* stream = nullptr) = 0;
    // The owner goes: its answers are not wanted, its unread rows are drained.
    virtual void forget(Result* owner) = 0;
    // The next row of the stream `reader` reads; at its end the statement's last result (the
    // end of the rows, or an error). Null when the stream was cut off.
    virtual PGresult* nextRow(Result* reader) = 0;
    virtual QSqlError errorOf(PGresult* res) const = 0;

protected:
    ~Runner() = default;
};

class Result final : public QSqlResult {
public:
    // `runner` is the connection `driver` runs statements by.
    Result(const QSqlDriver* driver, Runner* runner);
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

    // Null once the connection has gone.
    Runner* drv() const { return driver() ? runner_ : nullptr; }
    // Forgets the answer, and any still to come.
    void drop();
    // Has a queued answer sent for; false when the statement did not run.
    bool settled();
    void answer(PGresult* res);
    void refuse(const QSqlError& error);
    // The rest of the rows were dropped for a later statement on the connection.
    void cutOff();
    int row() const { return streamed_ ? 0 : at(); }

    Runner* runner_;
    QByteArray prepared_;
    PGresult* res_ = nullptr;
    bool queued_ = false;    // sent for later, or not sent yet: no answer so far
    bool streamed_ = false;  // rows come one at a time; res_ holds the current one
    bool more_ = false;      // and more may follow
};

}  // namespace zartav::pg
