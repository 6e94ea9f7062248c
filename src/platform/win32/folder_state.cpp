#include <windows.h>

#include "folder_state.h"
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

}  // namespace vemor::platform
