#include <windows.h>

#include <string>

#include "files.h"
#include "folder_state.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/long_path.h"

namespace vemor::platform {
namespace {

bool MeansMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_DRIVE ||
           error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME || error == ERROR_INVALID_NAME;
}

FolderExamination Unreadable(DWORD error) { return {FolderState::kUnreadable, win32::SystemMessage(error)}; }

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
    const std::string pattern = WithSeparator(path) + "*";
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
