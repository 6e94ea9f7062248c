#pragma once

#include <atomic>
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
#include "profile.h"

namespace vemor {

// A folder's place in a run: the indices of the entries that lead to it from the root. The scan
// examines folders in the order of their places, compared as sequences.
using Place = std::vector<std::uint32_t>;

// A folder as its parent lists it, before it is read.
struct FolderToRead {
    std::string folder;  // with its trailing separator
    platform::FolderEntry entry;
    std::optional<std::uint64_t> volume;  // the parent's volume, where known
};

// All the scan asks of one folder: its listing, its identity, the lookups of its two files
// and their steps. Only what the scan would have asked is there: no session lookup after a
// client lookup that failed, no step for a file the lookup did not find.
struct FolderReading {
    std::optional<std::vector<platform::FolderEntry>> entries;  // nothing where it cannot be listed
    platform::FileProblem problem{platform::FileProblem::Kind::kOther};  // then why
    std::optional<platform::FolderId> id;
    platform::FoundFile client;   // user.dat
    platform::FoundFile session;  // sitzung.dat
    std::optional<platform::ProfileStep> client_step;
    std::optional<platform::ProfileStep> session_step;
    bool ahead = false;  // read by a reader thread before the scan came to it
    // The session file's bytes read then, too: a file too large for the bounds is only opened.
    bool session_read_ahead = false;
};

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

    // Readers start no folder once cancel is set.
    ReadAhead(const std::string& pattern, const std::atomic<std::int16_t>& cancel);
    // Drops everything read ahead and ends the readers; back once every one has.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The subfolders of the folder at place, just listed, for the readers to take on.
    void Offer(const Place& place, const std::string& folder, const std::vector<platform::FolderEntry>& entries,
               std::optional<std::uint64_t> volume);
    // The folder at place, as a reader read it, waited for while one is at it; else read here
    // and now, its files when their values are asked for.
    FolderReading Take(const Place& place, const FolderToRead& at);
    // Nothing below place will be taken.
    void Forget(const Place& place);
    // Whether this is the run's first visit to the folder; from now on it has been visited.
    bool FirstVisit(const platform::FolderId& id);

private:
    struct Slot {
        bool ready = false;
        FolderReading reading;
        std::uint64_t bytes = 0;
    };

    void Read();
    std::optional<FolderReading> Prepare(const Place& place, const FolderToRead& at, std::uint64_t* bytes);
    bool Listed(const Place& place, const FolderToRead& at, const FolderReading& reading);
    bool AddWaiting(const Place& place, const std::string& folder, const std::vector<platform::FolderEntry>& entries,
                    std::optional<std::uint64_t> volume);
    bool Fits(std::uint64_t size, std::uint64_t& bytes);
    void Finish(const Place& place, std::optional<FolderReading> reading, std::uint64_t bytes);

    const std::string pattern_;
    const std::atomic<std::int16_t>& cancel_;
    std::mutex mutex_;
    std::condition_variable work_;   // readers: a folder to read and room for it, or the end
    std::condition_variable ready_;  // the scan: a folder read
    std::map<Place, FolderToRead> waiting_;  // known, not yet started
    std::map<Place, Slot> started_;          // started by a reader, not yet taken
    std::set<platform::FolderId> visited_;
    std::uint64_t bytes_ = 0;
    std::atomic<bool> stopping_ = false;
    std::vector<std::jthread> readers_;  // last: they end before the rest goes
};

}  // namespace vemor
