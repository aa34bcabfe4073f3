#pragma once

namespace zartav {

// The registry and Dbo.Info settings of TTools (placeholder until built).
class SettingsStore {};

}  // namespace zartav
