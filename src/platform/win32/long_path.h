#pragma once

#include <string>
#include <string_view>

// Paths longer than the classic limit of 260 characters: the file functions take them in the
// extended form ("\\?\C:\...", "\\?\UNC\server\..."), which they do not otherwise reshape.
namespace vemor::platform::win32 {

inline constexpr std::size_t kClassicPathLimit = 260;  // MAX_PATH, with the terminating NUL

// path made full, relative to the current folder, as the system resolves it; path itself
// when that fails.
std::wstring FullPathName(const std::wstring& path);

// The path as the file functions take it: as given while it is short enough, else full,
// with "." and ".." resolved, in the extended form.
std::wstring FilePath(std::string_view utf8_path);

}  // namespace vemor::platform::win32
