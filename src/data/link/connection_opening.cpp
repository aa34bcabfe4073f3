#include "data/link/connection.h"

#include "data/link/change_watch.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSqlDriver>
#include <QThread>

#include <atomic>
#include <memory>

// Opening the store without holding up the thread that asks (the window's): a link to a server
// across a slow line takes several round trips to make and check.

namespace zartav {

bool Connection::openOffThread(const StoreAddress& address, StoreAccess access) {
    QThread* here = QThread::currentThread();
    close();
    // A driver serves the thread that made it, and only that thread can hand it on: the opening
    // thread makes the link afresh.
    if (QSqlDatabase::contains(name_)) QSqlDatabase::removeDatabase(name_);
    // The watch's timers are this thread's: it starts here once the link is.
    std::unique_ptr<ChangeWatch> watch = std::move(watch_);
    const PasswordPrompt prompt = passwordPrompt_;
    const LongStepNotice notice = longStepNotice_;
    // A prompt or a notice is a window: it is shown on this thread while the opening one waits.
    if (prompt)
        passwordPrompt_ = [this, &prompt](const QString& text) {
            std::optional<QString> answer;
            QMetaObject::invokeMethod(this, [&] { answer = prompt(text); }, Qt::BlockingQueuedConnection);
            return answer;
        };
    if (notice)
        longStepNotice_ = [this, &notice](const QString& text) {
            QMetaObject::invokeMethod(this, [&] { notice(text); }, Qt::BlockingQueuedConnection);
        };

    bool opened = false;
    std::atomic<bool> finished{false};
    std::unique_ptr<QThread> opening(QThread::create([&] {
        opened = open(address, access);
        if (QSqlDatabase::contains(name_)) {
            if (QSqlDriver* driver = QSqlDatabase::database(name_, false).driver()) driver->moveToThread(here);
        }
        finished = true;
        // Wakes the waiting thread should it be asleep for want of events.
        QMetaObject::invokeMethod(this, [] {}, Qt::QueuedConnection);
    }));
    opening->setObjectName(QStringLiteral("store opening"));
    opener_ = opening.get();
    opening->start();
    // Not an event loop of its own: one told to quit (the program ending) would stop turning
    // while the opening thread still waits on a prompt.
    while (!finished) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    opening->wait();
    opener_ = nullptr;

    passwordPrompt_ = prompt;
    longStepNotice_ = notice;
    watch_ = std::move(watch);
    if (opened && watch_) watch_->start();
    return opened;
}

}  // namespace zartav
