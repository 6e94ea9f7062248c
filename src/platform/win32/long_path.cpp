#include "win32/long_path.h"

#include <windows.h>

#include <algorithm>

#include "utf16.h"

namespace vemor::platform::win32 {
namespace {

constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kExtendedUnc = L"\\\\?\\UNC\\";

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A name that the system's resolution of a path would change: one that ends in a dot or a
// blank, as Linux, a Mac or a share may store it. "." and ".." are resolved as they should
// be, and a name with wildcards is a pattern, which no stored name matches that way.
bool ResolutionChanges(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L".." || name.find_first_of(L"*?") != std::wstring_view::npos)
        return false;
    return name.back() == L'.' || name.back() == L' ';
}

// Where the first such name in path begins; npos when there is none.
std::size_t FirstChangedName(std::wstring_view path) {
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        if (ResolutionChanges(path.substr(start, end - start))) return start;
        start = end + 1;
    }
    return std::wstring_view::npos;
}

std::wstring SystemFullPathName(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return path;
    full.resize(written);
    return full;
}

// How much of a full path its names may not climb above: "C:\" or "\\server\share\".
std::size_t RootLength(std::wstring_view full) {
    if (!full.starts_with(L"\\\\")) return std::min<std::size_t>(full.size(), 3);
    std::size_t at = 2;
    for (int separators = 0; at < full.size() && separators < 2; ++at)
        if (full[at] == L'\\') ++separators;
    return at;
}

// names ("a\b.\..\c ") appended to full, which ends with a separator; "." and ".." resolved.
std::wstring Append(std::wstring full, std::wstring_view names) {
    const std::size_t root = RootLength(full);
    for (std::size_t start = 0; start < names.size();) {
        std::size_t end = start;
        while (end < names.size() && !IsSeparator(names[end])) ++end;
        const std::wstring_view name = names.substr(start, end - start);
        if (name == L"..") {
            if (full.size() > root) full.erase(full.rfind(L'\\', full.size() - 2) + 1);
        } else if (!name.empty() && name != L".") {
            full.append(name);
            if (end < names.size()) full += L'\\';
        }
        start = end + 1;
    }
    return full;
}

std::wstring Extended(const std::wstring& path) {
    if (path.starts_with(kExtended)) return path;
    const std::wstring full = FullPathName(path);
    if (full.starts_with(L"\\\\")) return std::wstring(kExtendedUnc) + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return std::wstring(kExtended) + full;
    return path;  // relative to something the extended form cannot name
}

}  // namespace

// The system resolves what comes before the first name it would change; the rest is
// resolved here, name by name.
std::wstring FullPathName(const std::wstring& path) {
    const std::size_t changed = FirstChangedName(path);
    if (changed == std::wstring::npos) return SystemFullPathName(path);
    std::wstring head = path.substr(0, changed);
    // Relative to the current folder, or to a drive's ("C:trail."): the folder itself.
    if (head.empty() || (head.size() == 2 && head[1] == L':')) head += L".\\";
    std::wstring full = SystemFullPathName(head);
    if (full.empty() || full.back() != L'\\') full += L'\\';
    return Append(std::move(full), std::wstring_view(path).substr(changed));
}

std::wstring FilePath(std::string_view utf8_path) {
    std::wstring path = Utf16(utf8_path);
    if (path.size() < kClassicPathLimit && FirstChangedName(path) == std::wstring::npos) return path;
    return Extended(path);
}

}  // namespace vemor::platform::win32
