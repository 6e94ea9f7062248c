#pragma once

#include <string>

#include "file_problem.h"

namespace vemor {

// Something a run could not do, which the result list does not say: the window shows only
// the list, the command line reports these as well.
struct ScanReport {
    enum class Kind {
        kWriteFailed,     // not patched: the write did not reach the session file
        kReadBackFailed,  // not patched: the session file could not be read after the write
        kWrongReadBack,   // not patched: the write reported nothing, yet the value read back is not 1
        kFileUnreadable,  // a client or session file the folder lists could not be read
        kFolderUnreadable,  // the entries of a folder below the root could not be listed
        // Before the scan, a write that a failure or the end of a process left part-way:
        kRestored,        // the file got its original bytes back from the record
        kFoundComplete,   // the file holds what the write meant it to; the record is removed
        kRecordKept,      // the record stays: the file changed otherwise, or could not be put back
        kRecordUnreadable,  // a record, or the records' folder, could not be read; left as it is
    };
    Kind kind;
    std::string path;  // the file, or the folder without its trailing separator
    // Why; left as it is for kWrongReadBack, which has no problem of the system.
    platform::FileProblem problem = {platform::FileProblem::Kind::kOther};
    std::string read_back = {};  // kWrongReadBack: the value as read back
    std::string record = {};     // the record, for the kinds after kFolderUnreadable

    // The three kinds of a session not patched come first.
    bool NotPatched() const { return kind <= Kind::kWrongReadBack; }
    // Of a write undone before the scan.
    bool Recovery() const { return kind >= Kind::kRestored; }
    // A file left damaged, or a record that could not be applied: someone has to look.
    bool Damaged() const {
        return !problem.kept_in.empty() || kind == Kind::kRecordKept || kind == Kind::kRecordUnreadable;
    }
};

}  // namespace vemor
