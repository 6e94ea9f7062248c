#pragma once

#include <optional>
#include <string>

#include "file_problem.h"

namespace vemor::platform {

// Whether a scan can read the folder at path: nothing when it is there, is a folder (or a link
// to one) and may be listed and entered; else why not: kMissing, kNotAFolder, or the system's
// reason.
std::optional<FileProblem> ExamineFolder(const std::string& path);

}  // namespace vemor::platform
