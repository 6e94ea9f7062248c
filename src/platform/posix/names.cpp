#include <sys/stat.h>

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

}  // namespace vemor::platform::posix
