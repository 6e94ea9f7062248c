#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vemor::platform {

// The characters a user's number format lends to numbers, each as UTF-8. The defaults are
// en-US, which Windows (and Wine) use where the user has the "C" or "POSIX" locale.
struct NumberFormat {
    std::string decimal = ".";   // empty means "." as on Windows
    std::string grouping = ",";  // thousands separator; empty for none
    std::string currency = "$";  // empty means "$" as on Windows

    bool operator==(const NumberFormat&) const = default;
};

// Text to number as Windows converts text to a double (VarR8FromStr) in the given format.
std::optional<double> TextToNumber(std::string_view text, const NumberFormat& format);

}  // namespace vemor::platform
