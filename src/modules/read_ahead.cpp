// A plain pool: one lock, one condition, the scan's window of folders in its order, and readers
// that take the first folder of it not yet begun. Readers own nothing the scan needs, so the
// run never waits for one that is stuck; they share the pool with it and end once it is gone.
#include "read_ahead.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "heap.h"

namespace vemor {

static constexpr std::chrono::milliseconds kStopLook{100};  // a signal cannot wake a waiting scan
static std::atomic<int> serving = 0;

struct ReadAhead::Request {
    FolderToRead at;
    bool begun = false, done = false;
    std::optional<FolderReading> reading = {};
    std::uint64_t bytes = 0;  // of its files, held
};

struct ReadAhead::Pool {
    explicit Pool(std::string files) : pattern(std::move(files)) {}
    const std::string pattern;
    std::mutex mutex;
    std::condition_variable changed;   // work, a folder the scan waits for read, or the end
    std::vector<Handed> window;        // the scan's next folders, in its order
    std::vector<FolderReading> spent;  // to be closed
    std::uint64_t bytes = 0;           // of the files read ahead and not yet taken
    std::size_t idle = 0;              // readers waiting for work
    const Request* awaited = nullptr;  // by the scan
    std::atomic<bool> stopped = false;

    static bool Unbegun(const Handed& folder) { return !folder->begun; }

    // Wakes as many idle readers as there is work for, one at a time (only readers wait while the
    // scan is here): waking all for each folder would cost more than a folder on a disk.
    template <class Change>
    void Tell(Change change) {
        std::size_t work = 0;
        {
            const std::lock_guard lock(mutex);
            change();
            work = std::min<std::size_t>(idle, spent.size() + std::count_if(window.begin(), window.end(), Unbegun));
        }
        if (stopped) changed.notify_all();
        for (; work > 0; --work) changed.notify_one();
    }

    Handed Next() {
        const auto next = std::find_if(window.begin(), window.end(), Unbegun);
        return next == window.end() ? nullptr : *next;
    }

    bool Fits(Request& folder, std::uint64_t size) {
        const std::lock_guard lock(mutex);
        const bool fits = size <= kLargestFile && bytes + size <= kMostBytes;
        if (fits) bytes += size, folder.bytes += size;
        return fits;
    }

    // What a reader could not read, for want of handles or memory say, the scan reads itself
    // and meets the failure there.
    std::optional<FolderReading> Read(Request& folder) try {
        auto reading = ReadFolderAt(folder.at, pattern, [&](std::uint64_t size) { return Fits(folder, size); }, &stopped);
        return reading && reading->Whole() ? std::move(reading) : std::nullopt;
    } catch (...) {
        return std::nullopt;
    }

    static void Serve(const std::shared_ptr<Pool>& pool) {
        const std::shared_ptr<void> leaving(nullptr, [](void*) { serving.fetch_sub(1, std::memory_order_release); });
        std::unique_lock lock(pool->mutex);
        for (;;) {
            Handed folder;
            ++pool->idle;
            pool->changed.wait(lock, [&] { return pool->stopped || !pool->spent.empty() || (folder = pool->Next()); });
            --pool->idle;
            if (pool->stopped) return;
            std::vector<FolderReading> done = std::exchange(pool->spent, {});  // closed first
            if (folder) folder->begun = true;
            lock.unlock();
            done.clear();
            std::optional<FolderReading> reading = folder ? pool->Read(*folder) : std::nullopt;
            lock.lock();
            if (!folder) continue;
            if (!reading) pool->bytes -= std::exchange(folder->bytes, 0);
            folder->reading = std::move(reading);
            folder->done = true;
            if (pool->awaited == folder.get()) pool->changed.notify_all();
        }
    }
};

ReadAhead::ReadAhead(const std::string& pattern, const std::atomic<std::int16_t>& cancel, std::size_t readers)
    : cancel_(cancel), pool_(std::make_shared<Pool>(pattern)) {
    platform::ShareHeapAmongThreads();
    try {  // fewer readers where the system runs out of threads: the scan reads the rest itself
        for (std::size_t i = 0; i < readers; ++serving, ++i) std::thread(Pool::Serve, pool_).detach();
    } catch (const std::system_error&) {}
}

int ReadAhead::Serving() { return serving.load(std::memory_order_acquire); }
ReadAhead::Handed ReadAhead::Hand(FolderToRead at) { return std::make_shared<Request>(Request{std::move(at)}); }

ReadAhead::~ReadAhead() {
    pool_->Tell([this] {
        pool_->stopped = true;
        pool_->window.clear();
    });
}

void ReadAhead::Plan(std::vector<Handed> next) {
    pool_->Tell([&] { pool_->window = std::move(next); });
}

void ReadAhead::Discard(FolderReading reading) {
    const std::lock_guard lock(pool_->mutex);
    // Beyond what the readers keep up with, as where they are stuck, closed here as it goes.
    if (pool_->spent.size() < kMostFolders) pool_->spent.push_back(std::move(reading));
}

FolderReading* ReadAhead::Peek(const Handed& folder) {
    const std::lock_guard lock(pool_->mutex);
    return folder->done && folder->reading ? &*folder->reading : nullptr;
}

bool ReadAhead::Take(const Handed& folder, std::optional<FolderReading>& reading) {
    std::unique_lock lock(pool_->mutex);
    // Not begun: it never will be, as the scan reads it now.
    if (!std::exchange(folder->begun, true)) return true;
    for (pool_->awaited = folder.get(); !folder->done && cancel_ == 0;) pool_->changed.wait_for(lock, kStopLook);
    pool_->awaited = nullptr;
    if (!folder->done) return false;
    pool_->bytes -= std::exchange(folder->bytes, 0);
    reading = std::exchange(folder->reading, std::nullopt);
    return true;
}

}  // namespace vemor
