#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "file_problem.h"
#include "open_file.h"
#include "profile_view.h"

// A profile file read whole, and one edit written into it: the same on every target, over the
// backend's open files.
namespace vemor::platform {

// One reading of a profile file. The file stays open while the reading lives, so that a write
// goes into the very file that was read, whatever its name leads to by then.
struct FileReading {
    std::string path;                    // the file as opened: where letter case counts, as stored
    std::optional<FileProblem> problem;  // nothing when it was read; kMissing when nothing is there
    std::string bytes;
    OpenFile file;
    std::optional<FileIdentity> identity = {};  // where asked for
    // Opened and measured, its bytes left for later: how many to read then (ReadRest).
    std::optional<std::uint64_t> unread = {};
};

// Opens the file once and reads it to the size it has then. Other programs may go on reading,
// writing, renaming and deleting it meanwhile. Anything but a file of bytes is not read. Where
// read_now is given and refuses the size, the file is left open and unread.
FileReading ReadProfileFile(const std::string& path, bool identify = false,
                            const std::function<bool(std::uint64_t size)>& read_now = {});

// The bytes of a reading left unread, to the size it had when it was opened.
void ReadRest(FileReading& reading);

// What a write left behind.
struct EditOutcome {
    std::optional<FileProblem> problem;  // nothing when the edit reached the disk
    std::optional<FileIdentity> written = {};  // the file it went into, for a read-back by name to find
    // The file as the write opened it, still held against other writers until it is closed.
    OpenFile held = {};
};

// Makes edit in the file that was read, and only in the version read: the file is held against
// other writers from the comparison to the end of the write, and one that changed, is held by
// another program or is write-protected is left alone. The edit is written where the file
// stands, whatever its length, and flushed; should that fail, the file is put back as read. A
// file that was missing when read is made, unless one has appeared since.
EditOutcome WriteProfileEdit(const FileReading& read, const ByteEdit& edit);

}  // namespace vemor::platform
