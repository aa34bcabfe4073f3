#pragma once

// The office's group roles on the test server (cluster-wide, made by whichever test program
// comes first) and two logins of a test's own in them, granted on one store's schema what a
// desk of each role needs there.

#include "sql_test_database.h"

namespace zartav::test {

testing::AssertionResult makeOfficeLogins(const TestStore& store, const QString& clerk, const QString& registrar);

}  // namespace zartav::test
