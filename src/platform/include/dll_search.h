#pragma once

namespace vemor::platform {

// From here on DLLs are loaded from the system's folder only, never from the program's folder
// or the current one, where anyone may have put a file by a system DLL's name. Each program
// calls it first thing. Does nothing where the loader looks in neither (POSIX).
void RestrictDllSearch();

}  // namespace vemor::platform
