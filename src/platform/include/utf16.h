#pragma once

#ifdef _WIN32
#include <string>
#include <string_view>

// Text is UTF-8 inside the program; where it meets Windows' W functions it is UTF-16. These
// are the only conversions, for the backend and for the windows and entry points alike.
namespace vemor::platform {

std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

}  // namespace vemor::platform
#endif
