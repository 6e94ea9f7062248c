// A plain pool: one lock, one condition, the scan's window of folders in its order, and readers
// that take the first folder of it not yet begun. Readers own nothing the scan needs, so the
// run never waits for one that is stuck; they share the pool with it and end once it is gone.
#include "read_ahead.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "heap.h"

namespace vemor {
namespace {

// How often a scan waiting for a reader looks whether it has been stopped: a stop comes from a
// signal handler or another thread, which cannot wake it.
constexpr std::chrono::milliseconds kStopLook{100};

bool Unproblematic(const std::optional<platform::FileProblem>& problem) {
    return !problem || problem->kind == platform::FileProblem::Kind::kMissing;
}

// What a reader could not read, for want of handles or memory say, the scan reads itself.
bool Whole(const FolderReading& reading) {
    if (!reading.entries && reading.problem.kind != platform::FileProblem::Kind::kMissing) return false;
    for (const auto* step : {&reading.client_step, &reading.session_step})
        if (*step && !Unproblematic((*step)->ReadProblem())) return false;
    return true;
}

}  // namespace

struct ReadAhead::Request {
    explicit Request(FolderToRead folder) : at(std::move(folder)) {}
    const FolderToRead at;
    bool begun = false;
    bool done = false;
    std::optional<FolderReading> reading;
    std::uint64_t bytes = 0;  // of its files, held
};

struct ReadAhead::Pool {
    explicit Pool(std::string files) : pattern(std::move(files)) {}
    const std::string pattern;
    std::mutex mutex;
    std::condition_variable changed;  // a folder planned or read, or the end
    std::vector<Handed> window;        // the scan's next folders, in its order
    std::uint64_t bytes = 0;
    std::atomic<bool> stopped = false;

    Handed Next() {
        for (const Handed& folder : window)
            if (!folder->begun) return folder;
        return nullptr;
    }

    bool Fits(Request& folder, std::uint64_t size) {
        const std::lock_guard lock(mutex);
        if (size > kLargestFile || bytes + size > kMostBytes) return false;
        bytes += size;
        folder.bytes += size;
        return true;
    }

    std::optional<FolderReading> Read(Request& folder) {
        try {
            std::optional<FolderReading> reading =
                ReadFolderAt(folder.at, pattern, [&](std::uint64_t size) { return Fits(folder, size); }, &stopped);
            if (reading && Whole(*reading)) return reading;
        } catch (...) {
            // Out of memory, say: the scan reads the folder itself and meets the failure there.
        }
        return std::nullopt;
    }

    static void Serve(const std::shared_ptr<Pool>& pool) {
        std::unique_lock lock(pool->mutex);
        for (;;) {
            Handed folder;
            pool->changed.wait(lock, [&] { return pool->stopped || (folder = pool->Next()); });
            if (pool->stopped) return;
            folder->begun = true;
            lock.unlock();
            std::optional<FolderReading> reading = pool->Read(*folder);
            lock.lock();
            if (!reading) pool->bytes -= std::exchange(folder->bytes, 0);
            folder->reading = std::move(reading);
            folder->done = true;
            pool->changed.notify_all();
        }
    }
};

ReadAhead::ReadAhead(const std::string& pattern, const std::atomic<std::int16_t>& cancel)
    : cancel_(cancel), pool_(std::make_shared<Pool>(pattern)) {
    platform::ShareHeapAmongThreads();
    try {
        for (std::size_t i = 0; i < kReaders; ++i) std::thread(Pool::Serve, pool_).detach();
    } catch (const std::system_error&) {
        // Fewer readers, or none: the scan reads what none has begun itself.
    }
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard lock(pool_->mutex);
        pool_->stopped = true;
        pool_->window.clear();
    }
    pool_->changed.notify_all();
}

ReadAhead::Handed ReadAhead::Hand(FolderToRead at) { return std::make_shared<Request>(std::move(at)); }

void ReadAhead::Plan(std::vector<Handed> next) {
    {
        const std::lock_guard lock(pool_->mutex);
        pool_->window = std::move(next);
    }
    pool_->changed.notify_all();
}

bool ReadAhead::Take(const Handed& folder, std::optional<FolderReading>& reading) {
    std::unique_lock lock(pool_->mutex);
    // Not begun: it never will be, as the scan reads it now.
    if (!std::exchange(folder->begun, true)) return true;
    while (!folder->done) {
        if (cancel_ != 0) return false;
        pool_->changed.wait_for(lock, kStopLook);
    }
    pool_->bytes -= std::exchange(folder->bytes, 0);
    reading = std::exchange(folder->reading, std::nullopt);
    return true;
}

}  // namespace vemor
