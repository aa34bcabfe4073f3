#include "util/world_clock_services.h"

#include "util/message_board.h"
#include "util/system_report.h"
#include "util/world_clock.h"

namespace zartav {
namespace {

std::function<QTime()>& pinnedClock() {
    static std::function<QTime()> clock;
    return clock;
}

QTime computerTime() { return pinnedClock() ? pinnedClock()() : QTime::currentTime(); }

void post(MessageBoard& board, const QList<BoardPost>& posts) {
    for (const BoardPost& p : posts) board.PostThisMessage(p.key, p.value);
}

}  // namespace

void WorldClockServices::setClockForTesting(std::function<QTime()> clock) {
    pinnedClock() = std::move(clock);
}

void WorldClockServices::ShowTimes() {
    MessageBoard& board = messageBoard();
    board.StartRecording(false, world_clock::kCaption);
    const QTime now = computerTime();
    post(board, world_clock::worldClockPosts(now, world_clock::platformZones(QDateTime::currentDateTime())));
    board.StopRecording();
}

void WorldClockServices::GetSystemPeroperties() {
    MessageBoard& board = messageBoard();
    board.StartRecording(false, system_report::kCaption);
    post(board, system_report::reportPosts(system_report::collectFacts(), today_ ? today_() : QString()));
    board.StopRecording();
}

}  // namespace zartav
