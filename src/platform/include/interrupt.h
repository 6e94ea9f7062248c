#pragma once

#include <atomic>
#include <cstdint>

namespace vemor::platform {

// Turns Ctrl-C (and on POSIX SIGTERM, SIGHUP and SIGPIPE) from an immediate end of the
// process into a request that the program answers at a moment of its choosing, never inside a
// write. A signal the process was started to ignore stays ignored.
void DeferInterrupts();

// 0 while no interrupt came; else the exit status the program should end with: 128 and the
// signal's number (130 for Ctrl-C, on Windows for Ctrl-Break as well). The first one counts.
int InterruptStatus();

// While it lives, an interrupt also sets flag to -1, at once: a run's cancel flag. One that came
// before sets it now.
class InterruptCancels {
public:
    explicit InterruptCancels(std::atomic<std::int16_t>& flag);
    ~InterruptCancels();
    InterruptCancels(const InterruptCancels&) = delete;
    InterruptCancels& operator=(const InterruptCancels&) = delete;
};

// Tests only: interrupts end the process again, as before DeferInterrupts, and one that came
// is forgotten.
void RestoreInterruptsForTests();

}  // namespace vemor::platform
