#pragma once

// Changes another connection commits to the store (another desk, the command line, any other
// program), told within about a second: on the file by its data version, on the server by the
// notices its triggers send. On the server the watch also keeps the link: a lost one is made
// again after a pause, and since nothing was heard while it was down, a change is told then.
// The watch works on the thread it lives on, over a link of that thread.

#include "data/link/store_link.h"

#include <QObject>
#include <QTimer>

namespace zartav {

class ChangeWatch : public QObject {
    Q_OBJECT
public:
    // `checkEvery`: how often the file's version is read, or the server's link looked at.
    ChangeWatch(StoreLink& link, int checkEvery, QObject* parent = nullptr);

    void start();
    void stop();

signals:
    void changed();
    // The server's link was found lost, or made again.
    void linkLost();
    void linkBack();

private:
    void tick();
    void listen();

    StoreLink& link_;
    QTimer ticker_;
    QTimer settle_;
    qint64 dataVersion_ = -1;
    quint64 openings_ = 0;
    bool lost_ = false;
};

}  // namespace zartav
