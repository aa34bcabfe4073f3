#include "data/engine/pg_driver.h"

#include "data/engine/pg_connection.h"

#include <QSqlDatabase>

#include <libpq-fe.h>

#include <sys/socket.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <utility>

namespace zartav::pg {
namespace {

QString ourName() { return QStringLiteral("ZARTAV_PG"); }

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
