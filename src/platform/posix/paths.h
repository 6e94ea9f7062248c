#pragma once

#include <string>

namespace vemor::platform::posix {

// The folder part of path, up to and including its last "/"; empty for a bare name, which
// lies in the current folder.
inline std::string FolderWithSeparator(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// The last component of path.
inline std::string NameAfterFolder(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace vemor::platform::posix
