#include "data/link/store_worker.h"

#include "data/link/change_watch.h"
#include "data/engine/pg_driver.h"
#include "data/history/record_history.h"
#include "data/engine/server_link.h"
#include "data/schema/store_integrity.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlError>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>

namespace zartav {

// What the window's thread and the worker's share.
struct WorkerState {
    std::mutex mutex;
    quint64 running = 0;  // the ticket of the read running now, 0 when none may be stopped
    std::chrono::steady_clock::time_point runningSince;
    sqlite3* file = nullptr;  // the worker's link to the file, to stop a read on it
    pg::Interrupter server;   // the worker's link to the server, to cancel a read on it
    // A cancel on its way to the server: the next job waits until the server has taken it, so
    // it can only ever cancel the read it was meant for.
    std::shared_future<void> cancelling;
    std::atomic<quint64> tickets{0};
    std::atomic<quint64> jobsRun{0};
    std::atomic<quint64> roundTrips{0};
    int pending = 0;  // jobs posted whose answers have not come back; on the window's thread only
    std::atomic<bool> leaving{false};  // the worker is going: reads not begun are nobody's
};

namespace {

QString workerConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("zartav-worker-%1").arg(++counter);
}

// A link that failed to come back is not tried again for this long: a save in an outage fails
// at once instead of waiting on one more attempt.
constexpr int kRetryPause = 1500;
// No answer from the server for this long is a dead link (a paused server keeps its connections
// open), and a link not made in this long is not there: a save in an outage fails within their
// sum, and the link is tried again later. A district's link answers within a fraction of either.
constexpr int kAnswerTimeout = 2500;
// A read still running when a save comes has met a link that does not answer: it is dropped, so
// the save need not wait out the read.
constexpr auto kReadGivenUp = std::chrono::milliseconds(1000);
// A server's read is cancelled only once it has run this long: a cancel costs a round trip of
// its own, which a short read's answer beats anyway.
constexpr auto kWorthCancelling = std::chrono::milliseconds(250);

}  // namespace

// Lives on the worker's thread: its link to the store, and the jobs run over it.
class StoreWorker::Runner : public QObject, public StoreLink {
public:
    Runner(StoreWorker& owner, std::shared_ptr<WorkerState> state)
        : owner_(owner), state_(std::move(state)), name_(workerConnectionName()) {}

    QSqlDatabase database() const override { return QSqlDatabase::database(name_, false); }
    bool isServer() const override { return settings_.address.isServer(); }
    QString serverSchema() const override { return settings_.serverSchema; }
    QString catalogueOrder() const override { return settings_.catalogueOrder; }
    bool isLost() const override { return isServer() && (!opened_ || server::isLost(database())); }
    QString technicalError() const override { return technicalError_; }
    quint64 openings() const override { return openings_; }

    bool reconnect() override {
        if (!isServer()) return opened_;
        if (sinceFailure_.isValid() && sinceFailure_.elapsed() < kRetryPause) return false;
        // A job that met a quick failure (a restarted server) tries again on a new link; one
        // that waited long for an answer leaves that to the next job or the watch.
        if (jobClock_.isValid() && jobClock_.elapsed() > kAnswerTimeout / 2) return false;
        ++openings_;
        QSqlDatabase db = database();
        db.close();
        opened_ = openLink(db, settings_, &technicalError_);
        if (opened_) sinceFailure_.invalidate();
        else sinceFailure_.start();
        shareInterrupters();
        return opened_;
    }

