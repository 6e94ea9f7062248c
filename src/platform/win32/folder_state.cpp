#include <windows.h>

#include "folder_state.h"
#include "utf16.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/long_path.h"

namespace vemor::platform {

std::optional<FileProblem> ExamineFolder(const std::string& path) {
    if (path.empty()) return FileProblem{FileProblem::Kind::kMissing};
    const std::wstring name = win32::FilePath(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return win32::ProblemFromError(GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return FileProblem{FileProblem::Kind::kNotAFolder};
    // Opened as the listing opens it, which needs the right to list it.
    const HANDLE folder = CreateFileW(name.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return win32::ProblemFromError(GetLastError());
    const win32::OwnedFile owner(folder);
    return std::nullopt;
}

// A share named as \\server\share, or a drive letter the redirector serves.
bool IsOverlappingShare(const std::string& path) {
    if (path.starts_with("\\\\?\\UNC\\")) return true;
    if (path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\")) return false;
    if (path.starts_with("\\\\")) return true;
    if (path.size() < 2 || path[1] != ':') return false;
    const std::wstring root = Utf16(path.substr(0, 2)) + L"\\";
    return GetDriveTypeW(root.c_str()) == DRIVE_REMOTE;
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const std::wstring wide = Utf16(name);
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        if (length < value.size()) {
            value.resize(length);
            return Utf8(value);
        }
        value.resize(length);
    }
}

}  // namespace vemor::platform
