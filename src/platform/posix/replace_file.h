#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "posix/profile_view.h"
#include "posix/stamp.h"

namespace vemor::platform::posix {

enum class ReadOutcome { kRead, kMissing, kNotAFile, kUnreadable };

// The whole file at path, read to its end: one open, the reads, one close. With stamp
// given, also the stamp of the file actually opened, taken before its bytes are read.
ReadOutcome ReadWholeFile(const std::string& path, std::string& contents, std::optional<Stamp>* stamp = nullptr);

// What was read of a file, which a write may replace and nothing else.
struct ReadVersion {
    bool found;                  // the file was there and was read
    std::string_view bytes;      // what was read
    std::optional<Stamp> stamp;  // of the version read; without it the bytes are compared
    timespec read_at;            // when the reading began
};

// Replaces the file at path by the version read with edit made, so that the old or the new
// contents are there whatever happens meanwhile: a temporary file in the same folder, flushed
// to disk and renamed over the original, keeping its permissions (and owner where we may set
// it). Only into the version read: a file that changed, vanished or appeared since is left
// alone. A symbolic link stays a link; its target is replaced. A file whose owner has no
// write permission is never replaced. Returns false, with the original untouched, when the
// file cannot or must not be written.
bool ReplaceFile(const std::string& path, const ReadVersion& read, const ByteEdit& edit);

// Tests only: replacements report success but leave the file as it was, as a write that is
// lost on its way to a server would.
void LoseWritesForTests(bool lose);

}  // namespace vemor::platform::posix
