#include "util/world_clock_services.h"

#include "dates/calendar.h"
#include "dates/calendar_date_text.h"
#include "dates/date_services.h"
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
    // Today as the program holds it since start-up; on its own, the calendar's today.
    QString today;
    if (auto* dates = dynamic_cast<DateServices*>(this)) today = dates->FarsiToday();
    else today = calendar_text::format(calendar::fromGregorian(calendar::todayGregorian()));
    post(board, system_report::reportPosts(system_report::collectFacts(), today));
    board.StopRecording();
}

}  // namespace zartav
