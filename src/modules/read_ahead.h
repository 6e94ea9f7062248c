#pragma once

#include "folder_reading.h"  // and with it atomic, cstdint, memory and vector

namespace vemor {

// On a share every call is a round trip, and a share answers many at once. The scan hands the
// folders it will enter next, in its order; readers read them meanwhile as the scan would, and
// know nothing of the tree. Nothing they do holds the run: a reader stuck in a call is left to it.
class ReadAhead {
public:
    // Round trips in flight: one per reader, each with one file open at most; a share that
    // caps its connections must serve them and the scan's own. An apply is bound by its writes,
    // one at a time, which on some clients take connections of their own: rclone, sending each
    // file written after its close, held 5 connections at once with no readers, 14 with three
    // and 16 with four, where a share capped at 16 left it waiting for good. Of the folders
    // handed the first kMostFolders are read, and of their files at most kMostBytes held, none
    // larger than kLargestFile, which the scan reads at its step.
    static constexpr std::size_t kReadersForPreview = 8;
    static constexpr std::size_t kReadersForApply = 3;
    static constexpr std::size_t kMostFolders = 48;
    static constexpr std::uint64_t kMostBytes = 2 * 1024 * 1024;
    static constexpr std::uint64_t kLargestFile = 64 * 1024;

    // A folder handed: read by a reader, or by nobody once the scan takes it first.
    struct Request;
    using Handed = std::shared_ptr<Request>;
    static Handed Hand(FolderToRead at);

    ReadAhead(const std::string& pattern, const std::atomic<std::int16_t>& cancel, std::size_t readers);
    // What is not begun is dropped; a reader still in a call ends by itself once it returns.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    // Readers of every run not yet ended, for tests to wait for before they change a seam.
    static int Serving();

    // The folders the scan comes to next, in its order: readers begin the first not yet begun.
    void Plan(std::vector<Handed> next);
    // The reading of a folder handed once a reader is done, for the scan to look at ahead: no
    // reader touches it again.
    FolderReading* Peek(const Handed& folder);
    // The reading of a folder handed, once its reader is done; nothing where no reader has
    // begun it or its reader met a problem, for the scan to read it itself. False where the run
    // was stopped while a reader was still at it: the folder is left unread.
    bool Take(const Handed& folder, std::optional<FolderReading>& reading);
    // A reading done with, for a reader to close its files, each a round trip on a share.
    void Discard(FolderReading reading);

private:
    struct Pool;
    const std::atomic<std::int16_t>& cancel_;
    std::shared_ptr<Pool> pool_;
};

}  // namespace vemor
