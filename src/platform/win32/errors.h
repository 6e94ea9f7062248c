#pragma once

#include <windows.h>

#include <string>

#include "file_problem.h"

namespace vemor::platform::win32 {

// The system's message for a Windows error code, without its closing full stop and line end;
// "Windows error N" where the system has none.
std::string SystemMessage(DWORD error);

// The problem a Windows error code stands for, with the system's words for it.
FileProblem ProblemFromError(DWORD error);

}  // namespace vemor::platform::win32
