#include <windows.h>
#include <oleauto.h>

#include "text.h"
#include "win32/wide.h"

namespace vemor::platform {

std::string ToUpper(std::string_view text) {
    std::wstring wide = win32::Wide(text);
    if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return win32::Narrow(wide);
}

std::optional<double> TextToNumber(std::string_view text) {
    std::wstring wide = win32::Wide(text);
    double value = 0;
    // VarR8FromStr reads the text by the user's number format, as the suite wrote it.
    if (FAILED(VarR8FromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &value))) return std::nullopt;
    return value;
}

}  // namespace vemor::platform
