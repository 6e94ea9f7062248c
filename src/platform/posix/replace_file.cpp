#include "posix/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "posix/descriptor.h"

namespace vemor::platform::posix {
namespace {

bool WriteAll(int fd, const std::string& contents) {
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = write(fd, contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// The file a link points to, so that the link itself survives the rename.
std::string LinkTarget(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& contents, struct stat* opened) {
    const Descriptor fd = Open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (!fd) return false;
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (opened) *opened = info;
    contents.clear();
    contents.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        contents.append(buffer, static_cast<std::size_t>(n));
    }
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool ReplaceFile(const std::string& path, const std::string& contents) {
    const std::string target = LinkTarget(path);
    struct stat info {};
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists) {
        // Without owner write permission the file counts as write-protected, also for root.
        if (!S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR) == 0) return false;
        if (access(target.c_str(), W_OK) != 0) return false;
    }
    const std::string folder = FolderOf(target);
    std::string temp = target + ".XXXXXX";
    Descriptor fd = Adopt(mkstemp(temp.data()));
    if (!fd) return false;

    bool ok = WriteAll(fd.get(), contents);
    if (ok && exists) {
        ok = fchmod(fd.get(), info.st_mode & 07777) == 0;
        // Only root may hand the file back to its owner; others already are the owner.
        if (ok && geteuid() == 0) ok = fchown(fd.get(), info.st_uid, info.st_gid) == 0;
    } else if (ok) {
        const mode_t mask = umask(0);
        umask(mask);
        ok = fchmod(fd.get(), 0666 & ~mask) == 0;
    }
    ok = ok && fsync(fd.get()) == 0;
    ok = fd.Close() == 0 && ok;
    ok = ok && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the disk before the file counts as written.
    const Descriptor dir = Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir) fsync(dir.get());
    return true;
}

}  // namespace vemor::platform::posix
