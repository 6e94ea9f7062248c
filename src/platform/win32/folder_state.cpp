#include <windows.h>

#include <iterator>
#include <string>

#include "folder_state.h"
#include "win32/handles.h"
#include "win32/long_path.h"
#include "win32/wide.h"

namespace vemor::platform {
namespace {

bool MeansMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_DRIVE ||
           error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME || error == ERROR_INVALID_NAME;
}

// The system's message for error, without its closing full stop and line end.
FolderExamination Unreadable(DWORD error) {
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, 0, text, static_cast<DWORD>(std::size(text)), nullptr);
    std::wstring reason(text, length);
    while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L'.' ||
                               reason.back() == L' '))
        reason.pop_back();
    if (reason.empty()) return {FolderState::kUnreadable, "Windows error " + std::to_string(error)};
    return {FolderState::kUnreadable, win32::Narrow(reason)};
}

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

}  // namespace

FolderExamination ExamineFolder(const std::string& path) {
    if (path.empty()) return {FolderState::kMissing, {}};
    const DWORD attributes = GetFileAttributesW(win32::FilePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (MeansMissing(error)) return {FolderState::kMissing, {}};
        return Unreadable(error);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return {FolderState::kNotAFolder, {}};
    WIN32_FIND_DATAW data{};
    const std::string pattern = path + (EndsWithSeparator(path) ? "*" : "\\*");
    const HANDLE find = FindFirstFileW(win32::FilePath(pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        // The root of an empty drive lists nothing, not even "." and "..".
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? FolderExamination{FolderState::kReadable, {}} : Unreadable(error);
    }
    const win32::OwnedFind owner(find);
    return {FolderState::kReadable, {}};
}

}  // namespace vemor::platform
