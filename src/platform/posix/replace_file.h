#pragma once

#include <sys/stat.h>

#include <string>

namespace vemor::platform::posix {

// Replaces the file at path with contents so that the old or the new contents are there
// whatever happens meanwhile: a temporary file in the same folder, flushed to disk and
// renamed over the original, keeping its permissions (and owner where we may set it).
// A symbolic link stays a link; its target is replaced. A file whose owner has no write
// permission is never replaced. Returns false, with the original untouched, when the file
// cannot be written.
bool ReplaceFile(const std::string& path, const std::string& contents);

// The whole file, and the state of the file opened when opened is given; false when it
// cannot be read.
bool ReadWholeFile(const std::string& path, std::string& contents, struct stat* opened = nullptr);

// Whether anything (a file, a folder, a dangling link) is stored at path.
bool Exists(const std::string& path);

}  // namespace vemor::platform::posix
