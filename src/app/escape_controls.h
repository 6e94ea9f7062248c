#pragma once

#include <string>
#include <string_view>

namespace vemor {

// text as one printable line that can be turned back into text exactly: C0 controls, DEL and
// bytes that are no UTF-8 become \xHH, C1 controls \u0080 to \u009F, a backslash \\; all
// other characters stay as they are.
std::string EscapeControls(std::string_view text);

}  // namespace vemor
