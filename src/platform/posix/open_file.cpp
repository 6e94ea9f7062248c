// An open file through POSIX calls.
#include "open_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

#include "posix/descriptor.h"
#include "posix/errors.h"
#include "posix/names.h"
#include "posix/paths.h"

namespace vemor::platform {
namespace {

using Problem = OpenFile::Problem;

template <typename Call>
ssize_t Retried(Call call) {
    ssize_t done;
    do done = call();
    while (done < 0 && errno == EINTR);
    return done;
}

FileProblem Failed(int error) { return posix::ProblemFromErrno(error); }

FileProblem Kind(FileProblem::Kind kind, int error) { return {kind, static_cast<std::uint32_t>(error)}; }

// Not blocking: a pipe stored under the name must not hold the scan up.
constexpr int kReading = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
constexpr int kWriting = O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

// Both kinds of lock, so that other programs see the file as taken whichever they ask: one
// for the open file (byte ranges, which file servers map to Windows' locks) and flock. A file
// system that keeps no locks is written without them.
Problem Lock(int fd) {
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    const auto unlocked = [] { return errno != ENOLCK && errno != EINVAL && errno != EOPNOTSUPP; };
    if (fcntl(fd, F_OFD_SETLK, &range) != 0 && unlocked())
        return errno == EAGAIN || errno == EACCES ? Kind(FileProblem::Kind::kLocked, errno) : Failed(errno);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && unlocked())
        return errno == EWOULDBLOCK ? Kind(FileProblem::Kind::kLocked, errno) : Failed(errno);
    return std::nullopt;
}

// Why the file, open for reading as fd, could not be opened for writing. A refusal by the
// permissions says write-protected where its owner may not write it either.
FileProblem RefusedWrite(int fd, int error) {
    FileProblem problem = Failed(error);
    struct stat info {};
    if (problem.kind == FileProblem::Kind::kDenied && fstat(fd, &info) == 0 && !(info.st_mode & S_IWUSR))
        problem.kind = FileProblem::Kind::kReadOnly;
    return problem;
}

bool SameFile(int a, int b) {
    struct stat first {}, second {};
    return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// The file behind fd, opened anew without its name: through /proc, or, where /proc is not
// mounted, by its name, as long as that still leads to it.
posix::Descriptor OpenAgain(int fd, const std::string& path, int flags, int& error) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    posix::Descriptor again = posix::Open(self.c_str(), flags);
    error = errno;
    if (again || error != ENOENT || access("/proc/self/fd", F_OK) == 0) return again;
    again = posix::Open(path.c_str(), flags);
    error = again && !SameFile(fd, again.get()) ? ESTALE : errno;
    return again && error != ESTALE ? std::move(again) : posix::Descriptor();
}

}  // namespace

int OpenFile::Closer::operator()(int fd) const { return ::close(fd); }

OpenFile OpenFile::ForReading(const std::string& path, std::string& opened, FileProblem& problem) {
    opened = path;
    posix::Descriptor fd = posix::Open(path.c_str(), kReading);
    int error = errno;
    if (!fd && error == ENOENT) {
        // Stored in another spelling, perhaps: a file copied from Windows as SITZUNG.DAT.
        const std::optional<std::string> stored = posix::SpellingInFolder(path);
        const std::string other = posix::FolderWithSeparator(path) + stored.value_or("");
        if (stored && !stored->empty() && other != path) {
            opened = other;
            fd = posix::Open(other.c_str(), kReading);
            error = errno;
        }
    }
    if (!fd) problem = Failed(error);
    return fd ? OpenFile(fd.Release()) : OpenFile();
}

OpenFile OpenFile::Reopened(const std::string& path, FileProblem& problem) const {
    int error = 0;
    posix::Descriptor fd = OpenAgain(handle_.get(), path, kWriting, error);
    if (!fd) {
        problem = error == ESTALE ? Kind(FileProblem::Kind::kChanged, error) : RefusedWrite(handle_.get(), error);
        return {};
    }
    if (const Problem locked = Lock(fd.get())) {
        problem = *locked;
        return {};
    }
    return OpenFile(fd.Release());
}

