#pragma once

#include <QString>

namespace zartav {

// The process-wide patterns every later conversion of a date or time to text uses. "/" and ":"
// stand for the system's separators.
struct FormatPatterns {
    QString shortDate;
    QString longDate;
    QString shortTime;
    QString longTime;
};

FormatPatterns& formatPatterns();
// Puts the program's own patterns in force: dates "dd/mm/yyyy", times "HH:mm:ss".
void applyProgramFormatPatterns();

}  // namespace zartav
