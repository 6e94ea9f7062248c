#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "owned.h"
#include "test_hooks.h"

namespace vemor::platform::posix {

// Empty is -1, which every call refuses with EBADF.
using Descriptor = Owned<int, CallTo<&::close>, InvalidIs<-1>>;

// The descriptor a call returned, owned when it is one, empty when the call failed.
inline Descriptor Adopt(int fd) { return fd >= 0 ? Descriptor(fd) : Descriptor(); }

inline Descriptor Open(const char* path, int flags) {
    const int fd = ::open(path, flags);
    test_hooks::OpenCounts& counts = test_hooks::opens;
    counts.made.fetch_add(1, std::memory_order_relaxed);
    if (fd < 0 && errno == ENOENT) counts.missing.fetch_add(1, std::memory_order_relaxed);
    return Adopt(fd);
}

}  // namespace vemor::platform::posix
