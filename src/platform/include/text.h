#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vemor::platform {

// Unicode upper case of UTF-8 text; bytes that are no valid UTF-8 stay as they are.
std::string ToUpper(std::string_view text);

// Text to number as Windows converts text to a double, by the user's number format: blanks,
// a sign before or after or parentheses, &H hex and &O octal, thousands and decimal separators,
// an exponent, a currency symbol. Nothing for empty, non-numeric or too large numbers.
std::optional<double> TextToNumber(std::string_view text);

}  // namespace vemor::platform
