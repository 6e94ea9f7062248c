#include "posix/file_io.h"

#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "posix/errors.h"

namespace vemor::platform::posix {
namespace {

// Profile files are a few kilobytes: one read takes a whole one, the next finds the end.
constexpr std::size_t kChunk = 64 * 1024;
// Large files are compared in pieces of this size.
constexpr std::size_t kPiece = 1024 * 1024;

template <typename Call>
ssize_t Retried(Call call) {
    ssize_t got;
    do got = call();
    while (got < 0 && errno == EINTR);
    return got;
}

std::optional<FileProblem> ReadProblem(int error) {
    // A pipe or a device has nothing to read now: it is no file to read.
    if (error == EISDIR || error == EAGAIN) return FileProblem{FileProblem::Kind::kNotAFile, static_cast<std::uint32_t>(error)};
    return ProblemFromErrno(error);
}

}  // namespace

// A file found larger than a chunk is measured once and read into one block, so that it is
// neither held twice nor fetched in many pieces.
std::optional<FileProblem> ReadToEnd(int fd, std::string& contents) {
    static thread_local char chunk[kChunk];
    bool sized = false;
    for (;;) {
        if (!sized && contents.size() >= kChunk) {
            struct stat info {};
            if (fstat(fd, &info) != 0) return ProblemFromErrno(errno);
            if (!S_ISREG(info.st_mode)) return FileProblem{FileProblem::Kind::kNotAFile};
            contents.reserve(static_cast<std::size_t>(info.st_size) + kChunk);
            sized = true;
        }
        const std::size_t used = contents.size();
        const bool into_contents = sized && contents.capacity() > used;
        if (into_contents) contents.resize(contents.capacity());
        char* const buffer = into_contents ? contents.data() + used : chunk;
        const std::size_t room = into_contents ? contents.size() - used : kChunk;
        const ssize_t got = Retried([&] { return read(fd, buffer, room); });
        if (got < 0) {
            const int error = errno;
            contents.resize(used);
            return ReadProblem(error);
        }
        if (into_contents) contents.resize(used + static_cast<std::size_t>(got));
        else contents.append(chunk, static_cast<std::size_t>(got));
        if (got == 0) return std::nullopt;
        if (contents.size() == contents.capacity()) contents.reserve(contents.size() * 2);
    }
}

// One call for a file of the size expected: a regular file reads short only at its end.
std::optional<FileProblem> ReadFromStart(int fd, std::size_t size, std::string& contents) {
    contents.assign(size + 1, '\0');
    std::size_t used = 0;
    for (;;) {
        const ssize_t got = Retried([&] {
            return pread(fd, contents.data() + used, contents.size() - used, static_cast<off_t>(used));
        });
        if (got < 0) {
            const int error = errno;
            contents.clear();
            return ReadProblem(error);
        }
        used += static_cast<std::size_t>(got);
        if (used < contents.size()) break;
        contents.resize(contents.size() * 2);
    }
    contents.resize(used);
    return std::nullopt;
}

bool HoldsExactly(int fd, std::string_view bytes) {
    std::string piece(std::min(bytes.size() + 1, kPiece), '\0');
    std::size_t compared = 0;
    for (;;) {
        const ssize_t got = Retried([&] {
            return pread(fd, piece.data(), piece.size(), static_cast<off_t>(compared));
        });
        if (got < 0) return false;
        const auto length = static_cast<std::size_t>(got);
        if (bytes.substr(compared, length) != std::string_view(piece.data(), length)) return false;
        compared += length;
        // Short of the piece: the end of the file.
        if (length < piece.size()) return compared == bytes.size();
    }
}

std::optional<int> WriteAt(int fd, std::string_view data, off_t offset) {
    while (!data.empty()) {
        const ssize_t written = Retried([&] { return pwrite(fd, data.data(), data.size(), offset); });
        if (written < 0) return errno;
        if (written == 0) return EIO;
        data.remove_prefix(static_cast<std::size_t>(written));
        offset += written;
    }
    return std::nullopt;
}

// One call where the kernel takes the flush along with the write (RWF_DSYNC): on a share that
// is one round trip less than a write and a flush.
std::optional<int> WriteDurablyAt(int fd, std::string_view data, off_t offset) {
    iovec piece{const_cast<char*>(data.data()), data.size()};
    const ssize_t written = Retried([&] { return pwritev2(fd, &piece, 1, offset, RWF_DSYNC); });
    if (written == static_cast<ssize_t>(data.size())) return std::nullopt;
    if (written < 0 && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL) return errno;
    const std::size_t done = written > 0 ? static_cast<std::size_t>(written) : 0;
    if (const auto error = WriteAt(fd, data.substr(done), offset + static_cast<off_t>(done))) return error;
    if (fdatasync(fd) != 0) return errno;
    return std::nullopt;
}

}  // namespace vemor::platform::posix
