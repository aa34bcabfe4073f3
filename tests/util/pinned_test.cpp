// What a test fakes is put back even when the test stops at its first failed ASSERT.
#include "dates/calendar.h"
#include "pinned.h"
#include "util/app_paths.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace zartav;

namespace {

void fakeAndStopEarly() {
    const test::Pinned today(calendar::setTodayForTesting, QDate(2001, 2, 3));
    const test::Pinned folder(paths::setUserDataFolderForTesting, QStringLiteral("/nowhere/user"));
    const test::Pinned program(paths::setProgramFolderForTesting, QStringLiteral("/nowhere/program"));
    const test::PinnedVariable variable("ZARTAV_PINNED_PROBE", QByteArray("set"));
    ASSERT_TRUE(false) << "stopped early";
}

}  // namespace

TEST(Pinned, ATestStoppedByAnAssertLeavesTodayTheFoldersAndTheEnvironmentReal) {
    const QString user = paths::userDataFolder(), program = paths::programFolder();
    EXPECT_FATAL_FAILURE(fakeAndStopEarly(), "stopped early");
    EXPECT_EQ(calendar::todayGregorian(), QDate::currentDate());
    EXPECT_EQ(paths::userDataFolder(), user);
    EXPECT_EQ(paths::programFolder(), program);
    EXPECT_FALSE(qEnvironmentVariableIsSet("ZARTAV_PINNED_PROBE"));
}
