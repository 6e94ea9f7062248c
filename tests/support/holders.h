#pragma once

// Other programs holding a file, as a write must respect them; each holds until it goes.
#include <filesystem>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace vemor::test {

using Holder = std::shared_ptr<void>;

#ifdef _WIN32
// A handle of another program's kind: opened with the access and sharing given.
inline Holder HoldOpen(const std::filesystem::path& path, DWORD access, DWORD sharing) {
    const HANDLE file = CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return Holder(file, [](HANDLE handle) { CloseHandle(handle); });
}
#else
enum class Lock { kFlock, kRecord };

// A lock as another program takes it: flock, or a byte-range lock of the classic kind, which
// belongs to this process and so stands for one of another process.
inline Holder HoldLocked(const std::filesystem::path& path, Lock kind) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    const bool locked = kind == Lock::kFlock ? flock(fd, LOCK_EX | LOCK_NB) == 0 : fcntl(fd, F_SETLK, &range) == 0;
    if (!locked) {
        close(fd);
        return nullptr;
    }
    return Holder(new int(fd), [](int* held) {
        close(*held);
        delete held;
    });
}
#endif

}  // namespace vemor::test
