#pragma once

#include <string>
#include <string_view>

// Paths the file functions would read otherwise than they are written: longer than the classic
// limit of 260 characters, or with a name that ends in a dot or a blank, which the system's
// resolution of a path drops. The file functions take them in the extended form
// ("\\?\C:\...", "\\?\UNC\server\..."), which they do not otherwise reshape.
namespace vemor::platform::win32 {

inline constexpr std::size_t kClassicPathLimit = 260;  // MAX_PATH, with the terminating NUL

// path made full, relative to the current folder, as the system resolves it, except that
// names ending in a dot or a blank keep it; path itself when that fails.
std::wstring FullPathName(const std::wstring& path);

// The path as the file functions take it: as given while it is short enough and holds no
// name the system's resolution would change, else full, with "." and ".." resolved, in the
// extended form.
std::wstring FilePath(std::string_view utf8_path);

}  // namespace vemor::platform::win32
