#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "files.h"
#include "folder_reading.h"

namespace vemor {

// A folder's place in a run: the indices of the entries that lead to it from the root. The scan
// examines folders in the order of their places, compared as sequences. A string of them, as
// it needs no memory of its own for the first few levels.
using Place = std::u32string;

// On a share every call is a round trip, and a share answers many at once. While the scan
// examines one folder, reader threads list the folders that come next in its order and read
// their files; the scan takes each folder in its own order and does everything else itself.
// Nothing is read twice: a folder read ahead is the scan's reading of it.
class ReadAhead {
public:
    // Round trips in flight at once: one per reader.
    static constexpr std::size_t kReaders = 16;
    // Read ahead and not yet taken, reading included: at most this many folders, and this many
    // bytes of their files; a file larger than kLargestFile is opened ahead but read when the
    // scan comes to it.
    static constexpr std::size_t kMostFolders = 48;
    static constexpr std::uint64_t kMostBytes = 2 * 1024 * 1024;
    static constexpr std::uint64_t kLargestFile = 64 * 1024;
    // Where answers come at once, what a reader is woken for.
    static constexpr std::size_t kBatch = 16;
    // Folders that take longer than this to read, on the whole, count the answers as slow.
    static constexpr std::chrono::microseconds kPatience{500};

    // Readers start no folder once cancel is set.
    ReadAhead(const std::string& pattern, const std::atomic<std::int16_t>& cancel);
    // Drops everything read ahead and ends the readers; back once every one has.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The subfolders of the folder at place, just listed, for the readers to take on.
    void Offer(const Place& place, const std::string& folder, Entries entries, std::optional<std::uint64_t> volume);
    // The folder at place, as a reader read it, waited for while one is at it; else read here
    // and now, its files when their values are asked for. From now on it has been visited.
    FolderReading Take(const Place& place, const FolderToRead& at);
    // Nothing below place will be taken.
    void Forget(const Place& place);
    // The scan is done with reading: a reader closes its files, each a round trip on a share.
    void Discard(FolderReading reading);
    // The root: it has been visited.
    void Visit(const platform::FolderId& id);

private:
    // A folder listed whose subfolders are still to be read, from its entry at next on.
    struct Listed {
        std::string folder;
        Entries entries;
        std::optional<std::uint64_t> volume;
        std::size_t next = 0;
        std::size_t left = 0;  // subfolders from next on
    };
    struct Slot {
        bool ready = false;
        FolderReading reading;
        std::uint64_t bytes = 0;
    };

    std::size_t Work() const;
    void Wake();
    void Took(std::chrono::steady_clock::duration time);
    void Read();
    void ReadNext(std::unique_lock<std::mutex>& lock);
    void Relock(std::unique_lock<std::mutex>& lock);
    void Add(const Place& place, const std::string& folder, Entries entries, std::optional<std::uint64_t> volume);
    void Pass(std::map<Place, Listed>::iterator listed, std::size_t index);
    bool Fits(std::uint64_t size, std::uint64_t& bytes);
    std::optional<FolderReading> Finish(const Place& place, std::optional<FolderReading> reading, std::uint64_t bytes);

    const std::string pattern_;
    const std::atomic<std::int16_t>& cancel_;
    std::mutex mutex_;
    std::condition_variable work_;   // readers: a folder to read and room for it, or the end
    std::condition_variable ready_;  // the scan: a folder read
    std::map<Place, Listed> listed_;  // by the folder's place
    std::set<Place> next_;            // the first subfolder still to be read of each
    std::size_t waiting_ = 0;         // subfolders still to be read, of all of them
    std::map<Place, Slot> started_;   // started by a reader, not yet taken
    std::set<platform::FolderId> visited_;
    std::optional<Place> awaited_;  // the place the scan waits for
    std::vector<FolderReading> discarded_;  // to be closed
    std::size_t active_ = 0;  // readers not waiting for work
    std::chrono::steady_clock::duration typical_{};  // how long reading a folder takes, of late
    bool slow_ = false;
    std::atomic<std::uint64_t> bytes_ = 0;
    std::atomic<bool> stopping_ = false;
    std::vector<std::jthread> readers_;  // last: they end before the rest goes
};

}  // namespace vemor
