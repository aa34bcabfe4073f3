#include "util/ttools.h"

#include "util/format_patterns.h"

#include <cassert>

namespace zartav {
namespace {
TTools* current = nullptr;
}

TTools::TTools() {
    current = this;
    // The date and time patterns are in force from the moment the utility object exists.
    applyProgramFormatPatterns();
}

TTools::~TTools() {
    if (current == this) current = nullptr;
}

TTools& TTools::instance() {
    assert(current && "TTools is created at start-up");
    return *current;
}

}  // namespace zartav
