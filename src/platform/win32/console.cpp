#include <windows.h>

#include "console.h"
#include "utf16.h"

namespace vemor::platform {
namespace {

// A console shows UTF-16 through WriteConsoleW; a pipe or a file gets the UTF-8 bytes.
void Write(DWORD which, std::string_view text) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = Utf16(text);
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

}  // namespace

void WriteOut(std::string_view text) { Write(STD_OUTPUT_HANDLE, text); }
void WriteErr(std::string_view text) { Write(STD_ERROR_HANDLE, text); }

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::string_view LineEnd() { return "\r\n"; }

void ShowMessage(const std::string& text, const std::string& caption) {
    // Owned by the window the user works in, which takes no input while the box is open.
    MessageBoxW(GetActiveWindow(), Utf16(text).c_str(), Utf16(caption).c_str(), MB_OK);
}

}  // namespace vemor::platform
