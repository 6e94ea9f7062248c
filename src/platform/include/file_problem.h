#pragma once

#include <cstdint>
#include <string>

namespace vemor::platform {

// Why a file or folder could not be read or written. The kind is what callers act on; code
// and text are the system's own number and words where a call of the system failed, so that
// a report can quote them. The wording for the user is the caller's.
struct FileProblem {
    enum class Kind {
        kMissing,   // nothing is stored under the name (any more)
        kNotAFile,  // a folder, device, pipe or socket where a file of bytes was expected
        kNotAFolder,  // a file where a folder was expected
        kDenied,    // the user may not read or write it
        kReadOnly,  // write-protected
        kLocked,    // another program holds it
        kChanged,   // changed since it was read
        kMoved,     // no longer under the name it was read by: moved, renamed or removed meanwhile
        kNoSpace,   // the disk, or the user's share of it, is full
        kBadName,   // no file can have that name: a character a name may not hold
        kNoMemory,  // too large to be held in memory
        kNoRecord,  // no record of the bytes a write would move could be kept: nothing was written
        kOther,     // anything else the system reported
    };
    Kind kind;
    std::uint32_t code = 0;  // errno or the Windows error code; 0 where no call failed
    std::string text = {};   // the system's message for code
    // A file a failed write left damaged, which could not be put back as it was: the record
    // that keeps its original bytes, from which a later run writes them back. Kind, code and
    // text then say why putting it back failed.
    std::string kept_in = {};

    bool operator==(const FileProblem&) const = default;
};

}  // namespace vemor::platform
