#include "platform/posix/profile_cache.h"

#include <mutex>

#include "platform/posix/recently_used.h"
#include "platform/posix/replace_file.h"
#include "platform/posix/stamp.h"

namespace vemor::platform::posix {
namespace {

struct Known {
    Stamp stamp;
    bool settled;
    Profile profile;
};

struct Cache {
    std::mutex lock;
    RecentlyUsed<Known> known{16};
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

}  // namespace

Profile ReadProfile(const std::string& path) {
    const timespec now = Now();
    Cache& cache = TheCache();
    const std::lock_guard guard(cache.lock);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    if (const Known* known = cache.known.Find(path); known && known->settled && known->stamp == StampOf(info))
        return known->profile;
    std::string bytes;
    // The stamp of the file actually opened, taken before its bytes are read.
    if (!ReadWholeFile(path, bytes, &info)) return nullptr;
    IniDocument document(bytes);
    auto profile = std::make_shared<const ProfileCopy>(ProfileCopy{std::move(bytes), std::move(document)});
    const Stamp stamp = StampOf(info);
    cache.known.Put(path, {stamp, Settled(stamp, now), profile});
    return profile;
}

Profile LastRead(const std::string& path) {
    Cache& cache = TheCache();
    const std::lock_guard guard(cache.lock);
    const Known* known = cache.known.Find(path);
    return known ? known->profile : nullptr;
}

void ForgetProfile(const std::string& path) {
    Cache& cache = TheCache();
    const std::lock_guard guard(cache.lock);
    cache.known.Drop(path);
}

void ForgetProfiles() {
    Cache& cache = TheCache();
    const std::lock_guard guard(cache.lock);
    cache.known.Clear();
}

}  // namespace vemor::platform::posix
