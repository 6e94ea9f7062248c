#pragma once

// The result lines as the user reads them, written out once for every test: a test that finds
// another text in a list has found a change of what the user sees.
#include <cstdint>
#include <string>

namespace vemor::test {

inline std::string Pending(const std::string& label, const std::string& norm = "0") {
    return "  >> " + label + "    [Patch ausf\xC3\xBChren (" + norm + ")]";
}

inline std::string Patched(const std::string& label) {
    return "  >> " + label + "    [Patch erfolgreich ausgef\xC3\xBChrt]";
}

inline std::string NotPatched(const std::string& label, const std::string& read_back = "0") {
    return "  >> " + label + "    [Patch NICHT ausgef\xC3\xBChrt (" + read_back + ")]";
}

inline std::string NoSession(std::int32_t examined) {
    return "Keine Sitzung f\xC3\xBCr diesen Patch gefunden (0 von " + std::to_string(examined) + ") ";
}

}  // namespace vemor::test
