#pragma once

// The store's worker: reads (and saves) run on a thread of its own, over a link of its own to
// the store the program's connection has open, so the window never waits on the store to read.
// The window hands it jobs and goes on; each job's answer comes back to the window's thread.
//
// A worker may also run inline, at once on the caller's thread and over the connection itself:
// the command line and tests use the same code without an event loop or a second link.

#include "data/link/connection.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

namespace zartav {

class StoreWorker : public QObject {
    Q_OBJECT
public:
    enum class Mode { Inline, Threaded };
    StoreWorker(Connection& connection, Mode mode);
    ~StoreWorker() override;
    StoreWorker(const StoreWorker&) = delete;
    StoreWorker& operator=(const StoreWorker&) = delete;

    Mode mode() const { return mode_; }
    Connection& connection() const { return connection_; }

    // Takes up the store the connection has open now (a link of its own to it), or lets the
    // last one go when the connection is closed. Jobs posted before belong to the store before.
    void follow();
    // Starts making the worker's link to the server at `address` while the connection opens,
    // the round trips of the two links overlapping; follow() keeps it when the store opened is
    // that one, reached as the same desk. Nothing is read over it before follow().
    void linkAhead(const StoreAddress& address);

    using Job = std::function<void(StoreLink& link)>;
    // Runs `job` on the worker's link, one job at a time in the order given; `done` then runs on
    // this object's thread, unless the worker is gone. Answers a ticket for interrupt().
    quint64 post(Job job, std::function<void()> done = {});
    // Runs `job` and waits for it. Inline at once; else the caller's thread waits in an event
    // loop that keeps the windows painting and holds user input back.
    void call(const Job& job);
    // Stops the read of `ticket` if it is running now, nobody wanting its answer any more: the
    // statement running fails. A job called (a save) is never stopped.
    void interrupt(quint64 ticket);

    // Exchanges with the store so far: on the server the round trips of the worker's link, on
    // the file the jobs run. What the tests hold each action's cost to.
    quint64 exchanges() const;
    // No job posted is still waiting for its answer.
    bool isIdle() const;
    // While the server cannot be reached; the file never loses its link.
    bool isLinkLost() const { return linkLost_; }

    // From now on changes committed elsewhere reach Connection::changedElsewhere, and a lost
    // link is made again after a pause.
    void watchChanges();

signals:
    void linkLost();
    void linkBack();

private:
    class Runner;
    void setLinkLost(bool lost);

    Connection& connection_;
    Mode mode_;
    QThread thread_;
    Runner* runner_ = nullptr;
    std::shared_ptr<struct WorkerState> state_;
    bool linkLost_ = false;
    quint64 followed_ = 0;  // the connection's openings when its store was taken up
};

}  // namespace zartav
