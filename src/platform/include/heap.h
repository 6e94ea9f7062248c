#pragma once

namespace vemor::platform {

// Before threads that allocate are started: they share the process's heap rather than each
// getting one of its own, whose slack would cost more memory than the threads use.
void ShareHeapAmongThreads();

}  // namespace vemor::platform
