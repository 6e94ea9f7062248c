#include "platform/posix/folder_cache.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "platform/posix/recently_used.h"
#include "platform/posix/stamp.h"
#include "platform/text.h"

namespace vemor::platform::posix {
namespace {

struct Known {
    Stamp stamp;
    bool settled;
    Listing listing;
};

struct Cache {
    std::mutex lock;
    RecentlyUsed<Known> known{16};
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

Listing ReadListing(const std::string& folder) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return nullptr;
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

Listing ListNames(const std::string& folder) {
    const std::string path = folder.empty() ? "." : folder;
    const timespec now = Now();
    struct stat info {};
    Cache& cache = TheCache();
    const std::lock_guard guard(cache.lock);
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        cache.known.Drop(path);
        return nullptr;
    }
    // Taken before the reading, so that a change during it shows as a new stamp next time.
    const Stamp stamp = StampOf(info);
    if (const Known* known = cache.known.Find(path); known && known->settled && known->stamp == stamp)
        return known->listing;
    Listing listing = ReadListing(path);
    if (!listing) {
        cache.known.Drop(path);
        return nullptr;
    }
    cache.known.Put(path, {stamp, Settled(stamp, now), listing});
    return listing;
}

void ForgetListings() {
    Cache& cache = TheCache();
    const std::lock_guard guard(cache.lock);
    cache.known.Clear();
}

}  // namespace vemor::platform::posix
