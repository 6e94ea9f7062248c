#pragma once

#include <optional>
#include <string>
#include <vector>

#include "file_problem.h"

// Writes that a failure or the end of the process left part-way, undone from the records they
// kept: every run does this before it scans.
namespace vemor::platform {

struct Recovery {
    enum class Kind {
        kRestored,   // the file holds its original bytes again; the record is gone
        kCompleted,  // the file holds what the write meant it to: left so; the record is gone
        kKept,       // the record stays: the file changed otherwise since (kChanged, kMissing), is
                     // held by another program (kLocked), or could not be put back (any other)
        kUnreadable,  // the record itself could not be read or is no record of ours; left as it is
    };
    Kind kind;
    std::string file;    // the file the record is of; the record itself for kUnreadable
    std::string record;  // the record
    FileProblem problem = {FileProblem::Kind::kOther};  // kKept and kUnreadable: why
};

// Each record in the state folder that no running write holds, in the order of their names:
// a file that still holds only what its write can have left, and is the file the record names
// (the same identity), gets its original bytes back and loses the record once it reads as
// before; one that holds exactly what the write meant keeps it. Any other record stays.
std::vector<Recovery> RecoverInterruptedWrites();

}  // namespace vemor::platform
