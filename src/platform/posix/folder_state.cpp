#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <linux/magic.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "files.h"
#include "folder_state.h"
#include "posix/descriptor.h"
#include "posix/errors.h"
#include "posix/mount_table.h"

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

namespace {

// FUSE clients seen to keep many requests in flight. Others may send one at a time (smbnetfs
// does), where readers ahead only queue in front of the scan's own requests.
constexpr std::string_view kOverlappingFuse[] = {"rclone"};

// The FUSE client serving the folder, found in the mount table by the number the system gives
// its mount, so that no other mount of the same folder is taken for it.
std::string FuseClient(int folder) {
    struct statx info {};
    if (statx(folder, "", AT_EMPTY_PATH, STATX_MNT_ID, &info) != 0 || !(info.stx_mask & STATX_MNT_ID)) return {};
    std::ifstream mount_table("/proc/self/mountinfo");
    return posix::FuseClientIn(mount_table, info.stx_mnt_id);
}

}  // namespace

// Asked of one handle: a name looked up twice may lead to another volume the second time.
bool IsOverlappingShare(const std::string& path) {
    const posix::Descriptor folder = posix::Open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct statfs volume {};
    if (!folder || fstatfs(folder.get(), &volume) != 0) return false;
    switch (static_cast<unsigned long>(volume.f_type)) {
        case NFS_SUPER_MAGIC:
        case SMB_SUPER_MAGIC:
        case CIFS_SUPER_MAGIC:
        case SMB2_SUPER_MAGIC:
        case V9FS_MAGIC:
        case CEPH_SUPER_MAGIC:
        case AFS_SUPER_MAGIC:
        case AFS_FS_MAGIC:
        case CODA_SUPER_MAGIC:
        case NCP_SUPER_MAGIC:
            return true;
        case FUSE_SUPER_MAGIC:
            return std::ranges::find(kOverlappingFuse, FuseClient(folder.get())) != std::end(kOverlappingFuse);
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