    void open(const LinkSettings& settings, bool ahead = false) {
        const LinkSettings wanted = withQuickConnect(settings);
        // The link made ahead to this server as this desk serves: only what the open found is new.
        if (!ahead && opened_ && isServer() && wanted.address.isServer() && wanted.address.display() == settings_.address.display() &&
            wanted.address.password() == settings_.address.password() && !server::isLost(database())) {
            settings_ = wanted;
            ++openings_;
            if (watching_) watch_->start();
            return;
        }
        close();
        settings_ = wanted;
        if (settings_.address.filePath().isEmpty() && !settings_.address.isServer()) return;
        QSqlDatabase db = QSqlDatabase::addDatabase(settings_.address.isServer() ? SqlDialect::of(StoreEngine::Server).driver()
                                                                                 : QStringLiteral("QSQLITE"),
                                                    name_);
        ++openings_;
        sinceFailure_.invalidate();
        if (isServer()) pg::setAnswerTimeout(db, kAnswerTimeout);
        opened_ = openLink(db, settings_, &technicalError_);
        if (!opened_) sinceFailure_.start();
        shareInterrupters();
        if (watching_ && !ahead) watch_->start();
    }

    void close() {
        if (watch_) watch_->stop();
        {
            std::lock_guard lock(state_->mutex);
            state_->file = nullptr;
            state_->server = {};
        }
        if (QSqlDatabase::contains(name_)) {
            database().close();
            QSqlDatabase::removeDatabase(name_);
        }
        opened_ = false;
        ++openings_;
    }

    void run(quint64 ticket, bool stoppable, const Job& job) {
        std::shared_future<void> cancelling;
        {
            std::lock_guard lock(state_->mutex);
            cancelling = std::exchange(state_->cancelling, {});
        }
        if (cancelling.valid()) cancelling.wait_for(std::chrono::milliseconds(kAnswerTimeout));
        {
            std::lock_guard lock(state_->mutex);
            state_->running = stoppable ? ticket : 0;
            state_->runningSince = std::chrono::steady_clock::now();
        }
        const bool wasUp = !isLost();
        jobClock_.start();
        job(*this);
        jobClock_.invalidate();
        {
            std::lock_guard lock(state_->mutex);
            state_->running = 0;
        }
        // A link that went down during the job (most often a server that stopped answering) is
        // not tried again at once: the next save fails now instead of waiting out a connect.
        if (wasUp && isLost()) sinceFailure_.start();
        ++state_->jobsRun;
        state_->roundTrips = pg::roundTrips(database());
        tellLinkState();
    }

    void watch() {
        watching_ = true;
        if (!watch_) {
            // The server's link is looked at every two seconds, a lost one tried again then.
            watch_ = new ChangeWatch(*this, isServer() ? 2000 : 500, this);
            connect(watch_, &ChangeWatch::changed, &owner_,
                    [owner = &owner_] { emit owner->connection().changedElsewhere(); }, Qt::QueuedConnection);
            connect(watch_, &ChangeWatch::linkBack, this, &Runner::tellLinkState);
            connect(watch_, &ChangeWatch::linkLost, this, &Runner::tellLinkState);
        }
        if (opened_ || isServer()) watch_->start();
    }

private:
    void shareInterrupters() {
        std::lock_guard lock(state_->mutex);
        state_->file = opened_ && !isServer() ? integrity::handleOf(database()) : nullptr;
        state_->server = opened_ && isServer() ? pg::Interrupter::of(database()) : pg::Interrupter();
    }

    void tellLinkState() {
        const bool lost = isLost();
        if (lost == toldLost_) return;
        toldLost_ = lost;
        QMetaObject::invokeMethod(&owner_, [owner = &owner_, lost] { owner->setLinkLost(lost); }, Qt::QueuedConnection);
    }

    StoreWorker& owner_;
    std::shared_ptr<WorkerState> state_;
    QString name_;
    LinkSettings settings_;
    bool opened_ = false;
    bool toldLost_ = false;
    QString technicalError_;
    quint64 openings_ = 0;
    QElapsedTimer sinceFailure_;
    QElapsedTimer jobClock_;  // while a job runs
    ChangeWatch* watch_ = nullptr;
    bool watching_ = false;
};

StoreWorker::StoreWorker(Connection& connection, Mode mode)
    : connection_(connection), mode_(mode), state_(std::make_shared<WorkerState>()) {
    if (mode_ == Mode::Inline) return;
    runner_ = new Runner(*this, state_);
    runner_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, runner_, &QObject::deleteLater);
    thread_.setObjectName(QStringLiteral("store worker"));
    thread_.start();
}