OpenFile OpenFile::Again(const std::string& path, bool writable, FileProblem& problem) const {
    int error = 0;
    posix::Descriptor fd = OpenAgain(handle_.get(), path, writable ? kWriting : kReading, error);
    if (!fd) problem = error == ESTALE ? Kind(FileProblem::Kind::kChanged, error) : Failed(error);
    return fd ? OpenFile(fd.Release()) : OpenFile();
}

// flock alone: records lie on the local disk, where it holds, and a run holds only its own.
OpenFile OpenFile::HeldRecord(const std::string& path, FileProblem& problem) {
    posix::Descriptor fd = posix::Open(path.c_str(), kWriting | O_NOFOLLOW);
    OpenFile record(fd.Release());
    if (!record) {
        problem = Failed(errno);
        return {};
    }
    struct stat info {};
    if (const Problem held = record.Hold()) problem = *held;
    else if (fstat(record.handle_.get(), &info) != 0) problem = Failed(errno);
    else if (!S_ISREG(info.st_mode)) problem = {FileProblem::Kind::kNotAFile};
    else if (info.st_nlink == 0) problem = {FileProblem::Kind::kMissing};  // removed by the run that held it
    else return record;
    return {};
}

Problem OpenFile::Hold() const {
    if (flock(handle_.get(), LOCK_EX | LOCK_NB) == 0) return std::nullopt;
    return errno == EWOULDBLOCK ? Kind(FileProblem::Kind::kLocked, errno) : Failed(errno);
}

Problem OpenFile::Remove(const std::string& path) const {
    struct stat named {};
    if (lstat(path.c_str(), &named) != 0) return Failed(errno);
    struct stat held {};
    if (fstat(handle_.get(), &held) != 0) return Failed(errno);
    if (held.st_dev != named.st_dev || held.st_ino != named.st_ino) return Kind(FileProblem::Kind::kChanged, 0);
    if (unlink(path.c_str()) != 0) return Failed(errno);
    const std::string folder = posix::FolderWithSeparator(path);
    const posix::Descriptor parent = posix::Open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent && fsync(parent.get()) != 0) return Failed(errno);
    return std::nullopt;
}

// The file has no name until it is published, where the file system has unnamed files; on one
// that has not, it is made under its name at once.
OpenFile OpenFile::Unpublished(const std::string& path, FileProblem& problem) {
    const std::string folder = posix::FolderWithSeparator(path);
    int fd = open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        fd = open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        // Something was made under the name since it was found missing.
        problem = errno == EEXIST ? Kind(FileProblem::Kind::kChanged, errno) : Failed(errno);
        return {};
    }
    return OpenFile(fd);
}

Problem OpenFile::Publish(const std::string& path) {
    struct stat info {};
    if (fstat(handle_.get(), &info) != 0) return Failed(errno);
    if (info.st_nlink > 0) return std::nullopt;  // made under its name already
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(handle_.get(), 0666 & ~mask) != 0) return Failed(errno);
    const std::string self = "/proc/self/fd/" + std::to_string(handle_.get());
    int linked = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    if (linked != 0 && errno == ENOENT && access("/proc/self/fd", F_OK) != 0)
        linked = linkat(handle_.get(), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH);
    if (linked != 0) return errno == EEXIST ? Kind(FileProblem::Kind::kChanged, errno) : Failed(errno);
    // The new name is on disk only once its folder is.
    const std::string folder = posix::FolderWithSeparator(path);
    const posix::Descriptor parent = posix::Open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent) fsync(parent.get());
    return std::nullopt;
}

