#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "files.h"
#include "folder_state.h"
#include "owned.h"

namespace vemor::platform {
namespace {

using OwnedFolder = Owned<DIR*, CallTo<&closedir>>;

FolderExamination Unreadable(int error) { return {FolderState::kUnreadable, std::strerror(error)}; }

}  // namespace

FolderExamination ExamineFolder(const std::string& path) {
    struct stat info {};
    if (path.empty()) return {FolderState::kMissing, {}};
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {FolderState::kMissing, {}};
        return Unreadable(errno);
    }
    if (!S_ISDIR(info.st_mode)) return {FolderState::kNotAFolder, {}};
    DIR* const opened = opendir(path.c_str());
    if (opened == nullptr) return Unreadable(errno);
    const OwnedFolder folder(opened);
    errno = 0;
    if (readdir(folder.get()) == nullptr && errno != 0) return Unreadable(errno);
    // Listing needs read permission, going into the entries search permission as well.
    const std::string inside = WithSeparator(path) + ".";
    if (stat(inside.c_str(), &info) != 0) return Unreadable(errno);
    return {FolderState::kReadable, {}};
}

}  // namespace vemor::platform
