#pragma once

namespace zartav {

// The SQL toolkit on the server connection of TTools (placeholder until built).
class SqlToolkit {};

}  // namespace zartav
