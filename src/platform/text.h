#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vemor::platform {

// Unicode upper case of UTF-8 text; bytes that are no valid UTF-8 stay as they are.
std::string ToUpper(std::string_view text);

// Text to number by the user's number format (Windows) or a strict decimal format
// (blanks, sign, digits, decimal point). Nothing for empty or non-numeric text.
std::optional<double> TextToNumber(std::string_view text);

}  // namespace vemor::platform
