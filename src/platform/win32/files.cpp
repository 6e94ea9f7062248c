#include <windows.h>

#include <cstddef>
#include <string_view>

#include "files.h"
#include "spelling.h"
#include "test_hooks.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/long_path.h"
#include "utf16.h"

namespace vemor::platform {

namespace {

constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

FolderEntry EntryOf(std::wstring_view name, std::wstring_view short_name, DWORD attributes,
                    std::optional<std::uint64_t> index) {
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return {Utf8(name), folder, !folder && (attributes & kHidden) == 0, (attributes & kHidden) != 0,
            Utf8(short_name), index, (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0};
}

// Whether a path can name an entry by name: no character that paths reserve.
bool Spellable(std::string_view name) {
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\/*?\"<>|").find(c) != std::string_view::npos)
            return false;
    return true;
}

// Entries a path cannot spell are reached by their 8.3 alias, which is how Windows itself
// knows them; without one, opening them fails and says why. After sorting, so that the order
// is the names' own, as on every other target.
void ReachByAlias(std::vector<FolderEntry>& entries) {
    if (test_hooks::no_short_names) return;
    for (FolderEntry& entry : entries)
        if (!Spellable(entry.name) && !entry.short_name.empty()) entry.name = entry.short_name;
}

// Sorted as NTFS delivers them, each reachable by its name.
std::vector<FolderEntry> Listed(std::vector<FolderEntry> entries) {
    SortLikeNtfs(entries);
    ReachByAlias(entries);
    return entries;
}

// Nothing, with the problem of the call that failed where one is asked for.
std::nullopt_t Unlisted(FileProblem* problem, DWORD error) {
    if (problem) *problem = win32::ProblemFromError(error);
    return std::nullopt;
}

// The entries matching a pattern that does not let every name through, as FindFirstFile
// matches them.
std::optional<std::vector<FolderEntry>> ListMatching(const std::string& folder, const std::string& pattern,
                                                     FileProblem* problem) {
    WIN32_FIND_DATAW data{};
    // Kept until the error is taken: freeing it may change the thread's last error.
    const std::wstring path = win32::FilePath(folder + pattern);
    const HANDLE find = FindFirstFileExW(path.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return Unlisted(problem, GetLastError());
    const win32::OwnedFind owner(find);
    std::vector<FolderEntry> entries;
    do {
        entries.push_back(EntryOf(data.cFileName, data.cAlternateFileName, data.dwFileAttributes, std::nullopt));
    } while (FindNextFileW(find, &data));
    return Listed(std::move(entries));
}

// Appends the records of one answer of the folder.
void AppendRecords(const std::byte* records, std::vector<FolderEntry>& entries) {
    for (;;) {
        const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(records);
        const std::wstring_view name(record->FileName, record->FileNameLength / sizeof(wchar_t));
        const std::wstring_view short_name(record->ShortName, static_cast<std::size_t>(record->ShortNameLength) / sizeof(wchar_t));
        // Zero: the file system keeps no number, or the entry lies on another device.
        const auto number = static_cast<std::uint64_t>(record->FileId.QuadPart);
        entries.push_back(EntryOf(name, short_name, record->FileAttributes,
                                  number != 0 ? std::optional(number) : std::nullopt));
        if (record->NextEntryOffset == 0) return;
        records += record->NextEntryOffset;
    }
}

std::optional<FolderId> IdentityOf(HANDLE folder) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(folder, &info)) return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber,
                    (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

// The folder is opened once and asked for all its entries with their long and short names
// and numbers, many to an answer: on a share every call is a round trip. The folder's own
// identity costs the volume's as well, so it is left to the entry in its parent's listing.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder,
                                                   const std::string& pattern,
                                                   std::optional<FolderId>*, FileProblem* problem) {
    test_hooks::Reading(folder);
    if (!MatchesEveryName(pattern)) return ListMatching(folder, pattern, problem);
    const std::wstring path = win32::FilePath(folder);
    const HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Unlisted(problem, GetLastError());
    const win32::OwnedFile owner(handle);
    std::vector<std::byte> buffer(64 * 1024);
    std::vector<FolderEntry> entries;
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;; kind = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(handle, kind, buffer.data(), static_cast<DWORD>(buffer.size()))) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_FILES) break;
            return Unlisted(problem, error);
        }
        AppendRecords(buffer.data(), entries);
    }
    // NTFS already delivers this order; FAT and network drives do not.
    return Listed(std::move(entries));
}

// Nothing found and a path no file can have are told apart as FindFirstFile tells them.
FoundFile FindPlainFile(const std::string& path) {
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileW(win32::FilePath(path).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_NO_MORE_FILES || error == ERROR_ACCESS_DENIED)
            return {};
        FileProblem problem = win32::ProblemFromError(error);
        problem.kind = FileProblem::Kind::kBadName;
        return {{}, problem};
    }
    const win32::OwnedFind owner(find);
    const DWORD excluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((data.dwFileAttributes & excluded) != 0) return {};
    return {Utf8(data.cFileName)};
}

// As FindFirstFile looks a name up: the long name, in the spelling it takes where several
// are stored, else the 8.3 alias, letter case ignored.
FoundFile FindPlainFileIn(const std::string&, const std::vector<FolderEntry>& entries,
                          const std::string& name) {
    const FolderEntry* found = PickSpelling(entries, name);
    const std::string wanted = ToUpper(name);
    for (auto entry = entries.begin(); !found && entry != entries.end(); ++entry)
        if (!entry->short_name.empty() && ToUpper(entry->short_name) == wanted) found = &*entry;
    return {found && found->is_plain_file ? found->name : std::string()};
}

std::optional<FolderId> IdentifyFolder(const std::string& path) {
    const HANDLE handle = CreateFileW(win32::FilePath(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    const win32::OwnedFile folder(handle);
    return IdentityOf(folder.get());
}

std::string AbsolutePath(const std::string& path) {
    return Utf8(win32::FullPathName(Utf16(path)));
}

bool IsAbsoluteFolder(std::string_view path) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
    if (!path.starts_with("\\\\")) return false;
    // "\\?\" and "\\.\" lead into the system's own name spaces, not to a server.
    const std::size_t server_end = path.find('\\', 2);
    if (server_end == std::string_view::npos || server_end == 2) return false;
    const std::string_view server = path.substr(2, server_end - 2);
    if (server == "?" || server == ".") return false;
    const std::size_t share_end = path.find('\\', server_end + 1);
    return share_end != std::string_view::npos && share_end > server_end + 1;
}

std::string StoredPath(const std::string& path) { return path; }

}  // namespace vemor::platform
