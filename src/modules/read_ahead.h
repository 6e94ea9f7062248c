#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "folder_reading.h"

namespace vemor {

// On a share every call is a round trip, and a share answers many at once. The scan hands the
// folders it will enter next, in its order; reader threads read them meanwhile, each exactly as
// the scan would, and the scan takes each reading when it comes to the folder. The readers know
// nothing of the tree, and nothing they do holds the run: a reader stuck in a call is left to it.
class ReadAhead {
public:
    // Round trips in flight at once: one per reader, each with at most one file open.
    static constexpr std::size_t kReaders = 16;
    // Of the folders handed, the first this many are read ahead; of their files at most this
    // many bytes are held, and none larger than kLargestFile, which the scan reads at its step.
    static constexpr std::size_t kMostFolders = 48;
    static constexpr std::uint64_t kMostBytes = 2 * 1024 * 1024;
    static constexpr std::uint64_t kLargestFile = 64 * 1024;

    // A folder handed: read by a reader, or by nobody once the scan takes it first.
    struct Request;
    using Handed = std::shared_ptr<Request>;

    ReadAhead(const std::string& pattern, const std::atomic<std::int16_t>& cancel);
    // What is not begun is dropped; a reader still in a call ends by itself once it returns.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    static Handed Hand(FolderToRead at);
    // The folders the scan comes to next, in its order: readers begin the first not yet begun.
    void Plan(std::vector<Handed> next);
    // The reading of a folder handed, once its reader is done; nothing where no reader has
    // begun it or its reader met a problem, for the scan to read it itself. False where the run
    // was stopped while a reader was still at it: the folder is left unread.
    bool Take(const Handed& folder, std::optional<FolderReading>& reading);

private:
    struct Pool;
    const std::atomic<std::int16_t>& cancel_;
    std::shared_ptr<Pool> pool_;
};

}  // namespace vemor
