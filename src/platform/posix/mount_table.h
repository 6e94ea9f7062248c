#pragma once

#include <cstdint>
#include <istream>
#include <string>

// The kernel's table of mounts, as /proc/self/mountinfo gives it.
namespace vemor::platform::posix {

// The name of the FUSE client serving the mount numbered mount_id (rclone for fuse.rclone);
// empty where that mount is no FUSE file system or is not in the table.
std::string FuseClientIn(std::istream& mount_table, std::uint64_t mount_id);

}  // namespace vemor::platform::posix
