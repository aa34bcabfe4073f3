#pragma once

#include "dates/calendar.h"
#include "dates/date_services.h"
#include "message_recorder.h"

#include <gtest/gtest.h>

// Date services with today pinned to Tuesday 8 December 2026 (1405/09/17) and every box recorded.
class DatesTest : public ::testing::Test {
protected:
    void SetUp() override {
        zartav::calendar::setTodayForTesting(QDate(2026, 12, 8));
        dates.InitToday();
    }
    void TearDown() override { zartav::calendar::setTodayForTesting(std::nullopt); }

    zartav::test::MessageRecorder recorder;
    zartav::DateServices dates;
};

// A rejected text shows this much: one box, caption "پيام", button "بازگشت".
inline void expectOneMessage(const zartav::test::MessageRecorder& recorder, const QString& text) {
    ASSERT_EQ(recorder.boxes().size(), 1) << recorder.texts().join(u'|').toStdString();
    EXPECT_EQ(recorder.boxes().front().caption, QStringLiteral("پيام"));
    EXPECT_EQ(recorder.boxes().front().buttons, QStringList{QStringLiteral("بازگشت")});
    EXPECT_EQ(recorder.boxes().front().text, text);
}
