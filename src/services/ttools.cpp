#include "services/ttools.h"

#include "util/format_patterns.h"

#include <cassert>

namespace zartav {
namespace {
TTools* current = nullptr;
}

TTools::TTools()
    : SettingsStore(ServerConnection),
      // The report names today as the program holds it since start-up.
      WorldClockServices([this] { return FarsiToday(); }) {
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
