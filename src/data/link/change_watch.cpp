#include "data/link/change_watch.h"

#include "data/schema/store_schema.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

namespace zartav {

ChangeWatch::ChangeWatch(StoreLink& link, int checkEvery, QObject* parent) : QObject(parent), link_(link) {
    ticker_.setInterval(checkEvery);
    connect(&ticker_, &QTimer::timeout, this, &ChangeWatch::tick);
    // Several other desks' saves in a burst make one refresh.
    settle_.setSingleShot(true);
    settle_.setInterval(150);
    connect(&settle_, &QTimer::timeout, this, &ChangeWatch::changed);
}

void ChangeWatch::start() {
    openings_ = link_.openings();
    dataVersion_ = -1;
    lost_ = false;
    if (link_.isServer()) listen();
    else tick();
    ticker_.start();
}

void ChangeWatch::stop() {
    ticker_.stop();
    settle_.stop();
}

void ChangeWatch::listen() {
    QSqlDatabase db = link_.database();
    QSqlDriver* driver = db.driver();
    if (!db.isOpen() || !driver) return;
    if (!driver->property("zartavWatched").toBool()) {
        driver->setProperty("zartavWatched", true);
        connect(driver, &QSqlDriver::notification, this,
                [this](const QString&, QSqlDriver::NotificationSource source, const QVariant& payload) {
                    if (source == QSqlDriver::SelfSource || payload.toString() != link_.serverSchema()) return;
                    if (!settle_.isActive()) settle_.start();
                });
    }
    driver->subscribeToNotification(QString::fromLatin1(kRecordsChangedChannel));
}

void ChangeWatch::tick() {
    if (!link_.isServer()) {
        // The file's data version moves whenever another connection commits a change to it; this
        // link's own saves leave it where it was.
        QSqlQuery query(link_.database());
        if (!query.exec(QStringLiteral("PRAGMA data_version")) || !query.next()) return;
        const qint64 version = query.value(0).toLongLong();
        const bool moved = dataVersion_ >= 0 && version != dataVersion_;
        dataVersion_ = version;
        if (moved) emit changed();
        return;
    }
    // A desk that only looks on gets its link back too, tried after a pause, not on every tick.
    if (link_.isLost()) {
        if (!lost_) {
            lost_ = true;
            emit linkLost();
        }
        if (!link_.reconnect()) return;
    }
    if (link_.openings() == openings_) return;
    // A new link, made here or by whoever met the loss first: it listens afresh, and whatever
    // was saved while the link was down was never announced.
    openings_ = link_.openings();
    listen();
    if (lost_) {
        lost_ = false;
        emit linkBack();
    }
    emit changed();
}

}  // namespace zartav
