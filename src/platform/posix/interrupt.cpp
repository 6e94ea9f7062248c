#include "interrupt.h"

#include <signal.h>

#include <atomic>
#include <iterator>

namespace vemor::platform {
namespace {

// SIGPIPE too: a reader that goes away must not end an apply in the middle of a session.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Written by the handler only; lock-free, so the handler may touch it.
std::atomic<int> status{0};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction previous[std::size(kSignals)];
bool deferred = false;

// The flag of the run under way, set by the handler; lock-free like the status.
std::atomic<std::atomic<std::int16_t>*> cancel_flag{nullptr};
static_assert(std::atomic<std::int16_t>::is_always_lock_free);

extern "C" void Record(int signal) {
    int none = 0;
    status.compare_exchange_strong(none, 128 + signal);
    if (std::atomic<std::int16_t>* flag = cancel_flag.load()) flag->store(-1);
}

}  // namespace

void DeferInterrupts() {
    if (deferred) return;
    struct sigaction action {};
    action.sa_handler = Record;
    // Restarted calls: an interrupted read or write goes on as though nothing had come.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) sigaddset(&action.sa_mask, signal);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], nullptr, &previous[i]);
        // Started under nohup or in the background of a shell: the starter wants it ignored.
        if ((previous[i].sa_flags & SA_SIGINFO) == 0 && previous[i].sa_handler == SIG_IGN) continue;
        sigaction(kSignals[i], &action, nullptr);
    }
    deferred = true;
}

int InterruptStatus() { return status.load(); }

InterruptCancels::InterruptCancels(std::atomic<std::int16_t>& flag) {
    cancel_flag.store(&flag);
    if (status.load() != 0) flag.store(-1);
}

InterruptCancels::~InterruptCancels() { cancel_flag.store(nullptr); }

void RestoreInterruptsForTests() {
    if (deferred) {
        for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous[i], nullptr);
        deferred = false;
    }
    status = 0;
}

}  // namespace vemor::platform