StoreWorker::~StoreWorker() {
    if (mode_ == Mode::Inline) return;
    // Reads posted and not begun are not run: across a slow link they would hold up the close.
    state_->leaving = true;
    {
        // A read still running is not waited for.
        std::lock_guard lock(state_->mutex);
        if (state_->running && state_->file) sqlite3_interrupt(state_->file);
    }
    QMetaObject::invokeMethod(runner_, [runner = runner_] { runner->close(); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void StoreWorker::follow() {
    if (mode_ == Mode::Inline) return;
    // Several tables follow one connection: its store is taken up once.
    if (followed_ == connection_.openings()) return;
    followed_ = connection_.openings();
    // The connection's own link may be down meanwhile: the worker makes its own to the same store.
    const LinkSettings settings = connection_.holdsStore() ? connection_.linkSettings() : LinkSettings{};
    QMetaObject::invokeMethod(runner_, [runner = runner_, settings] { runner->open(settings); }, Qt::QueuedConnection);
}

void StoreWorker::linkAhead(const StoreAddress& address) {
    if (mode_ == Mode::Inline || !address.isServer()) return;
    LinkSettings settings;
    settings.address = address;
    QMetaObject::invokeMethod(runner_, [runner = runner_, settings] { runner->open(settings, true); }, Qt::QueuedConnection);
}

quint64 StoreWorker::post(Job job, std::function<void()> done) {
    const quint64 ticket = ++state_->tickets;
    if (mode_ == Mode::Inline) {
        job(connection_);
        ++state_->jobsRun;
        if (done) done();
        return ticket;
    }
    ++state_->pending;
    QMetaObject::invokeMethod(
        runner_,
        [this, runner = runner_, state = state_, ticket, job = std::move(job), done = std::move(done)] {
            if (state->leaving) return;
            runner->run(ticket, true, job);
            QMetaObject::invokeMethod(
                this,
                [this, done] {
                    --state_->pending;
                    if (done) done();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return ticket;
}

void StoreWorker::call(const Job& job) {
    const quint64 ticket = ++state_->tickets;
    if (mode_ == Mode::Inline) {
        job(connection_);
        ++state_->jobsRun;
        return;
    }
    {
        std::lock_guard lock(state_->mutex);
        if (state_->running && std::chrono::steady_clock::now() - state_->runningSince >= kReadGivenUp) state_->server.abandon();
    }
    QEventLoop waiting;
    bool finished = false;
    QMetaObject::invokeMethod(
        runner_,
        [this, runner = runner_, ticket, &job, &waiting, &finished] {
            runner->run(ticket, false, job);
            QMetaObject::invokeMethod(
                this,
                [&waiting, &finished] {
                    finished = true;
                    waiting.quit();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    while (!finished) waiting.exec(QEventLoop::ExcludeUserInputEvents);
}

void StoreWorker::interrupt(quint64 ticket) {
    std::lock_guard lock(state_->mutex);
    if (ticket == 0 || state_->running != ticket) return;
    if (state_->file) sqlite3_interrupt(state_->file);
    else if (std::chrono::steady_clock::now() - state_->runningSince >= kWorthCancelling && !state_->cancelling.valid())
        state_->cancelling = state_->server.cancel();
}

bool StoreWorker::isIdle() const { return state_->pending == 0; }

quint64 StoreWorker::exchanges() const {
    return connection_.isServer() ? quint64(state_->roundTrips) : quint64(state_->jobsRun);
}

void StoreWorker::watchChanges() {
    if (mode_ == Mode::Inline) {
        connection_.watchChanges();
        return;
    }
    QMetaObject::invokeMethod(runner_, [runner = runner_] { runner->watch(); }, Qt::QueuedConnection);
}

void StoreWorker::setLinkLost(bool lost) {
    if (lost == linkLost_) return;
    linkLost_ = lost;
    if (lost) emit linkLost();
    else emit linkBack();
}

}  // namespace zartav
