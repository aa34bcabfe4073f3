#include "util/ttools.h"

#include <cassert>

namespace zartav {
namespace {
TTools* current = nullptr;
}

TTools::TTools() { current = this; }

TTools::~TTools() {
    if (current == this) current = nullptr;
}

TTools& TTools::instance() {
    assert(current && "TTools is created at start-up");
    return *current;
}

}  // namespace zartav
