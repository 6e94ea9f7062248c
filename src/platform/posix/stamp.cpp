#include "posix/stamp.h"

#include <algorithm>

namespace vemor::platform::posix {
namespace {

// Longer than any file system's rounding of time stamps we know of (FAT: 2 s).
constexpr long long kSettleTime = 3'000'000'000LL;

long long& SettleTime() {
    static long long settle = kSettleTime;
    return settle;
}

long long Nanoseconds(const timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

bool Same(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool operator==(const Stamp& a, const Stamp& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           Same(a.modified, b.modified) && Same(a.changed, b.changed);
}

Stamp StampOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

timespec Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

bool ChangedRecently(const Stamp& stamp, const timespec& looked_at) {
    const long long latest = std::max(Nanoseconds(stamp.modified), Nanoseconds(stamp.changed));
    return latest + SettleTime() >= Nanoseconds(looked_at);
}

void SetSettleTimeForTests(std::optional<long long> nanoseconds) {
    SettleTime() = nanoseconds.value_or(kSettleTime);
}

}  // namespace vemor::platform::posix
