#pragma once

#include <optional>
#include <string>

#include "file_problem.h"

namespace vemor::platform {

// Whether a scan can read the folder at path: nothing when it is there, is a folder (or a link
// to one) and may be listed and entered; else why not: kMissing, kNotAFolder, or the system's
// reason.
std::optional<FileProblem> ExamineFolder(const std::string& path);

// Whether the folder lies on a share whose client keeps many round trips in flight: one the
// kernel or the Windows redirector serves, or a FUSE client known to. Not a FUSE client that may
// send one request at a time; not where it cannot be told.
bool IsOverlappingShare(const std::string& path);

// The value of the environment variable name, in UTF-8; nothing where it is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);

}  // namespace vemor::platform
