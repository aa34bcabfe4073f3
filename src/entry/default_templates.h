#pragma once

namespace zartav {

// The field default templates of TTools (placeholder until built).
class DefaultTemplates {};

}  // namespace zartav
