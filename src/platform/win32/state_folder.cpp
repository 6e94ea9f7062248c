#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "record_folder.h"
#include "utf16.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/long_path.h"

namespace vemor::platform {

std::optional<std::string> StateFolder(bool make, FileProblem& problem, std::string& where) {
    PWSTR local = nullptr;
    const HRESULT found = SHGetKnownFolderPath(FOLDERID_LocalAppData, make ? DWORD{KF_FLAG_CREATE} : DWORD{0}, nullptr, &local);
    const std::string base = SUCCEEDED(found) ? Utf8(local) : std::string();
    CoTaskMemFree(local);
    if (base.empty()) {
        problem = {FileProblem::Kind::kMissing, static_cast<std::uint32_t>(found)};
        return std::nullopt;
    }
    const std::string folder = base + "\\Vemor Patch 72.01";
    where = folder;
    if (make && !CreateDirectoryW(win32::FilePath(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        problem = win32::ProblemFromError(GetLastError());
        return std::nullopt;
    }
    return folder + "\\";
}

std::optional<std::vector<std::string>> FilesEndingWith(const std::string& folder, std::string_view suffix,
                                                        FileProblem& problem) {
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileW(win32::FilePath(folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return std::vector<std::string>();
        problem = win32::ProblemFromError(error);
        return std::nullopt;
    }
    const win32::OwnedFind owner(find);
    std::vector<std::string> names;
    do {
        const std::string name = Utf8(data.cFileName);
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.ends_with(suffix)) names.push_back(name);
    } while (FindNextFileW(find, &data));
    return names;
}

}  // namespace vemor::platform
