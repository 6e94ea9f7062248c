#pragma once

namespace vemor::platform {

// Turns Ctrl-C (and on POSIX SIGTERM and SIGHUP) from an immediate end of the process into a
// request that the program answers at a moment of its choosing, never inside a write.
void DeferInterrupts();

// 0 while no interrupt came; else the exit status the program should end with.
int InterruptStatus();

}  // namespace vemor::platform
