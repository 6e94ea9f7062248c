// The least any scan of a client-data tree must do, as the yardstick for vemor-patch:
//   floor read ROOT    one listing of every folder (opendir, readdir to the end, closedir) and
//                      one open, read to the end and close of every user.dat and session file
//                      (sitzung.dat in any letter case)
//   floor apply ROOT   the same, and every session file waiting for the patch changed in place
//                      after its read: open O_RDWR, pwrite of the one changed byte at its
//                      offset, fdatasync, close; then the read-back by name: open, one read of
//                      the whole file, close
// No profile parsing: the pending sessions are told apart by plain substring search, which is
// exact for the generated trees. Self-contained on purpose, so that it measures the file
// system and nothing of the program it is compared with. bench/wine_floor.cpp is the same for
// a Windows program.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "overlap.h"

namespace {

struct Counts {
    long sessions = 0;
    long written = 0;
    long failed = 0;
};

// Reads to end of file, as any reader must to know it has the whole file: the read that
// returns 0 is part of the floor.
bool ReadOpen(int fd, std::string& contents) {
    contents.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        contents.append(buffer, static_cast<std::size_t>(n));
    }
}

// Where the flag's value starts, or npos when the session does not wait for the patch.
std::size_t PendingFlag(const std::string& text) {
    if (text.find("Identifikation=UVJYX0RfU1RBTkRBUkRfX0tG") == std::string::npos) return std::string::npos;
    const std::size_t at = text.find("Normdaten=0\r\n");
    return at == std::string::npos ? at : at + std::strlen("Normdaten=");
}

// Changes the flag of a pending session file in place, then reads the whole file back through
// a new open by its name, as the read-back must to see the file under the name; the read asks
// for one byte more than it expects, so that one call also tells the end.
bool Patch(const std::string& path, std::string& contents, std::size_t flag) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    contents[flag] = '1';
    const bool written = pwrite(fd, &contents[flag], 1, static_cast<off_t>(flag)) == 1 && fdatasync(fd) == 0;
    if (close(fd) != 0 || !written) return false;
    const int again = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (again < 0) return false;
    std::string back(contents.size() + 1, '\0');
    const bool same = read(again, back.data(), back.size()) == static_cast<ssize_t>(contents.size()) &&
                      back.compare(0, contents.size(), contents) == 0;
    return close(again) == 0 && same;
}

bool IsSessionFile(const char* name) {
    return strcasecmp(name, "sitzung.dat") == 0;
}

// The client file is taken only in this spelling, as the program does.
bool IsClientFile(const char* name) {
    return std::strcmp(name, "user.dat") == 0;
}

// False when the folder cannot be listed. Where pending is given, the files to change go there.
bool ScanFolder(const std::string& folder, bool apply, std::vector<std::string>& pending_folders, Counts& counts,
                std::vector<floors::Pending<std::string>>* pending = nullptr) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    std::string contents;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {  // file systems without types in their listings cost a stat
            struct stat info {};
            if (fstatat(dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
                pending_folders.push_back(folder + name + "/");
            continue;
        }
        const bool session = IsSessionFile(name);
        if (!session && !IsClientFile(name)) continue;
        const int fd = open((folder + name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        if (ReadOpen(fd, contents) && session) {
            ++counts.sessions;
            const std::size_t flag = apply ? PendingFlag(contents) : std::string::npos;
            if (flag != std::string::npos && pending) {
                pending->push_back({folder + name, contents, flag});
            } else if (flag != std::string::npos) {
                if (Patch(folder + name, contents, flag)) ++counts.written;
                else ++counts.failed;
            }
        }
        close(fd);
    }
    closedir(dir);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc != 3 && argc != 4) || (std::strcmp(argv[1], "read") != 0 && std::strcmp(argv[1], "apply") != 0)) {
        std::fprintf(stderr, "usage: floor read|apply ROOT [READERS]\n");
        return 2;
    }
    const bool apply = std::strcmp(argv[1], "apply") == 0;
    std::vector<std::string> folders;
    Counts counts;
    // A root that cannot be listed would pass for an empty tree and make any count look cheap.
    if (!ScanFolder(std::string(argv[2]) + "/", apply, folders, counts)) {
        std::fprintf(stderr, "floor: %s: %s\n", argv[2], std::strerror(errno));
        return 3;
    }
    if (argc == 4) {
        using Files = std::vector<floors::Pending<std::string>>;
        floors::Overlapped<std::string>(
            std::move(folders), std::strtoul(argv[3], nullptr, 10),
            [&](const std::string& folder, std::vector<std::string>& found, Files& files) {
                Counts read;
                ScanFolder(folder, apply, found, read, &files);
                return read.sessions;
            },
            [](floors::Pending<std::string>& file) { return Patch(file.path, file.contents, file.flag); }, counts);
        folders.clear();
    }
    while (!folders.empty()) {
        const std::string folder = std::move(folders.back());
        folders.pop_back();
        ScanFolder(folder, apply, folders, counts);
    }
    std::printf("%ld sessions, %ld written, %ld failed\n", counts.sessions, counts.written, counts.failed);
    return counts.failed == 0 ? 0 : 1;
}
