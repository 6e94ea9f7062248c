#pragma once

#include "file_problem.h"

namespace vemor::platform::posix {

// The problem an errno value stands for, with the system's own words for it.
FileProblem ProblemFromErrno(int error);

}  // namespace vemor::platform::posix
