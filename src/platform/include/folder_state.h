#pragma once

#include <optional>
#include <string>

#include "file_problem.h"

namespace vemor::platform {

// Whether a scan can read the folder at path: nothing when it is there, is a folder (or a link
// to one) and may be listed and entered; else why not: kMissing, kNotAFolder, or the system's
// reason.
std::optional<FileProblem> ExamineFolder(const std::string& path);

// Whether the folder lies where each call is a round trip: on a network share, or on a file
// system served by a program (FUSE, which shares are mounted through too). Where it cannot be
// told, not.
bool IsRemoteFolder(const std::string& path);

// The value of the environment variable name, in UTF-8; nothing where it is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);

}  // namespace vemor::platform
