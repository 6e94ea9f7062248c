#pragma once

#include <optional>
#include <string>

#include "spelling.h"

// File names on a file system that regards letter case, for data copied from Windows.
namespace vemor::platform::posix {

// The name under which the last component of path is stored in its folder: the spelling
// PickSpelling takes, else empty.
std::string StoredName(const std::string& path);

// path with each name as stored, where it is stored in another letter case; path itself
// where a name is not there in any.
std::string StoredPath(const std::string& path);

// The stored spelling of the last component of path, read from its folder's listing; nothing
// when the folder cannot be listed, the empty text when no name matches.
std::optional<std::string> SpellingInFolder(const std::string& path);

}  // namespace vemor::platform::posix
