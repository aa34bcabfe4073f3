#include "util/format_patterns.h"

namespace zartav {

FormatPatterns& formatPatterns() {
    static FormatPatterns patterns;
    return patterns;
}

void applyProgramFormatPatterns() {
    FormatPatterns& p = formatPatterns();
    p.shortDate = QStringLiteral("dd/mm/yyyy");
    p.longDate = QStringLiteral("dd/mm/yyyy");
    p.longTime = QStringLiteral("HH:mm:ss");
    p.shortTime = QStringLiteral("HH:mm:ss");
}

}  // namespace zartav
