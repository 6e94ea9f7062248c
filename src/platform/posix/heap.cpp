#include "heap.h"

#include <malloc.h>

namespace vemor::platform {

// glibc gives each new thread that meets a busy heap an arena of its own, up to eight per
// core, each with its own slack. Two are enough for threads that mostly wait for the disk.
void ShareHeapAmongThreads() {
#ifdef __GLIBC__
    mallopt(M_ARENA_MAX, 2);
#endif
}

}  // namespace vemor::platform
