#pragma once

#include <memory>
#include <string>
#include <vector>

#include "posix/stamp.h"

namespace vemor::platform::posix {

struct ListedName {
    std::string name;
    std::string upper;   // the name upper-cased, which orders and matches names
    unsigned char type;  // DT_DIR, DT_REG, DT_LNK, ... as the folder reports it
};

// Every name in folder (ending with "/", or empty for the current folder), ordered by
// upper-cased name as NTFS delivers them. The single-file lookups and the enumeration of a
// folder share one reading of it: the listing is read again only when the folder has
// changed since. Null when the folder cannot be read; else folder_stamp, when given, gets
// the stamp of the folder listed.
using Listing = std::shared_ptr<const std::vector<ListedName>>;
Listing ListNames(const std::string& folder, Stamp* folder_stamp = nullptr);

}  // namespace vemor::platform::posix
