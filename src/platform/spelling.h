#pragma once

#include <iterator>
#include <string>

#include "text.h"

namespace vemor::platform {

// Among entries (anything with a name), the one stored exactly as name, else the smallest one
// equal to it without regard to letter case; null when none is. Where a folder holds several
// spellings of a name (Wine on a Linux file system, a case-sensitive folder on Windows, a
// share), this is the one FindFirstFile takes, so that both builds read the same file.
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

}  // namespace vemor::platform
