#include <sys/stat.h>

#include "posix/folder_cache.h"
#include "posix/names.h"

namespace vemor::platform::posix {
namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string NameOf(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::optional<std::string> SpellingInFolder(const std::string& path) {
    const Listing listing = ListNames(FolderOf(path));
    if (!listing) return std::nullopt;
    const ListedName* stored = PickSpelling(*listing, NameOf(path));
    return stored ? stored->name : std::string();
}

std::string StoredName(const std::string& path) {
    const std::string name = NameOf(path);
    if (name.empty()) return {};
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) return name;
    return SpellingInFolder(path).value_or(std::string());
}

std::string ResolveStoredPath(const std::string& path) {
    const std::string stored = StoredName(path);
    return stored.empty() ? path : FolderOf(path) + stored;
}

}  // namespace vemor::platform::posix
