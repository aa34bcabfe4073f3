#pragma once

// For the widget tests: the modal window a command opens, looked at and closed.

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>

#include <functional>
#include <memory>

namespace zartav::test {

// Runs `inspect` on the modal window of type Window once it is up (the command may wait on the
// store first), then closes it if still open; no longer once the answer goes.
template <typename Window>
std::unique_ptr<QTimer> whenModal(const std::function<void(Window&)>& inspect) {
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(20);
    QObject::connect(poll.get(), &QTimer::timeout, poll.get(), [timer = poll.get(), inspect] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (!window) return;
        timer->stop();
        inspect(*window);
        // Unless `inspect` closed it itself (a save that accepts).
        if (window->isVisible()) window->reject();
    });
    poll->start();
    return poll;
}

// Chooses the item of `menu` captioned `caption`, as a click on it does.
inline void chooseItem(const QMenu& menu, const char* caption) {
    for (QAction* a : menu.actions())
        if (a->text() == QString::fromUtf8(caption)) a->trigger();
}

}  // namespace zartav::test
