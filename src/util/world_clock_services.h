#pragma once

namespace zartav {

// The world clock and computer report of TTools (placeholder until built).
class WorldClockServices {};

}  // namespace zartav
