#pragma once

// Root ignores file permissions, so a test about read-only or unreadable files cannot see them
// refused when run as root. Such a test starts with ZARTAV_RUN_UNPRIVILEGED(): as root it runs
// the same test again, in a child process, as an unprivileged user and only reports that run.

#include <gtest/gtest.h>
#include <unistd.h>

namespace zartav::test {

struct Rerun {
    bool ran = false;  // false: no setpriv, or the test program is out of that user's reach
    bool passed = false;
};
Rerun rerunCurrentTestAsUnprivilegedUser();

}  // namespace zartav::test

#define ZARTAV_RUN_UNPRIVILEGED()                                                                  \
    do {                                                                                           \
        if (::geteuid() != 0) break;                                                               \
        const ::zartav::test::Rerun rerun = ::zartav::test::rerunCurrentTestAsUnprivilegedUser(); \
        if (!rerun.ran) GTEST_SKIP() << "root ignores permissions; no unprivileged run possible"; \
        EXPECT_TRUE(rerun.passed) << "the test failed when run as an unprivileged user";          \
        return;                                                                                    \
    } while (false)
