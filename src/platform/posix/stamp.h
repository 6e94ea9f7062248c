#pragma once

#include <sys/stat.h>

#include <ctime>
#include <optional>

namespace vemor::platform::posix {

// What tells one version of a file from another without reading it: a change of contents, a
// replacement by rename or a change of its attributes alters one of these.
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

// Whether the file may have changed again after it was looked at without its stamp showing
// it: file systems round their time stamps (to a clock tick, or to two seconds on FAT), and a
// server's clock is not ours, so a version changed shortly before the look is told from
// the next one only by its bytes.
bool ChangedRecently(const Stamp& stamp, const timespec& looked_at);

// Tests make every stamp count as settled, to see that a changed stamp alone is noticed.
void SetSettleTimeForTests(std::optional<long long> nanoseconds);

}  // namespace vemor::platform::posix
