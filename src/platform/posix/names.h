#pragma once

#include <string>

// File names on a file system that regards letter case, for data copied from Windows.
namespace vemor::platform::posix {

// The name under which the last component of path is stored in its folder: the exact name
// when it exists, else the first name equal to it without regard to letter case, else empty.
std::string StoredName(const std::string& path);

// path with its last component spelled as stored, or path itself when nothing matches.
std::string ResolveStoredPath(const std::string& path);

}  // namespace vemor::platform::posix
