#include <algorithm>

#include "files.h"
#include "text.h"

namespace vemor::platform {

void SortLikeNtfs(std::vector<FolderEntry>& entries) {
    std::vector<std::pair<std::string, FolderEntry>> keyed;
    keyed.reserve(entries.size());
    for (auto& entry : entries) keyed.emplace_back(ToUpper(entry.name), std::move(entry));
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    entries.clear();
    for (auto& [key, entry] : keyed) entries.push_back(std::move(entry));
}

bool MatchesEveryName(std::string_view pattern) { return pattern == "*" || pattern == "*.*"; }

bool EndsWithSeparator(std::string_view path) { return !path.empty() && path.back() == kSeparator; }

std::string WithSeparator(std::string path) {
    if (!EndsWithSeparator(path)) path += kSeparator;
    return path;
}

}  // namespace vemor::platform
