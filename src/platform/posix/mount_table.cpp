#include "posix/mount_table.h"

#include <sstream>
#include <string_view>

namespace vemor::platform::posix {

std::string FuseClientIn(std::istream& mount_table, std::uint64_t mount_id) {
    for (std::string line; std::getline(mount_table, line);) {
        std::istringstream fields(line);
        std::uint64_t id = 0;
        if (!(fields >> id) || id != mount_id) continue;
        // What follows " - " is the file system's own; the paths before it escape their blanks.
        const std::size_t dash = line.find(" - ");
        std::string type;
        if (dash == std::string::npos || !(std::istringstream(line.substr(dash + 3)) >> type)) return {};
        for (const std::string_view kind : {"fuse.", "fuseblk."})
            if (type.starts_with(kind)) return type.substr(kind.size());
        return {};
    }
    return {};
}

}  // namespace vemor::platform::posix