Problem OpenFile::Facts(FileFacts& facts, FactsAsked) const {
    // One call tells everything here, whatever is asked for.
    struct stat info {};
    if (fstat(handle_.get(), &info) != 0) return Failed(errno);
    facts.size = static_cast<std::uint64_t>(info.st_size);
    facts.regular = S_ISREG(info.st_mode);
    facts.identity = FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    facts.read_only = !(info.st_mode & S_IWUSR);
    facts.unnamed = info.st_nlink == 0;
    return std::nullopt;
}

Problem OpenFile::ReadSome(std::uint64_t offset, char* buffer, std::size_t room, std::size_t& got) const {
    const ssize_t read = Retried([&] { return pread(handle_.get(), buffer, room, static_cast<off_t>(offset)); });
    got = read > 0 ? static_cast<std::size_t>(read) : 0;
    if (read >= 0) return std::nullopt;
    // A pipe or a device has nothing to read now: it is no file to read.
    if (errno == EAGAIN || errno == EISDIR || errno == ESPIPE) return Kind(FileProblem::Kind::kNotAFile, errno);
    return Failed(errno);
}

// Durably in one call where the kernel takes the flush along with the write (RWF_DSYNC): on a
// share that is one round trip less than a write and a flush.
Problem OpenFile::WriteSome(std::uint64_t offset, std::string_view data, bool durably, std::size_t& written) const {
    const auto at = static_cast<off_t>(offset);
    iovec piece{const_cast<char*>(data.data()), data.size()};
    ssize_t done = -1;
    if (durably) done = Retried([&] { return pwritev2(handle_.get(), &piece, 1, at, RWF_DSYNC); });
    const bool flush_apart = durably && done < 0 && (errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL);
    if (!durably || flush_apart) done = Retried([&] { return pwrite(handle_.get(), data.data(), data.size(), at); });
    written = done > 0 ? static_cast<std::size_t>(done) : 0;
    if (done < 0) return Failed(errno);
    if (done == 0 && !data.empty()) return Failed(EIO);
    if (flush_apart) return Flush();
    return std::nullopt;
}

namespace {

// A file system that copies on write (btrfs, ZFS, bcachefs) needs new room for every byte
// written again, which fallocate cannot set aside: a rewrite that finds none stops part-way,
// and putting the old bytes back needs room as well. There the free room is asked first, with
// some to spare for the file system's own records.
bool CopiesOnWrite(const struct statfs& volume) {
    constexpr unsigned long kBtrfs = 0x9123683E, kZfs = 0x2FC12FC1, kBcachefs = 0xCA451A4E;
    const auto type = static_cast<unsigned long>(volume.f_type);
    return type == kBtrfs || type == kZfs || type == kBcachefs;
}

}  // namespace

Problem OpenFile::Reserve(std::uint64_t size, std::uint64_t grown, std::uint64_t rewritten) const {
    constexpr std::uint64_t kSpare = 256 * 1024;
    struct statfs volume {};
    if (fstatfs(handle_.get(), &volume) == 0 && CopiesOnWrite(volume)) {
        const auto free = static_cast<std::uint64_t>(volume.f_bavail) * static_cast<std::uint64_t>(volume.f_bsize);
        if (free < rewritten + kSpare) return Kind(FileProblem::Kind::kNoSpace, ENOSPC);
    }
    if (grown <= size) return std::nullopt;
    const auto length = static_cast<off_t>(grown - size);
    if (fallocate(handle_.get(), FALLOC_FL_KEEP_SIZE, static_cast<off_t>(size), length) == 0) return std::nullopt;
    if (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL) return std::nullopt;
    return Failed(errno);
}

Problem OpenFile::Cut(std::uint64_t size) const {
    if (Retried([&] { return ftruncate(handle_.get(), static_cast<off_t>(size)); }) != 0) return Failed(errno);
    return std::nullopt;
}

Problem OpenFile::Flush() const {
    if (fdatasync(handle_.get()) != 0) return Failed(errno);
    return std::nullopt;
}

}  // namespace vemor::platform
