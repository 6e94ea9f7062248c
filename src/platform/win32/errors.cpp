#include "win32/errors.h"

#include <iterator>

#include "utf16.h"

namespace vemor::platform::win32 {
namespace {

FileProblem::Kind KindOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH: case ERROR_BAD_NET_NAME:
            return FileProblem::Kind::kMissing;
        // Not missing: nothing could be stored under that name, yet a listing may hold it.
        case ERROR_INVALID_NAME: return FileProblem::Kind::kBadName;
        case ERROR_DIRECTORY: case ERROR_CANT_ACCESS_FILE: return FileProblem::Kind::kNotAFile;
        case ERROR_ACCESS_DENIED: case ERROR_PRIVILEGE_NOT_HELD: return FileProblem::Kind::kDenied;
        case ERROR_WRITE_PROTECT: case ERROR_FILE_READ_ONLY: return FileProblem::Kind::kReadOnly;
        case ERROR_SHARING_VIOLATION: case ERROR_LOCK_VIOLATION: return FileProblem::Kind::kLocked;
        case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: return FileProblem::Kind::kNoSpace;
        default: return FileProblem::Kind::kOther;
    }
}

}  // namespace

std::string SystemMessage(DWORD error) {
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, 0, text, static_cast<DWORD>(std::size(text)), nullptr);
    std::wstring message(text, length);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L'.' ||
                                message.back() == L' '))
        message.pop_back();
    if (message.empty()) return "Windows error " + std::to_string(error);
    return Utf8(message);
}

FileProblem ProblemFromError(DWORD error) { return {KindOf(error), error, SystemMessage(error)}; }

}  // namespace vemor::platform::win32
