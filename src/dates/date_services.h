#pragma once

namespace zartav {

// The Solar Hijri date services of TTools (placeholder until built).
class DateServices {};

}  // namespace zartav
