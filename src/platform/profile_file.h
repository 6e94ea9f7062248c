#pragma once

#include <optional>
#include <string>

#include "file_problem.h"
#include "profile_view.h"

// What the profile engine needs of the system: a file read whole, and one edit written into
// it. Everything between, the reading and editing of profile text, is the same on every target.
namespace vemor::platform {

// One reading of a profile file.
struct FileReading {
    std::string path;                    // the file as opened: where letter case counts, as stored
    std::optional<FileProblem> problem;  // nothing when it was read; kMissing when nothing is there
    std::string bytes;
};

// Opens the file once, reads it to its end and closes it. Other programs may go on reading,
// writing, renaming and deleting it meanwhile.
FileReading ReadProfileFile(const std::string& path);

// What a write left behind.
struct EditOutcome {
    std::optional<FileProblem> problem;  // nothing when the edit reached the disk
    // Whether the reading now holds the file as read again, after the flush, through the handle
    // that wrote it (where that is the file now stored under the name); else the caller reads
    // it again. The reading's own room serves, so that a large file is not held twice.
    bool read_back = false;
};

// Makes edit in the file that was read, and only in the version read. The file is held
// against other writers from the comparison to the end of the write; a file that changed,
// is held by another program or may not be written is left alone. An edit that keeps the
// length is written in place; one that does not replaces the file by a flushed copy in one
// step, keeping its attributes. A file that was missing when read is made, unless one has
// appeared since. Everything written is flushed to disk before this returns.
EditOutcome WriteProfileEdit(FileReading& read, const ByteEdit& edit);

}  // namespace vemor::platform
