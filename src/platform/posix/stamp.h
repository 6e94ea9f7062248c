#pragma once

#include <sys/stat.h>

#include <ctime>
#include <optional>
#include <string>

namespace vemor::platform::posix {

// What tells one version of a file or folder from another without reading it: a change of
// contents, a replacement by rename or a change of its attributes alters one of these.
struct Stamp {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
    timespec changed;
};

bool operator==(const Stamp& a, const Stamp& b);

Stamp StampOf(const struct stat& info);

// The time before a look at a file, to compare its stamp with.
timespec Now();

// Whether any later change is sure to alter the stamp. File systems round their time stamps
// (to a clock tick, or to two seconds on FAT), so a file changed shortly before we looked
// could change again within the same stamp: such a copy must never be reused.
bool Settled(const Stamp& stamp, const timespec& looked_at);

// Tests make every stamp count as settled, to see that a changed stamp alone is noticed.
void SetSettleTimeForTests(std::optional<long long> nanoseconds);

}  // namespace vemor::platform::posix
