// The floors' walk with round trips in flight (bench/floor.cpp, bench/wine_floor.cpp): READERS
// threads take folders from one stack, list them and read their files at once; the pending
// files they find are changed one at a time on the calling thread while they go on. The best a
// scan can do that overlaps its reads and keeps its writes in order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace floors {

template <class Path>
struct Pending {
    Path path;
    std::string contents;
    std::size_t flag;
};

// scan(folder, subfolders, pending) lists one folder and reads its files, and gives the number of
// sessions read; patch changes one pending file and tells whether it held.
template <class Path, class Counts>
void Overlapped(std::vector<Path> folders, std::size_t readers,
                const std::function<long(const Path&, std::vector<Path>&, std::vector<Pending<Path>>&)>& scan,
                const std::function<bool(Pending<Path>&)>& patch, Counts& counts) {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Pending<Path>> pending;
    std::size_t busy = 0;
    const auto read = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return !folders.empty() || busy == 0; });
            if (folders.empty()) return;
            const Path folder = std::move(folders.back());
            folders.pop_back();
            ++busy;
            lock.unlock();
            std::vector<Path> found;
            std::vector<Pending<Path>> files;
            const long sessions = scan(folder, found, files);
            lock.lock();
            --busy;
            counts.sessions += sessions;
            for (Path& sub : found) folders.push_back(std::move(sub));
            for (Pending<Path>& file : files) pending.push_back(std::move(file));
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < readers; ++i) threads.emplace_back(read);
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [&] { return !pending.empty() || (folders.empty() && busy == 0); });
        if (pending.empty()) break;
        Pending<Path> next = std::move(pending.front());
        pending.pop_front();
        lock.unlock();
        const bool written = patch(next);
        lock.lock();
        ++(written ? counts.written : counts.failed);
    }
    lock.unlock();
    for (std::thread& thread : threads) thread.join();
}

}  // namespace floors
