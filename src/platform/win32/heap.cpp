#include "heap.h"

namespace vemor::platform {

// The process heap serves every thread already.
void ShareHeapAmongThreads() {}

}  // namespace vemor::platform
