#pragma once

namespace zartav {

// The photo conversion of TTools (placeholder until built).
class PhotoServices {};

}  // namespace zartav
