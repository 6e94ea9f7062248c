#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "file_problem.h"
#include "open_file.h"

// What a write that moves bytes keeps outside the file first, so that a write that fails or is
// cut off can be undone from a copy whatever the file holds afterwards; and what a file may
// hold that such a write left.
namespace vemor::platform {

struct RecoveryRecord {
    std::string path;  // the file as the write opened it
    FileIdentity identity;
    std::uint64_t offset = 0;       // where the bytes written begin
    std::uint64_t before_hash = 0;  // of the bytes before offset, which no write touches
    std::string original;           // the file from offset to its end, as read
    std::string intended;           // the file from offset to its end, as the write makes it
};

// The record of an edit of bytes, read whole, that rewrites them from offset to the end.
RecoveryRecord RecordOf(const std::string& path, const FileIdentity& identity, std::string_view bytes,
                        std::uint64_t offset, std::string intended);

std::string RecordText(const RecoveryRecord& record);
std::optional<RecoveryRecord> ParseRecord(std::string_view text);

// What a file holds, measured against the record of a write into it.
enum class LeftState {
    kOriginal,  // as it was before the write
    kIntended,  // as the write makes it
    // Only what the write and a put-back can leave part-way: the bytes before the offset as
    // they were, each byte from the offset on the original's or the intended one's at that
    // place, and an end no sooner than the shorter of the two ends and no later than the
    // longer.
    kPartWay,
    kOther,  // changed otherwise
};
LeftState Judge(const RecoveryRecord& record, std::string_view file);

// A record on disk, held by its handle until it goes, so that no other run takes it for the
// record of a write that was cut off.
struct KeptRecord {
    std::string path;
    OpenFile file;
};

// Writes the record into the state folder and makes it durable before it returns: unpublished
// until flushed, then given its name, and the folder flushed. kNoRecord, with why, where it
// cannot be kept.
std::optional<FileProblem> KeepRecord(const RecoveryRecord& record, KeptRecord& kept);

// The folder records are kept in, made where missing and make is set.
std::optional<std::string> RecordFolder(bool make, FileProblem& problem, std::string& where);

}  // namespace vemor::platform
