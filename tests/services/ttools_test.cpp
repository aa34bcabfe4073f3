#include "dates/calendar.h"
#include "services/ttools.h"
#include "util/format_patterns.h"
#include "util/message_board_lines.h"
#include "pinned.h"

#include <gtest/gtest.h>

using namespace zartav;

TEST(SystemReport, NamesTheProgramsTodayNotTheCalendars) {
    HeadlessMessageBoard board;
    {
        test::Pinned today(zartav::calendar::setTodayForTesting, QDate(2026, 12, 8));
        TTools tools;
        tools.InitToday();
        today.pin(QDate(2026, 12, 9));  // past midnight: the held day stays
        setMessageBoard(&board);
        tools.GetSystemPeroperties();
        setMessageBoard(nullptr);
    }
    EXPECT_EQ(board.caption(), QStringLiteral("گزارش مشخصات كامپيوتر"));
    EXPECT_EQ(board.lines().lines().front(), QStringLiteral("گزارش سيستم=1405/09/17"));
}

// The report's format lines show the program's patterns as soon as the utility object exists.
TEST(SystemReport, FormatLinesAreFilledOnceTToolsExists) {
    formatPatterns() = {};
    TTools tools;
    HeadlessMessageBoard board;
    setMessageBoard(&board);
    tools.GetSystemPeroperties();
    setMessageBoard(nullptr);
    const QStringList lines = board.lines().lines();
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.mid(lines.size() - 4),
              (QStringList{QStringLiteral("فرمت تاريخ كوتاه=dd/mm/yyyy"), QStringLiteral("فرمت تاريخ بلند=dd/mm/yyyy"),
                           QStringLiteral("فرمت ساعت كوتاه=HH:mm:ss"), QStringLiteral("فرمت ساعت بلند=HH:mm:ss")}));
}
