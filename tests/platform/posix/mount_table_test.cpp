// Which FUSE client serves a mount, from the kernel's table of mounts.
#include <gtest/gtest.h>

#include <sstream>

#include "posix/mount_table.h"

namespace vemor::platform::posix {
namespace {

// As /proc/self/mountinfo lists them: blanks in paths escaped, optional fields before " - ".
const char* const kTable =
    "1 0 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "72 27 0:42 / /srv/praxis rw,nosuid,nodev,relatime - fuse.rclone benchsmb: rw,user_id=0,group_id=0\n"
    "73 27 0:43 / /mnt/Eigene\\040Diagnostik\\040-\\040Server rw shared:5 master:2 - fuse.smbnetfs smbnetfs rw\n"
    "80 27 8:17 / /mnt/windows rw - fuseblk /dev/sdb1 rw,allow_other\n"
    "81 27 0:50 / /mnt/usb rw - fuseblk.exfat /dev/sdc1 rw\n"
    "82 27 0:51 / /mnt/nas rw - cifs //nas/praxis rw,vers=3.1.1\n"
    "90 27 0:52 / /mnt/broken rw fuse.rclone\n";

TEST(MountTable, TellsTheFuseClientOfTheMountNumbered) {
    const struct {
        std::uint64_t id;
        const char* client;
    } cases[] = {
        {72, "rclone"},
        {73, "smbnetfs"},  // blanks and a dash in the mount point, optional fields
        {81, "exfat"},
        {80, ""},  // FUSE without a client name
        {1, ""},   // not FUSE
        {82, ""},
        {7, ""},   // no mount of that number, though 72 and 73 begin with it
        {90, ""},  // a line cut short
        {999, ""},
    };
    for (const auto& row : cases) {
        std::istringstream table(kTable);
        EXPECT_EQ(FuseClientIn(table, row.id), row.client) << row.id;
    }
}

}  // namespace
}  // namespace vemor::platform::posix
