#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "platform/posix/names.h"
#include "platform/text.h"

namespace vemor::platform::posix {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::string StoredName(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.empty()) return {};
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) return name;

    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return {};
    const std::string wanted = ToUpper(name);
    std::string best;
    while (const dirent* entry = readdir(dir.get())) {
        if (ToUpper(entry->d_name) != wanted) continue;
        // Enumeration order is arbitrary here; the smallest name keeps the choice stable.
        if (best.empty() || std::string(entry->d_name) < best) best = entry->d_name;
    }
    return best;
}

std::string ResolveStoredPath(const std::string& path) {
    const std::string stored = StoredName(path);
    if (stored.empty()) return path;
    const std::size_t cut = path.rfind('/');
    return (cut == std::string::npos ? std::string() : path.substr(0, cut + 1)) + stored;
}

}  // namespace vemor::platform::posix
