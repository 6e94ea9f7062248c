#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_problem.h"

namespace vemor::platform {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

struct FolderEntry {
    std::string name;   // UTF-8
    bool is_folder;
    bool is_plain_file = false;  // what the single-file lookup may answer
    bool is_hidden = false;      // hidden or system, which the folder dialog leaves out
    std::string short_name{};    // the 8.3 alias where the file system keeps one, else empty
    // Where the listing tells it: the entry's number within the listed folder's volume, and
    // whether the entry leads elsewhere (a link, junction or mount point), where that number
    // says nothing of what lies behind it.
    std::optional<std::uint64_t> index{};
    bool leads_elsewhere = false;
};

struct FolderId;

// Every entry of folder (which ends with the separator) that matches pattern, "." and ".."
// and hidden entries included, ordered by upper-cased name as NTFS delivers them. On Windows
// an entry whose name holds a character no path can (Wine lists Linux names with "?", "\\",
// a line break and the like) is named by its 8.3 alias where it has one, which reaches it.
// Nothing when the folder cannot be enumerated; problem, when given, then gets why (kMissing
// when it is not there, or no longer). id, when given, gets what IdentifyFolder would answer
// for folder where the listing tells it without a call of its own (POSIX); else it stays
// empty.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder,
                                                   const std::string& pattern,
                                                   std::optional<FolderId>* id = nullptr,
                                                   FileProblem* problem = nullptr);

// What the single-file lookup found: the name under which a plain file (no folder, no hidden
// or system file) is stored, letter case ignored, or the empty text when there is none; or
// a problem where the path itself cannot be looked up.
struct FoundFile {
    std::string name;
    std::optional<FileProblem> problem = {};

    bool operator==(const FoundFile&) const = default;
};

FoundFile FindPlainFile(const std::string& path);

// The same answer as FindPlainFile(folder + name), given entries just listed from folder
// with a pattern that matches every name: where the backend can tell from them, the folder
// is not read again.
FoundFile FindPlainFileIn(const std::string& folder, const std::vector<FolderEntry>& entries,
                          const std::string& name);

// Whether pattern lets every entry of a folder through.
bool MatchesEveryName(std::string_view pattern);

// Whether path ends with the separator, and path with the separator appended where it lacks
// one: how a folder's name is made ready for a name to be appended.
bool EndsWithSeparator(std::string_view path);
std::string WithSeparator(std::string path);

// Identifies a physical folder, so that links leading back into a tree are noticed.
struct FolderId {
    std::uint64_t volume;
    std::uint64_t index;
    auto operator<=>(const FolderId&) const = default;
};
std::optional<FolderId> IdentifyFolder(const std::string& path);

// An absolute form of path, for folders given relative to the current folder.
std::string AbsolutePath(const std::string& path);

// Whether path begins at the top of a drive or a share, whatever the current folder: "C:\"
// or "\\server\share\" on Windows, "/" on POSIX. "qrx\", ".\" and "C:qrx\" do not.
bool IsAbsoluteFolder(std::string_view path);

// path with every name in it as the file system stores it: on POSIX, where a name is not
// stored as written, the spelling PickSpelling takes in its folder, as Windows ignores letter
// case; path itself where a name is not there in any spelling, and on Windows.
std::string StoredPath(const std::string& path);

// Orders entries as NTFS delivers them, so that every target lists a tree alike.
void SortLikeNtfs(std::vector<FolderEntry>& entries);

}  // namespace vemor::platform
