#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

// Seams for tests, gathered in one place; the program itself never sets them.
namespace vemor::platform::test_hooks {

// The moments of a write at which a test ends the process, as a crash or a power cut would.
enum class WriteStage {
    kBegun,           // asked to write; nothing held or checked yet
    kHeld,            // held against other writers and compared; nothing written yet
    kWrittenInPlace,  // the changed bytes written where they stand, the file at its old size
    kCut,             // a file that got shorter cut to its new size; not yet flushed
    kRecorded,        // another length: the record of the bytes to be moved is on disk; the file untouched
    kPartWritten,     // a write cut short by cut_write has written its part
    kPutBackPartWritten,  // a put-back cut short by cut_write has written its part
};

// Which writes of an edit cut_write may cut short.
enum class WriteCall { kEdit, kPutBack };

// Where set and answering a count, the next write of the kind moves only that many bytes and
// then fails as a full disk does.
inline std::function<std::optional<std::size_t>(WriteCall)> cut_write;

// The folder records of moved bytes are kept in, in place of the user's own.
inline std::string record_folder;

// Called at each stage a write passes.
inline std::function<void(WriteStage)> write_stage;

// Writes report success but leave the file as it was, as a write lost on its way to a server.
inline bool lose_writes = false;

// Windows listings give no 8.3 aliases, as on a volume made without them: a name no path can
// spell then reaches nothing.
inline bool no_short_names = false;

// Called with the path before each listing of a folder and each opening of a profile file for
// reading, on whichever thread makes it: tests slow some reads down, or hold them until they
// have changed the tree. Set only while no scan runs.
inline std::function<void(const std::string& path)> before_reading;

inline void Reading(const std::string& path) {
    if (before_reading) before_reading(path);
}

// Every open of a file or folder on POSIX, and those that found nothing under the name. On a
// server share each costs a round trip; tests read the counts to see that no name is tried
// that the folder does not hold.
struct OpenCounts {
    std::atomic<long> made{0};
    std::atomic<long> missing{0};
};
inline OpenCounts opens;

inline void Reached(WriteStage stage) {
    if (write_stage) write_stage(stage);
}

}  // namespace vemor::platform::test_hooks
