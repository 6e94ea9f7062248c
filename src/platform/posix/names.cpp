#include <sys/stat.h>

#include <algorithm>

#include "posix/listing.h"
#include "posix/names.h"
#include "posix/paths.h"

namespace vemor::platform::posix {

std::optional<std::string> SpellingInFolder(const std::string& path) {
    const std::optional<FolderListing> listing = ReadFolder(FolderWithSeparator(path));
    if (!listing) return std::nullopt;
    const ListedName* stored = PickSpelling(listing->names, NameAfterFolder(path));
    return stored ? stored->name : std::string();
}

std::string StoredName(const std::string& path) {
    const std::string name = NameAfterFolder(path);
    if (name.empty()) return {};
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) return name;
    return SpellingInFolder(path).value_or(std::string());
}

std::string StoredPath(const std::string& path) {
    struct stat info {};
    if (path.empty() || lstat(path.c_str(), &info) == 0) return path;
    std::string stored = path.front() == '/' ? "/" : "";
    for (std::size_t start = stored.size(); start < path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string name = path.substr(start, end - start);
        if (!name.empty()) {
            if (lstat((stored + name).c_str(), &info) == 0) {
                stored += name;
            } else {
                const std::optional<std::string> spelled = SpellingInFolder(stored + name);
                if (!spelled || spelled->empty()) return path;
                stored += *spelled;
            }
        }
        if (end < path.size()) stored += '/';
        start = end + 1;
    }
    return stored;
}

}  // namespace vemor::platform::posix
