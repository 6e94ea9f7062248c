#include <windows.h>
#include <oleauto.h>

#include "text.h"
#include "utf16.h"

namespace vemor::platform {

std::string ToUpper(std::string_view text) {
    std::wstring wide = Utf16(text);
    if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return Utf8(wide);
}

std::optional<double> TextToNumber(std::string_view text) {
    std::wstring wide = Utf16(text);
    double value = 0;
    // VarR8FromStr reads the text by the user's number format, as the suite wrote it.
    if (FAILED(VarR8FromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &value))) return std::nullopt;
    return value;
}

}  // namespace vemor::platform
