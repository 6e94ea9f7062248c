// Profile files through POSIX calls: one open per reading; a write holds the file locked from
// the comparison with the version read to its flush.
#include "profile_file.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "posix/descriptor.h"
#include "posix/errors.h"
#include "posix/file_io.h"
#include "posix/names.h"
#include "posix/paths.h"
#include "posix/replace_file.h"
#include "test_hooks.h"

namespace vemor::platform {
namespace {

using posix::ProblemFromErrno;
using test_hooks::Reached;
using test_hooks::WriteStage;
using Problem = std::optional<FileProblem>;

FileProblem Changed(int error = 0) { return {FileProblem::Kind::kChanged, static_cast<std::uint32_t>(error)}; }

FileReading ReadAt(const std::string& path) {
    FileReading reading{path, std::nullopt, {}};
    // Not blocking: a pipe stored under the name must not hold the scan up.
    const posix::Descriptor fd = posix::Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (!fd) reading.problem = ProblemFromErrno(errno);
    else reading.problem = posix::ReadToEnd(fd.get(), reading.bytes);
    return reading;
}

// Whether this process may write what the permissions deny, as root may: then the owner's
// write permission is looked at by hand, so that a write-protected file stays unwritten.
bool OverridesPermissions() {
    static const bool overrides = [] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        if (syscall(SYS_capget, &header, data) != 0) return geteuid() == 0;
        return (data[0].effective & (1u << CAP_DAC_OVERRIDE)) != 0;
    }();
    return overrides;
}

// Why the file could not be opened for writing. A refusal by permissions says
// write-protected where its owner may not write it either.
FileProblem RefusedOpen(const std::string& path, int error) {
    if (error == ENOENT || error == EISDIR) return Changed(error);
    FileProblem problem = ProblemFromErrno(error);
    struct stat info {};
    if (problem.kind == FileProblem::Kind::kDenied && stat(path.c_str(), &info) == 0 && !(info.st_mode & S_IWUSR))
        problem.kind = FileProblem::Kind::kReadOnly;
    return problem;
}

// A file may be patched only where it could also be replaced: where its folder takes writes.
// So a write-protected folder protects its files whatever the length of a change.
Problem FolderTakesWrites(const std::string& path) {
    const std::string folder = posix::FolderWithSeparator(path);
    if (faccessat(AT_FDCWD, folder.empty() ? "." : folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return std::nullopt;
    FileProblem problem = ProblemFromErrno(errno);
    if (problem.kind == FileProblem::Kind::kDenied) problem.kind = FileProblem::Kind::kReadOnly;
    return problem;
}

// Both kinds of lock, so that other programs see the file as taken whichever they ask: one
// for the open file (byte ranges, which file servers map to Windows' locks) and flock. A
// file system that keeps no locks is written without them.
Problem Lock(int fd) {
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    if (fcntl(fd, F_OFD_SETLK, &range) != 0 && errno != ENOLCK && errno != EINVAL && errno != EOPNOTSUPP) {
        if (errno == EAGAIN || errno == EACCES) return FileProblem{FileProblem::Kind::kLocked, static_cast<std::uint32_t>(errno)};
        return ProblemFromErrno(errno);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK && errno != EINVAL && errno != EOPNOTSUPP) {
        if (errno == EWOULDBLOCK) return FileProblem{FileProblem::Kind::kLocked, static_cast<std::uint32_t>(errno)};
        return ProblemFromErrno(errno);
    }
    return std::nullopt;
}

// The changed bytes where they stand, flushed. Should that fail, the old bytes go back, so
// that the file does not claim a value the disk may not hold.
EditOutcome WriteInPlace(FileReading& read, int fd, const ByteEdit& edit) {
    const std::string_view bytes = read.bytes;
    const ByteEdit change = Narrowed(bytes, edit);
    if (!change.insert.empty()) {
        const auto offset = static_cast<off_t>(change.offset);
        if (const auto error = posix::WriteDurablyAt(fd, change.insert, offset)) {
            posix::WriteDurablyAt(fd, bytes.substr(change.offset, change.erase), offset);
            return {ProblemFromErrno(*error)};
        }
        Reached(WriteStage::kWrittenInPlace);
    }
    read.problem = posix::ReadFromStart(fd, bytes.size(), read.bytes);
    return {std::nullopt, true};
}

// A file with other names besides keeps them only if it is rewritten where it stands; that
// is no single step, but the lock keeps other careful writers out meanwhile.
EditOutcome RewriteInPlace(int fd, std::string_view bytes, const ByteEdit& edit) {
    const std::string tail = edit.insert + std::string(bytes.substr(edit.offset + edit.erase));
    const auto size = static_cast<off_t>(edit.offset + tail.size());
    if (const auto error = posix::WriteAt(fd, tail, static_cast<off_t>(edit.offset)))
        return {ProblemFromErrno(*error)};
    if (ftruncate(fd, size) != 0 || fdatasync(fd) != 0) return {ProblemFromErrno(errno)};
    return {};
}

// The file itself, where path is a link to it: a rename over the link would replace the link.
std::string FileBehind(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

EditOutcome WriteOtherLength(const std::string& path, int fd, const struct stat& info, std::string_view bytes,
                             const ByteEdit& edit) {
    if (info.st_nlink > 1) return RewriteInPlace(fd, bytes, edit);
    return {posix::ReplaceHeldFile(FileBehind(path), fd, info, Edited(bytes, edit))};
}

}  // namespace

FileReading ReadProfileFile(const std::string& path) {
    FileReading reading = ReadAt(path);
    if (!reading.problem || reading.problem->kind != FileProblem::Kind::kMissing) return reading;
    // Stored in another spelling, perhaps: a file copied from Windows as SITZUNG.DAT.
    const std::optional<std::string> stored = posix::SpellingInFolder(path);
    if (!stored || stored->empty()) return reading;
    const std::string other = posix::FolderWithSeparator(path) + *stored;
    return other == path ? reading : ReadAt(other);
}

EditOutcome WriteProfileEdit(FileReading& read, const ByteEdit& edit) {
    if (read.problem && read.problem->kind == FileProblem::Kind::kMissing)
        return {posix::MakeFile(read.path, Edited(read.bytes, edit))};
    // What could not be read cannot be compared, and is not written.
    if (read.problem) return {read.problem};
    const std::string& path = read.path;
    const posix::Descriptor fd = posix::Open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (!fd) return {RefusedOpen(path, errno)};
    std::optional<struct stat> info;
    const bool same_length = edit.insert.size() == edit.erase;
    if (OverridesPermissions() || !same_length) {
        if (fstat(fd.get(), &info.emplace()) != 0) return {ProblemFromErrno(errno)};
        if (!S_ISREG(info->st_mode)) return {Changed()};
        if (!(info->st_mode & S_IWUSR)) return {FileProblem{FileProblem::Kind::kReadOnly}};
    }
    if (!OverridesPermissions()) {
        if (Problem problem = FolderTakesWrites(path)) return {problem};
    }
    if (Problem problem = Lock(fd.get())) return {problem};
    if (!posix::HoldsExactly(fd.get(), read.bytes)) return {Changed()};
    Reached(WriteStage::kHeld);
    if (same_length) return WriteInPlace(read, fd.get(), edit);
    return WriteOtherLength(path, fd.get(), *info, read.bytes, edit);
}

}  // namespace vemor::platform
