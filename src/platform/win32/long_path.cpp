#include "win32/long_path.h"

#include <windows.h>

#include "utf16.h"

namespace vemor::platform::win32 {

std::wstring FullPathName(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return path;
    full.resize(written);
    return full;
}

namespace {

constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kExtendedUnc = L"\\\\?\\UNC\\";

std::wstring Extended(const std::wstring& path) {
    if (path.starts_with(kExtended)) return path;
    const std::wstring full = FullPathName(path);
    if (full.starts_with(L"\\\\")) return std::wstring(kExtendedUnc) + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return std::wstring(kExtended) + full;
    return path;  // relative to something the extended form cannot name
}

}  // namespace

std::wstring FilePath(std::string_view utf8_path) {
    std::wstring path = Utf16(utf8_path);
    return path.size() < kClassicPathLimit ? path : Extended(path);
}

}  // namespace vemor::platform::win32
