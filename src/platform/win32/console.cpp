#include <windows.h>

#include <algorithm>

#include "console.h"
#include "utf16.h"
#include "win32/errors.h"

namespace vemor::platform {
namespace {

using Kind = StreamProblem::Kind;

StreamProblem ProblemOf(DWORD error) {
    switch (error) {
        case ERROR_INVALID_HANDLE: return {Kind::kClosed};
        case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: return {Kind::kNoSpace};
        case ERROR_BROKEN_PIPE: case ERROR_NO_DATA: case ERROR_PIPE_NOT_CONNECTED: return {Kind::kBrokenPipe};
        default: return {Kind::kOther, win32::SystemMessage(error)};
    }
}

// Writes units (bytes, or UTF-16 for a console) with write, which may take fewer than offered.
template <typename Unit, typename Writer>
std::optional<StreamProblem> WriteAll(const Unit* units, std::size_t count, Writer write) {
    while (count > 0) {
        DWORD written = 0;
        if (!write(units, static_cast<DWORD>(std::min<std::size_t>(count, 1 << 20)), &written))
            return ProblemOf(GetLastError());
        if (written == 0) return ProblemOf(ERROR_WRITE_FAULT);
        units += written;
        count -= written;
    }
    return std::nullopt;
}

// A console shows UTF-16 through WriteConsoleW; a pipe or a file gets the UTF-8 bytes.
std::optional<StreamProblem> Write(DWORD which, std::string_view text) {
    if (text.empty()) return std::nullopt;
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return StreamProblem{Kind::kClosed};
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = Utf16(text);
        return WriteAll(wide.data(), wide.size(), [handle](const wchar_t* units, DWORD count, DWORD* written) {
            return WriteConsoleW(handle, units, count, written, nullptr);
        });
    }
    return WriteAll(text.data(), text.size(), [handle](const char* units, DWORD count, DWORD* written) {
        return WriteFile(handle, units, count, written, nullptr);
    });
}

}  // namespace

std::optional<StreamProblem> WriteOut(std::string_view text) { return Write(STD_OUTPUT_HANDLE, text); }
std::optional<StreamProblem> WriteErr(std::string_view text) { return Write(STD_ERROR_HANDLE, text); }

void HoldStandardStreams() {}

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
