#include <windows.h>

#include "failure.h"
#include "files.h"
#include "win32/handles.h"
#include "win32/wide.h"

namespace vemor::platform {

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder,
                                                   const std::string& pattern,
                                                   std::optional<FolderId>*) {
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileExW(win32::Wide(folder + pattern).c_str(), FindExInfoBasic,
                                         &data, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    const win32::OwnedFind owner(find);
    std::vector<FolderEntry> entries;
    do {
        const DWORD hidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        const DWORD not_plain = FILE_ATTRIBUTE_DIRECTORY | hidden;
        entries.push_back({win32::Narrow(data.cFileName),
                           (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           (data.dwFileAttributes & not_plain) == 0,
                           (data.dwFileAttributes & hidden) != 0});
    } while (FindNextFileW(find, &data));
    // NTFS already delivers this order; FAT and network drives do not.
    SortLikeNtfs(entries);
    return entries;
}

std::string FindPlainFile(const std::string& path) {
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileW(win32::Wide(path).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_NO_MORE_FILES || error == ERROR_ACCESS_DENIED)
            return {};
        throw Failure(failure_number::kBadFileName,
                      "Dateiname oder -nummer falsch: " + path + " (Windows-Fehler " +
                          std::to_string(error) + ")");
    }
    const win32::OwnedFind owner(find);
    const DWORD excluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((data.dwFileAttributes & excluded) != 0) return {};
    return win32::Narrow(data.cFileName);
}

// Windows also matches short 8.3 names, which no listing shows: it looks for itself.
std::string FindPlainFileIn(const std::string& folder, const std::vector<FolderEntry>&,
                            const std::string& name) {
    return FindPlainFile(folder + name);
}

std::optional<FolderId> IdentifyFolder(const std::string& path) {
    const HANDLE handle = CreateFileW(win32::Wide(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    const win32::OwnedHandle folder(handle);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(folder.get(), &info)) return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber,
                    (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::string AbsolutePath(const std::string& path) {
    const std::wstring wide = win32::Wide(path);
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return path;
    full.resize(written);
    return win32::Narrow(full);
}

}  // namespace vemor::platform
