#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files.h"
#include "posix/errors.h"
#include "posix/listing.h"
#include "posix/names.h"
#include "posix/paths.h"
#include "spelling.h"
#include "test_hooks.h"
#include "text.h"

namespace vemor::platform {
namespace {

using posix::ListedName;

// Windows wildcards as FindFirstFile reads them: "*" and "*.*" match every name, "?" one
// character, letter case ignored.
bool MatchesPattern(std::string_view name, std::string_view pattern) {
    if (MatchesEveryName(pattern)) return true;
    if (pattern.empty()) return false;
    if (pattern.front() == '*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip)
            if (MatchesPattern(name.substr(skip), pattern.substr(1))) return true;
        return false;
    }
    if (name.empty()) return false;
    if (pattern.front() != '?' && ToUpper(name.substr(0, 1)) != ToUpper(pattern.substr(0, 1)))
        return false;
    return MatchesPattern(name.substr(1), pattern.substr(1));
}

// The entry as the enumeration and the single-file lookup see it; a link counts as what it
// points to, as a junction does on Windows. Anything but a folder is a file to the lookup, as
// Windows lists a device or a pipe: reading it then says why it is no file of bytes.
FolderEntry Classify(const std::string& folder, const ListedName& entry) {
    if (entry.type != DT_LNK && entry.type != DT_UNKNOWN)
        return {entry.name, entry.type == DT_DIR, entry.type != DT_DIR};
    struct stat info {};
    const bool found = stat((folder + entry.name).c_str(), &info) == 0;
    return {entry.name, found && S_ISDIR(info.st_mode), found && !S_ISDIR(info.st_mode)};
}

}  // namespace

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder,
                                                   const std::string& pattern,
                                                   std::optional<FolderId>* id, FileProblem* problem) {
    test_hooks::Reading(folder);
    int error = 0;
    const std::optional<posix::FolderListing> listing = posix::ReadFolder(folder, &error);
    if (!listing) {
        if (problem) *problem = posix::ProblemFromErrno(error);
        return std::nullopt;
    }
    if (id) *id = FolderId{static_cast<std::uint64_t>(listing->device), static_cast<std::uint64_t>(listing->inode)};
    std::vector<FolderEntry> entries;
    entries.reserve(listing->names.size());
    for (const posix::ListedName& entry : listing->names)
        if (MatchesPattern(entry.name, pattern)) entries.push_back(Classify(folder, entry));
    SortLikeNtfs(entries);
    return entries;
}

namespace {

// A NUL ends a name for the system: a path holding one names nothing we could look up.
FoundFile BadName() { return {{}, FileProblem{FileProblem::Kind::kBadName, EINVAL}}; }

}  // namespace

FoundFile FindPlainFile(const std::string& path) {
    if (path.find('\0') != std::string::npos) return BadName();
    const std::string stored = posix::StoredName(path);
    if (stored.empty()) return {};
    const std::string folder = posix::FolderWithSeparator(path);
    struct stat info {};
    if (stat((folder + stored).c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return {};
    return {stored};
}

FoundFile FindPlainFileIn(const std::string& folder, const std::vector<FolderEntry>& entries,
                          const std::string& name) {
    if (folder.find('\0') != std::string::npos || name.find('\0') != std::string::npos) return BadName();
    const FolderEntry* stored = PickSpelling(entries, name);
    return {stored && stored->is_plain_file ? stored->name : std::string()};
}

std::optional<FolderId> IdentifyFolder(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    return FolderId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool IsAbsoluteFolder(std::string_view path) { return path.starts_with('/'); }

std::string StoredPath(const std::string& path) { return posix::StoredPath(path); }

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/') return path;
    std::string cwd(4096, '\0');
    while (getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE) return path;
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(cwd.find('\0'));
    return WithSeparator(std::move(cwd)) + path;
}

}  // namespace vemor::platform
