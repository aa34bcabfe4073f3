#pragma once

// Times an action of a window that reads through its store worker: from the action to the
// screen drawn with what it asked for, and the longest the window's thread went without turning
// its event loop meanwhile (a stall: no paint, no key). The action itself runs on the window's
// thread, so whatever it does before it returns counts as a stall too.

#include "data/records/record_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <functional>

namespace zartav::bench {

struct ActionTime {
    double ms = -1;  // -1: not shown within the time allowed
    double stallMs = 0;
};

// `shown` tells when the window holds what the action asked for; the widget is then drawn, and
// the time taken to there is the action's. A `drawn` widget of null is not drawn.
inline ActionTime timeAction(QWidget* drawn, const std::function<void()>& action, const std::function<bool()>& shown,
                             int timeoutMs = 20000) {
    ActionTime result;
    QElapsedTimer clock;
    QEventLoop loop;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    qint64 lastTurn = 0;
    qint64 longest = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTurn);
        lastTurn = now;
        if (result.ms < 0 && shown()) {
            if (drawn) drawn->repaint();
            result.ms = clock.nsecsElapsed() / 1e6;
            loop.quit();
        } else if (now > qint64(timeoutMs) * 1000000) {
            loop.quit();
        }
    });
    clock.start();
    // Started first: nested event loops inside the action (a modal form, a save waiting for its
    // answer) turn it too.
    ticker.start();
    action();
    const qint64 returned = clock.nsecsElapsed();
    longest = std::max(longest, returned - lastTurn);
    lastTurn = returned;
    if (result.ms < 0) loop.exec();
    result.stallMs = longest / 1e6;
    return result;
}

// Lets the window settle: every answer it asked for in, and what they posted handled.
inline void settle(const std::function<bool()>& idle, int timeoutMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    int quiet = 0;
    while (quiet < 5 && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        quiet = idle() ? quiet + 1 : 0;
    }
}

// Every row the list shows on screen read (no placeholder left); a row not read is asked for.
inline bool screenRead(const QTableView& list, RecordTable& table) {
    const int first = std::max(list.rowAt(0), 0);
    int last = list.rowAt(list.viewport()->height() - 1);
    if (last < 0) last = table.rowCount() - 1;
    for (int row = first; row <= last; ++row)
        if (!table.isRowRead(row)) return false;
    return true;
}

}  // namespace zartav::bench
