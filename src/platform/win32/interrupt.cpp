#include "interrupt.h"

#include <windows.h>

#include <atomic>

namespace vemor::platform {
namespace {

// Ctrl-C and Ctrl-Break count as SIGINT does on POSIX.
constexpr int kInterrupted = 130;

// The system calls the handler on a thread of its own.
std::atomic<int> status{0};
// The flag of the run under way, set by the handler.
std::atomic<std::atomic<std::int16_t>*> cancel_flag{nullptr};

BOOL WINAPI Record(DWORD event) {
    // Closing the console, logging off and shutting down end the process whatever the
    // handler answers; they keep their default handling.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    int none = 0;
    status.compare_exchange_strong(none, kInterrupted);
    if (std::atomic<std::int16_t>* flag = cancel_flag.load()) flag->store(-1);
    return TRUE;
}

bool deferred = false;

}  // namespace

void DeferInterrupts() {
    if (!deferred) deferred = SetConsoleCtrlHandler(Record, TRUE) != 0;
}

int InterruptStatus() { return status.load(); }

InterruptCancels::InterruptCancels(std::atomic<std::int16_t>& flag) {
    cancel_flag.store(&flag);
    if (status.load() != 0) flag.store(-1);
}

InterruptCancels::~InterruptCancels() { cancel_flag.store(nullptr); }

void RestoreInterruptsForTests() {
    if (deferred) SetConsoleCtrlHandler(Record, FALSE);
    deferred = false;
    status = 0;
}

}  // namespace vemor::platform
