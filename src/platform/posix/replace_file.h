#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

#include "file_problem.h"

namespace vemor::platform::posix {

// Replaces the file at path, which is open as held (with info its state), by one holding
// contents: a copy made in the same folder, unnamed where the file system allows it, with
// the file's owner, permissions and extended attributes (its ACL among them), flushed, and
// then renamed over the file in one step. Where an attribute cannot be carried over, nothing
// is replaced. path must name the file itself, not a link to it.
std::optional<FileProblem> ReplaceHeldFile(const std::string& path, int held, const struct stat& info,
                                           std::string_view contents);

// Makes a file at path holding contents, with the permissions a new file gets, unless
// something has appeared under the name meanwhile.
std::optional<FileProblem> MakeFile(const std::string& path, std::string_view contents);

}  // namespace vemor::platform::posix
