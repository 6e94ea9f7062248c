#include "posix/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "posix/descriptor.h"
#include "posix/paths.h"

namespace vemor::platform::posix {
namespace {

// Profile files are a few kilobytes: one read takes a whole one, the next finds the end.
constexpr std::size_t kChunk = 64 * 1024;

ReadOutcome FailedOpen(int error) {
    return error == ENOENT || error == ENOTDIR ? ReadOutcome::kMissing : ReadOutcome::kUnreadable;
}

// Reads what is left of fd into contents; a file found larger than a chunk is measured once
// and read into one block, so that it is neither held twice nor fetched in many pieces.
ReadOutcome ReadRest(int fd, std::string& contents, bool sized) {
    static thread_local char chunk[kChunk];
    for (;;) {
        if (!sized && contents.size() >= kChunk) {
            struct stat info {};
            if (fstat(fd, &info) != 0) return ReadOutcome::kUnreadable;
            contents.reserve(static_cast<std::size_t>(info.st_size) + kChunk);
            sized = true;
        }
        std::size_t used = contents.size();
        const bool into_contents = sized && contents.capacity() > used;
        if (into_contents) contents.resize(contents.capacity());
        char* const buffer = into_contents ? contents.data() + used : chunk;
        const std::size_t room = into_contents ? contents.size() - used : kChunk;
        const ssize_t got = read(fd, buffer, room);
        if (got < 0 && errno == EINTR) {
            contents.resize(used);
            continue;
        }
        if (got < 0) {
            contents.resize(used);
            return errno == EISDIR ? ReadOutcome::kNotAFile : ReadOutcome::kUnreadable;
        }
        if (into_contents) contents.resize(used + static_cast<std::size_t>(got));
        else contents.append(chunk, static_cast<std::size_t>(got));
        if (got == 0) return ReadOutcome::kRead;
        if (contents.size() == contents.capacity()) contents.reserve(contents.size() * 2);
    }
}

bool WriteAll(int fd, iovec* pieces, int count) {
    while (count > 0) {
        const ssize_t n = writev(fd, pieces, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        auto left = static_cast<std::size_t>(n);
        while (count > 0 && left >= pieces->iov_len) {
            left -= pieces->iov_len;
            ++pieces;
            --count;
        }
        if (count > 0) {
            pieces->iov_base = static_cast<char*>(pieces->iov_base) + left;
            pieces->iov_len -= left;
        }
    }
    return true;
}

// The file a link points to, so that the link itself survives the rename.
std::string LinkTarget(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

// Whether the file at path holds exactly bytes, compared piece by piece so that a large file
// is never held twice.
bool HoldsBytes(const std::string& path, std::string_view bytes) {
    const Descriptor fd = Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (!fd) return false;
    std::string piece(std::min<std::size_t>(bytes.size() + 1, 1024 * 1024), '\0');
    std::size_t compared = 0;
    for (;;) {
        const ssize_t got = read(fd.get(), piece.data(), piece.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return compared == bytes.size();
        const auto length = static_cast<std::size_t>(got);
        if (bytes.substr(compared, length) != std::string_view(piece.data(), length)) return false;
        compared += length;
    }
}

// Whether the file at path, whose state is info, is still the version read.
bool StillTheVersionRead(const std::string& path, const struct stat& info, const ReadVersion& read) {
    if (read.stamp) {
        if (!(StampOf(info) == *read.stamp)) return false;
        if (!ChangedRecently(*read.stamp, read.read_at)) return true;
    }
    return HoldsBytes(path, read.bytes);
}

// Without owner write permission the file counts as write-protected, also for root.
bool MayWrite(const std::string& path, const struct stat& info) {
    return (info.st_mode & S_IWUSR) != 0 && access(path.c_str(), W_OK) == 0;
}

// The permissions and owner of the file replaced, or those of a new file.
bool TakeOver(int fd, const struct stat* replaced) {
    if (!replaced) {
        const mode_t mask = umask(0);
        umask(mask);
        return fchmod(fd, 0666 & ~mask) == 0;
    }
    if (fchmod(fd, replaced->st_mode & 07777) != 0) return false;
    // Only root may hand the file back to its owner; others already are the owner.
    const bool same_owner = replaced->st_uid == geteuid() && replaced->st_gid == getegid();
    return geteuid() != 0 || same_owner || fchown(fd, replaced->st_uid, replaced->st_gid) == 0;
}

bool& LoseWrites() {
    static bool lose = false;
    return lose;
}

bool WriteReplacement(const std::string& target, const struct stat* replaced, std::string_view bytes,
                      const ByteEdit& edit) {
    if (LoseWrites()) return true;
    std::string temp = target + ".XXXXXX";
    Descriptor fd = Adopt(mkstemp(temp.data()));
    if (!fd) return false;
    const std::string_view before = bytes.substr(0, edit.offset);
    const std::string_view after = bytes.substr(edit.offset + edit.erase);
    iovec pieces[] = {{const_cast<char*>(before.data()), before.size()},
                      {const_cast<char*>(edit.insert.data()), edit.insert.size()},
                      {const_cast<char*>(after.data()), after.size()}};
    bool ok = WriteAll(fd.get(), pieces, 3) && TakeOver(fd.get(), replaced);
    ok = ok && fsync(fd.get()) == 0;
    ok = fd.Close() == 0 && ok;
    ok = ok && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the disk before the file counts as written.
    const std::string folder = FolderWithSeparator(target);
    const Descriptor dir = Open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir) fsync(dir.get());
    return true;
}

}  // namespace

ReadOutcome ReadWholeFile(const std::string& path, std::string& contents, std::optional<Stamp>* stamp) {
    contents.clear();
    // Not blocking: a pipe stored under the name must not hold the scan up.
    const Descriptor fd = Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (!fd) return FailedOpen(errno);
    if (!stamp) return ReadRest(fd.get(), contents, false);
    struct stat info {};
    if (fstat(fd.get(), &info) != 0) return ReadOutcome::kUnreadable;
    if (!S_ISREG(info.st_mode)) return ReadOutcome::kNotAFile;
    *stamp = StampOf(info);
    contents.reserve(static_cast<std::size_t>(info.st_size) + 1);
    return ReadRest(fd.get(), contents, true);
}

void LoseWritesForTests(bool lose) { LoseWrites() = lose; }

bool ReplaceFile(const std::string& path, const ReadVersion& read, const ByteEdit& edit) {
    struct stat info {};
    std::string target = path;
    bool exists = lstat(path.c_str(), &info) == 0;
    if (exists && S_ISLNK(info.st_mode)) {
        target = LinkTarget(path);
        exists = stat(target.c_str(), &info) == 0;
        // A link to nothing is still something stored under the name.
        if (!exists) return false;
    }
    if (!read.found) {
        // Nothing was read: only a file that is still not there may be made.
        return !exists && WriteReplacement(target, nullptr, {}, edit);
    }
    if (!exists || !S_ISREG(info.st_mode) || !MayWrite(target, info)) return false;
    if (!StillTheVersionRead(target, info, read)) return false;
    return WriteReplacement(target, &info, read.bytes, edit);
}

}  // namespace vemor::platform::posix
