#pragma once

#include <string>
#include <string_view>

// The conversions at the edge to the W functions: UTF-8 inside, UTF-16 outside.
namespace vemor::platform::win32 {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace vemor::platform::win32
