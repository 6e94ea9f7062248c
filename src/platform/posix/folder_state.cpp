#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <linux/magic.h>

#include <cerrno>
#include <cstdlib>

#include "files.h"
#include "folder_state.h"
#include "posix/descriptor.h"
#include "posix/errors.h"

namespace vemor::platform {

std::optional<FileProblem> ExamineFolder(const std::string& path) {
    if (path.empty()) return FileProblem{FileProblem::Kind::kMissing};
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return posix::ProblemFromErrno(errno);
    if (!S_ISDIR(info.st_mode)) return FileProblem{FileProblem::Kind::kNotAFolder};
    // Listing needs read permission, going into the entries search permission as well.
    if (!posix::Open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) return posix::ProblemFromErrno(errno);
    if (stat((WithSeparator(path) + ".").c_str(), &info) != 0) return posix::ProblemFromErrno(errno);
    return std::nullopt;
}

bool IsRemoteFolder(const std::string& path) {
    struct statfs volume {};
    if (statfs(path.c_str(), &volume) != 0) return false;
    switch (static_cast<unsigned long>(volume.f_type)) {
        case NFS_SUPER_MAGIC:
        case SMB_SUPER_MAGIC:
        case CIFS_SUPER_MAGIC:
        case SMB2_SUPER_MAGIC:
        case FUSE_SUPER_MAGIC:
        case V9FS_MAGIC:
        case CEPH_SUPER_MAGIC:
        case AFS_SUPER_MAGIC:
        case AFS_FS_MAGIC:
        case CODA_SUPER_MAGIC:
        case NCP_SUPER_MAGIC:
            return true;
        default:
            return false;
    }
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

}  // namespace vemor::platform
