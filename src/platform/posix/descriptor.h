#pragma once

#include <fcntl.h>
#include <unistd.h>

#include "owned.h"

namespace vemor::platform::posix {

using Descriptor = Owned<int, CallTo<&::close>>;

// The descriptor a call returned, owned when it is one, empty when the call failed (-1).
inline Descriptor Adopt(int fd) { return fd >= 0 ? Descriptor(fd) : Descriptor(); }

inline Descriptor Open(const char* path, int flags) { return Adopt(::open(path, flags)); }

}  // namespace vemor::platform::posix
