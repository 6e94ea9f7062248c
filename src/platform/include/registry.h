#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The current user's registry, read only, with the contract of the Windows functions:
// every operation returns 0 or the platform's error code.
namespace vemor::platform {

using RegistryKey = std::uintptr_t;
using RegistryRoot = std::uint32_t;
inline constexpr RegistryRoot kHkeyCurrentUser = 0x80000001;

// The codes the Windows functions give, which every backend and fake gives alike.
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorMoreData = 234;

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegDword = 4;

// The current user's shell-folder keys, the second one tried when the first fails. They are
// all the POSIX backend knows.
inline constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* kShellKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell";

// Query, enumerate and notify, without the standard read right.
inline constexpr std::uint32_t kKeyReadValues = 0x19;

// Text data as the registry hands it over: UTF-16 from the W functions, UTF-8 elsewhere.
#ifdef _WIN32
using RegistryChar = wchar_t;
#else
using RegistryChar = char;
#endif

// Opens key_path below root (a predefined root such as 0x80000001, the current user).
std::int32_t OpenRegistryKey(RegistryRoot root, const std::string& key_path,
                             std::uint32_t access, RegistryKey& key);

// Without data: the value's type and its size in bytes. With data: fills at most size bytes
// and sets size to the bytes written; a value that does not fit gives a non-zero code.
std::int32_t QueryRegistryValue(RegistryKey key, const std::string& value_name,
                                std::uint32_t& type, void* data, std::uint32_t& size);

std::int32_t CloseRegistryKey(RegistryKey key);

// Text data converted to UTF-8 as it stands, NULs included.
std::string RegistryText(std::basic_string_view<RegistryChar> data);

}  // namespace vemor::platform
