#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "owned.h"

namespace vemor::platform::posix {

using Descriptor = Owned<int, CallTo<&::close>>;

// The descriptor a call returned, owned when it is one, empty when the call failed (-1).
inline Descriptor Adopt(int fd) { return fd >= 0 ? Descriptor(fd) : Descriptor(); }

// Every open of a file or folder, and those that found nothing under the name. On a server
// share each costs a round trip; tests read the counts to see that no name is tried that
// the folder does not hold.
struct OpenCounts {
    std::atomic<long> made{0};
    std::atomic<long> missing{0};
};

inline OpenCounts& OpensForTests() {
    static OpenCounts counts;
    return counts;
}

inline Descriptor Open(const char* path, int flags) {
    const int fd = ::open(path, flags);
    OpenCounts& counts = OpensForTests();
    counts.made.fetch_add(1, std::memory_order_relaxed);
    if (fd < 0 && errno == ENOENT) counts.missing.fetch_add(1, std::memory_order_relaxed);
    return Adopt(fd);
}

}  // namespace vemor::platform::posix
