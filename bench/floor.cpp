// The least any scan of a client-data tree must do, as the yardstick for vemor-patch:
//   floor read ROOT    one enumeration of the tree and one read of every user.dat and sitzung.dat
//   floor apply ROOT   the same, and every session file waiting for the patch rewritten with
//                      the program's own write discipline (temporary file, fsync, rename)
// No profile parsing: the pending sessions are told apart by plain substring search.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/replace_file.h"

namespace {

bool IsNamed(const char* name, const char* upper) {
    return strcasecmp(name, upper) == 0;
}

bool ReadFile(const std::string& path, std::string& contents) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    contents.clear();
    char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) contents.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return n == 0;
}

bool Pending(const std::string& text, std::size_t& flag) {
    if (text.find("Identifikation=UVJYX0RfU1RBTkRBUkRfX0tG") == std::string::npos) return false;
    flag = text.find("Normdaten=0\r\n");
    return flag != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "read") != 0 && std::strcmp(argv[1], "apply") != 0)) {
        std::fprintf(stderr, "usage: floor read|apply ROOT\n");
        return 2;
    }
    const bool apply = std::strcmp(argv[1], "apply") == 0;
    std::vector<std::string> folders{std::string(argv[2]) + "/"};
    std::string contents;
    long sessions = 0, written = 0;
    while (!folders.empty()) {
        const std::string folder = std::move(folders.back());
        folders.pop_back();
        DIR* dir = opendir(folder.c_str());
        if (!dir) continue;
        while (const dirent* entry = readdir(dir)) {
            const char* name = entry->d_name;
            if (entry->d_type == DT_DIR) {
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
                    folders.push_back(folder + name + "/");
                continue;
            }
            const bool session = IsNamed(name, "SITZUNG.DAT");
            if (!session && std::strcmp(name, "user.dat") != 0) continue;
            if (!ReadFile(folder + name, contents)) continue;
            if (!session) continue;
            ++sessions;
            std::size_t flag;
            if (apply && Pending(contents, flag)) {
                contents[flag + std::strlen("Normdaten=")] = '1';
                written += vemor::platform::posix::ReplaceFile(folder + name, contents);
            }
        }
        closedir(dir);
    }
    std::printf("%ld sessions, %ld written\n", sessions, written);
    return 0;
}
