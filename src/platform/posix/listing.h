#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace vemor::platform::posix {

struct ListedName {
    std::string name;
    unsigned char type;  // DT_DIR, DT_REG, DT_LNK, ... as the folder reports it
};

struct FolderListing {
    std::vector<ListedName> names;  // in the order the folder gives them
    dev_t device;                   // of the folder itself, which tells it from every other
    ino_t inode;
};

// Every name in folder (ending with "/", or empty for the current folder), read in one pass:
// one open, one look at the folder itself, its entries, one close. Nothing is kept: every
// call reads the folder as it is now. Nothing when the folder cannot be read; error, when
// given, then gets the errno of the call that failed.
std::optional<FolderListing> ReadFolder(const std::string& folder, int* error = nullptr);

}  // namespace vemor::platform::posix
