#pragma once

// The PIN of a signing token for zartav-cli: from ZARTAV_TOKEN_PIN, else asked on the terminal
// without echo. It is never an argument, which every user of the computer could read.

#include "print/token_key.h"

#include <optional>

namespace zartav::cli {

inline constexpr const char* kTokenPinVariable = "ZARTAV_TOKEN_PIN";

// Nothing when the variable is unset and there is no terminal to ask on, or the person typed none.
std::optional<print::TokenPin> tokenPin(const print::TokenKeyPlace& place);

}  // namespace zartav::cli
