#include "posix/folder_cache.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>

#include "owned.h"
#include "posix/recently_used.h"
#include "posix/stamp.h"
#include "text.h"

namespace vemor::platform::posix {
namespace {

using Known = Kept<Listing>;
using Cache = KeptCopies<Listing>;

using OwnedDir = Owned<DIR*, CallTo<&closedir>>;

// The stamp comes from the folder actually opened, taken before its names are read, so that
// a change during the reading shows as a new stamp next time.
Listing ReadListing(const std::string& folder, Stamp& stamp) {
    DIR* const opened = opendir(folder.c_str());
    if (!opened) return nullptr;
    const OwnedDir dir(opened);
    struct stat info {};
    if (fstat(dirfd(dir.get()), &info) != 0) return nullptr;
    stamp = StampOf(info);
    auto names = std::make_shared<std::vector<ListedName>>();
    for (;;) {
        errno = 0;  // readdir tells the end from a failure only by errno
        const dirent* entry = readdir(dir.get());
        if (!entry) break;
        names->push_back({entry->d_name, ToUpper(entry->d_name), entry->d_type});
    }
    if (errno != 0) return nullptr;
    std::stable_sort(names->begin(), names->end(),
                     [](const ListedName& a, const ListedName& b) { return a.upper < b.upper; });
    return names;
}

}  // namespace

Listing ListNames(const std::string& folder, Stamp* folder_stamp) {
    const std::string path = folder.empty() ? "." : folder;
    const timespec now = Now();
    Cache& cache = Cache::Shared();
    const std::lock_guard guard(cache.lock);
    // A folder seen before is looked at first; one never seen is read at once.
    if (const Known* known = cache.known.Find(path)) {
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && known->settled && known->stamp == StampOf(info)) {
            if (folder_stamp) *folder_stamp = known->stamp;
            return known->value;
        }
    }
    Stamp stamp{};
    Listing listing = ReadListing(path, stamp);
    if (!listing) {
        cache.known.Drop(path);
        return nullptr;
    }
    cache.known.Put(path, {stamp, Settled(stamp, now), listing});
    if (folder_stamp) *folder_stamp = stamp;
    return listing;
}

}  // namespace vemor::platform::posix
