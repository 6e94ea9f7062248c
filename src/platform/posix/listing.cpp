#include "posix/listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstddef>

#include "posix/descriptor.h"

namespace vemor::platform::posix {
namespace {

// The entries as the kernel hands them over, many to a call; a share answers each call with
// a round trip, so the buffer is large.
constexpr std::size_t kBufferSize = 64 * 1024;

// Appends the entries of one buffer; false when the folder reported a failure.
bool ReadEntries(int fd, std::vector<ListedName>& names) {
    alignas(dirent64) static thread_local char buffer[kBufferSize];
    for (;;) {
        const ssize_t got = getdents64(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            const std::string name(entry->d_name);
            names.push_back({name, entry->d_type});
            at += entry->d_reclen;
        }
    }
}

}  // namespace

std::optional<FolderListing> ReadFolder(const std::string& folder, int* error) {
    // errno of the call that just failed, before closing the folder can change it.
    const auto failed = [error] {
        if (error) *error = errno;
        return std::nullopt;
    };
    const std::string path = folder.empty() ? "." : folder;
    const Descriptor fd = Open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!fd) return failed();
    struct stat info {};
    if (fstat(fd.get(), &info) != 0) return failed();
    FolderListing listing{{}, info.st_dev, info.st_ino};
    if (!ReadEntries(fd.get(), listing.names)) return failed();
    return listing;
}

}  // namespace vemor::platform::posix
