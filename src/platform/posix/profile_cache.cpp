#include "posix/profile_cache.h"

#include <cerrno>

#include "posix/names.h"
#include "posix/recently_used.h"
#include "posix/replace_file.h"
#include "posix/stamp.h"

namespace vemor::platform::posix {
namespace {

using Known = Kept<Profile>;
using Cache = KeptCopies<Profile>;

// The copy kept of path when the file is still the version it was read from.
Profile Unchanged(Cache& cache, const std::string& path) {
    const Known* known = cache.known.Find(path);
    if (!known || !known->settled) return nullptr;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !(known->stamp == StampOf(info))) return nullptr;
    return known->value;
}

Profile ReadAfresh(Cache& cache, const std::string& path, const timespec& now) {
    std::string bytes;
    struct stat info {};
    // The stamp of the file actually opened, taken before its bytes are read.
    if (!ReadWholeFile(path, bytes, &info)) return nullptr;
    IniDocument document(bytes);
    auto profile = std::make_shared<const ProfileCopy>(ProfileCopy{std::move(bytes), std::move(document)});
    const Stamp stamp = StampOf(info);
    cache.known.Put(path, {stamp, Settled(stamp, now), profile});
    return profile;
}

}  // namespace

Profile ReadProfile(const std::string& file) {
    const timespec now = Now();
    Cache& cache = Cache::Shared();
    const std::lock_guard guard(cache.lock);
    if (Profile kept = Unchanged(cache, file)) return kept;
    errno = 0;
    if (Profile read = ReadAfresh(cache, file, now)) return read;
    if (errno != ENOENT) return nullptr;
    // Stored in another spelling, perhaps: a file copied from Windows as SITZUNG.DAT.
    const std::optional<std::string> stored = SpellingInFolder(file);
    if (!stored || stored->empty()) return nullptr;
    const std::string path = file.substr(0, file.rfind('/') + 1) + *stored;
    if (path == file) return nullptr;
    if (Profile kept = Unchanged(cache, path)) return kept;
    return ReadAfresh(cache, path, now);
}

Profile LastRead(const std::string& path) {
    Cache& cache = Cache::Shared();
    const std::lock_guard guard(cache.lock);
    const Known* known = cache.known.Find(path);
    return known ? known->value : nullptr;
}

void ForgetProfile(const std::string& path) {
    Cache& cache = Cache::Shared();
    const std::lock_guard guard(cache.lock);
    cache.known.Drop(path);
}

}  // namespace vemor::platform::posix
