#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "file_problem.h"
#include "win32/handles.h"

namespace vemor::platform::win32 {

// Replaces the file at path, which held holds, by one holding contents: a copy made beside
// it, marked for deletion from its creation until the moment it is put in place, flushed,
// and then put in place by the system's replace, which keeps the file's attributes, ACL,
// creation time and short name; the copy carries the file's attributes from the start, for
// file systems where the replace does not. The file stays held as long as the replace allows.
std::optional<FileProblem> ReplaceHeldFile(const std::string& path, OwnedHandle& held, DWORD attributes,
                                           std::string_view contents);

// Makes a file at path holding contents, unless something has appeared under the name.
std::optional<FileProblem> MakeFile(const std::string& path, std::string_view contents);

}  // namespace vemor::platform::win32
