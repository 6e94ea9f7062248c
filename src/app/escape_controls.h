#pragma once

#include <string>
#include <string_view>

namespace vemor {

// text as one printable line that can be turned back into text exactly: C0 controls, DEL and
// bytes that are no UTF-8 become \xHH, C1 controls \u0080 to \u009F, a backslash \\; all
// other characters stay as they are.
std::string EscapeControls(std::string_view text);

// A path escaped as EscapeControls escapes text, except that on Windows, where no name can
// hold a backslash, the backslashes between its names stay single.
std::string EscapePath(std::string_view path);

}  // namespace vemor
