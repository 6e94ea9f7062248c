#include <sys/stat.h>

#include "platform/posix/folder_cache.h"
#include "platform/posix/names.h"
#include "platform/text.h"

namespace vemor::platform::posix {

std::string StoredName(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.empty()) return {};
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) return name;

    const Listing listing = ListNames(folder);
    if (!listing) return {};
    const std::string wanted = ToUpper(name);
    std::string best;
    for (const ListedName& entry : *listing) {
        if (entry.upper != wanted) continue;
        // Names of one spelling follow each other; the smallest keeps the choice stable.
        if (best.empty() || entry.name < best) best = entry.name;
    }
    return best;
}

std::string ResolveStoredPath(const std::string& path) {
    const std::string stored = StoredName(path);
    if (stored.empty()) return path;
    const std::size_t cut = path.rfind('/');
    return (cut == std::string::npos ? std::string() : path.substr(0, cut + 1)) + stored;
}

}  // namespace vemor::platform::posix
