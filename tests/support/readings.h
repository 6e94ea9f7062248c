#pragma once

// Readings ordered against the scan through the seam that every listing and file reading
// passes, on whichever thread makes it: the scan's own or a reader's ahead of it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>
#else
#include <filesystem>
#endif

#include "read_ahead.h"
#include "test_hooks.h"

namespace vemor::test {

// Whether every reader of the runs so far has ended within ten seconds: a run does not wait
// for its readers, but a test must before it changes what they may still call.
inline bool ReadersEnd() {
    for (int tries = 0; tries < 1000; ++tries) {
        if (ReadAhead::Serving() == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The seam set while it lives. Set and cleared only while no scan runs, nor any of its readers.
class ReadingHook {
public:
    explicit ReadingHook(std::function<void(const std::string& path)> hook) {
        platform::test_hooks::before_reading = std::move(hook);
    }
    ~ReadingHook() {
        if (!ReadersEnd()) ADD_FAILURE() << "a reader of the run never ended";
        platform::test_hooks::before_reading = nullptr;
    }
    ReadingHook(const ReadingHook&) = delete;
    ReadingHook& operator=(const ReadingHook&) = delete;
};

// Something threads wait for: ten seconds at most, so that a test that misses it fails rather
// than hangs.
class Moment {
public:
    void Arrive() {
        {
            const std::lock_guard lock(mutex_);
            came_ = true;
        }
        came_now_.notify_all();
    }
    bool Await() {
        std::unique_lock lock(mutex_);
        return came_now_.wait_for(lock, std::chrono::seconds(10), [this] { return came_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable came_now_;
    bool came_ = false;
};

// A share whose answers take uneven times: a third of the paths wait much longer than the rest,
// so that readings begun later end sooner.
inline void SlowUnevenly(const std::string& path) {
    if (path.size() % 3 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

// Whether path is the file or folder at, or anything below it.
inline bool IsAt(const std::string& path, const std::string& at) {
    return path.starts_with(at) && (path.size() == at.size() || path[at.size()] == '/' || path[at.size()] == '\\');
}

// The threads the process runs now.
inline std::size_t ThreadCount() {
#ifdef _WIN32
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    std::size_t count = 0;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        count += thread.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
#else
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
#endif
}

// The threads a run starts from. A sanitizer starts a thread of its own along with the
// process's first, which is no thread of the run's: one made and joined first lets it start.
inline std::size_t ThreadsBefore() {
    static const bool started = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)started;
    return ThreadCount();
}

// Whether the threads come down to count within two seconds: a thread just joined may still be
// listed for a moment, while one that outlived the run stays.
inline bool ThreadsComeDownTo(std::size_t count) {
    for (int tries = 0; tries < 200; ++tries) {
        if (ThreadCount() <= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace vemor::test
