#pragma once

#include <iterator>
#include <optional>
#include <string>

#include "text.h"

// File names on a file system that regards letter case, for data copied from Windows.
namespace vemor::platform::posix {

// The name under which the last component of path is stored in its folder: the exact name
// when it exists, else the first name equal to it without regard to letter case, else empty.
std::string StoredName(const std::string& path);

// Among entries (anything with a name), the one stored exactly as name, else the smallest
// one equal to it without regard to letter case; null when none is.
template <typename Entries>
auto PickSpelling(const Entries& entries, const std::string& name) -> decltype(&*std::begin(entries)) {
    for (const auto& entry : entries)
        if (entry.name == name) return &entry;
    const std::string wanted = ToUpper(name);
    decltype(&*std::begin(entries)) best = nullptr;
    for (const auto& entry : entries) {
        // Enumeration order is arbitrary; the smallest name keeps the choice stable.
        if (ToUpper(entry.name) == wanted && (!best || entry.name < best->name)) best = &entry;
    }
    return best;
}

// The stored spelling of the last component of path, read from its folder's listing; nothing
// when the folder cannot be listed, the empty text when no name matches.
std::optional<std::string> SpellingInFolder(const std::string& path);

}  // namespace vemor::platform::posix
