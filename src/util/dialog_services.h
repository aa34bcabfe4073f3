#pragma once

namespace zartav {

// The dialog, keyboard and number services of TTools (placeholder until built).
class DialogServices {};

}  // namespace zartav
