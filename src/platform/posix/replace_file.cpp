#include "posix/replace_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "posix/descriptor.h"
#include "posix/errors.h"
#include "posix/file_io.h"
#include "posix/paths.h"
#include "test_hooks.h"

namespace vemor::platform::posix {
namespace {

using test_hooks::Reached;
using test_hooks::WriteStage;
using Problem = std::optional<FileProblem>;

// The file that takes the place of another. Without a name it vanishes with its descriptor,
// whatever ends the process; a named one is removed again unless it was put in place.
class Copy {
public:
    Copy() = default;
    Copy(Descriptor fd, std::string name) : fd_(std::move(fd)), name_(std::move(name)) {}
    Copy(Copy&&) = default;
    Copy& operator=(Copy&&) = default;
    ~Copy() {
        if (!name_.empty()) unlink(name_.c_str());
    }

    int fd() const { return fd_.get(); }
    explicit operator bool() const { return static_cast<bool>(fd_); }

    // Gives the copy a name beside target, unless it has one.
    Problem Name(const std::string& target);
    // Renames the copy to target, replacing what is there.
    Problem RenameTo(const std::string& target);
    // Links the copy in as target, which must not exist.
    Problem LinkAs(const std::string& target);

private:
    Descriptor fd_;
    std::string name_;  // empty while it has none, and once it is in place
};

std::string FolderOf(const std::string& path) {
    const std::string folder = FolderWithSeparator(path);
    return folder.empty() ? "." : folder;
}

// A name beside target that nothing else uses: target's own, with a random ending.
std::string NameBeside(const std::string& target) {
    unsigned char random[4] = {};
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        const auto pid = static_cast<unsigned>(getpid());
        random[0] = static_cast<unsigned char>(pid);
        random[1] = static_cast<unsigned char>(pid >> 8);
    }
    char ending[16];
    std::snprintf(ending, sizeof ending, ".patch-%02x%02x%02x%02x", random[0], random[1], random[2], random[3]);
    return target + ending;
}

// The link from the descriptor to a name: through /proc, which needs no privilege, or,
// where /proc is not mounted, by the descriptor itself.
int LinkDescriptor(int fd, const std::string& name) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != ENOENT || access("/proc/self/fd", F_OK) == 0) return -1;
    return linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
}

Problem Copy::Name(const std::string& target) {
    if (!name_.empty()) return std::nullopt;
    for (int tried = 0; tried < 100; ++tried) {
        const std::string name = NameBeside(target);
        if (LinkDescriptor(fd(), name) == 0) {
            name_ = name;
            return std::nullopt;
        }
        if (errno != EEXIST) return ProblemFromErrno(errno);
    }
    return ProblemFromErrno(EEXIST);
}

Problem Copy::RenameTo(const std::string& target) {
    if (Problem problem = Name(target)) return problem;
    if (rename(name_.c_str(), target.c_str()) != 0) return ProblemFromErrno(errno);
    name_.clear();
    return std::nullopt;
}

Problem Copy::LinkAs(const std::string& target) {
    const int linked = name_.empty() ? LinkDescriptor(fd(), target) : link(name_.c_str(), target.c_str());
    if (linked != 0) {
        // Something was made under the name since it was found missing.
        if (errno == EEXIST) return FileProblem{FileProblem::Kind::kChanged, EEXIST};
        return ProblemFromErrno(errno);
    }
    return std::nullopt;
}

// An unnamed file in the folder where the file system has them, else a named one.
Copy NewCopy(const std::string& target, Problem& problem) {
    const int unnamed = open(FolderOf(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed >= 0) return Copy(Descriptor(unnamed), {});
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        problem = ProblemFromErrno(errno);
        return {};
    }
    for (int tried = 0; tried < 100; ++tried) {
        std::string name = NameBeside(target);
        const int named = open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        if (named >= 0) return Copy(Descriptor(named), std::move(name));
        if (errno != EEXIST) break;
    }
    problem = ProblemFromErrno(errno);
    return {};
}

Problem FromError(std::optional<int> error) {
    if (error) return ProblemFromErrno(*error);
    return std::nullopt;
}

// The owner first: a change of owner may clear the set-id bits that the mode then restores.
Problem TakeOwnerAndMode(int fd, const struct stat& info) {
    struct stat own {};
    if (fstat(fd, &own) != 0) return ProblemFromErrno(errno);
    if ((own.st_uid != info.st_uid || own.st_gid != info.st_gid) && fchown(fd, info.st_uid, info.st_gid) != 0)
        return ProblemFromErrno(errno);
    if (fchmod(fd, info.st_mode & 07777) != 0) return ProblemFromErrno(errno);
    return std::nullopt;
}

// Every extended attribute: the ACL, and what a file server keeps there (a Windows ACL, the
// DOS attributes). A file system without them has none to carry over.
Problem CopyAttributes(int from, int to) {
    std::vector<char> names;
    for (;;) {
        const ssize_t size = flistxattr(from, nullptr, 0);
        if (size < 0 && errno == ENOTSUP) return std::nullopt;
        if (size < 0) return ProblemFromErrno(errno);
        names.resize(static_cast<std::size_t>(size));
        const ssize_t got = flistxattr(from, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE) return ProblemFromErrno(errno);
    }
    std::vector<char> value;
    for (std::size_t at = 0; at < names.size(); at += std::char_traits<char>::length(&names[at]) + 1) {
        const char* name = &names[at];
        ssize_t size = fgetxattr(from, name, nullptr, 0);
        if (size >= 0) {
            value.resize(static_cast<std::size_t>(size));
            size = fgetxattr(from, name, value.data(), value.size());
        }
        if (size < 0 || fsetxattr(to, name, value.data(), static_cast<std::size_t>(size), 0) != 0)
            return ProblemFromErrno(errno);
    }
    return std::nullopt;
}

// The rename is on disk only once its folder is.
void FlushFolder(const std::string& path) {
    const Descriptor folder = Open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder) fsync(folder.get());
}

}  // namespace

Problem ReplaceHeldFile(const std::string& path, int held, const struct stat& info, std::string_view contents) {
    Problem problem;
    Copy copy = NewCopy(path, problem);
    if (!copy) return problem;
    Reached(WriteStage::kTemporaryCreated);
    if ((problem = FromError(WriteAt(copy.fd(), contents, 0)))) return problem;
    if ((problem = TakeOwnerAndMode(copy.fd(), info))) return problem;
    if ((problem = CopyAttributes(held, copy.fd()))) return problem;
    Reached(WriteStage::kTemporaryWritten);
    if (fsync(copy.fd()) != 0) return ProblemFromErrno(errno);
    Reached(WriteStage::kTemporaryFlushed);
    if ((problem = copy.RenameTo(path))) return problem;
    Reached(WriteStage::kReplaced);
    FlushFolder(path);
    return std::nullopt;
}

Problem MakeFile(const std::string& path, std::string_view contents) {
    Problem problem;
    Copy copy = NewCopy(path, problem);
    if (!copy) return problem;
    const mode_t mask = umask(0);
    umask(mask);
    if ((problem = FromError(WriteAt(copy.fd(), contents, 0)))) return problem;
    if (fchmod(copy.fd(), 0666 & ~mask) != 0 || fsync(copy.fd()) != 0) return ProblemFromErrno(errno);
    if ((problem = copy.LinkAs(path))) return problem;
    FlushFolder(path);
    return std::nullopt;
}

}  // namespace vemor::platform::posix
