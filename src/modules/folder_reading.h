#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files.h"
#include "profile.h"

namespace vemor {

// A folder's entries, as the scan and the readers ahead of it share them.
using Entries = std::shared_ptr<const std::vector<platform::FolderEntry>>;

// A folder as its parent lists it, before it is read.
struct FolderToRead {
    std::string folder;  // with its trailing separator
    platform::FolderEntry entry;
    std::optional<std::uint64_t> volume;  // the parent's volume, where known
};

// All the scan asks of one folder: its listing, its identity, the lookups of its two files
// and their steps. Only what the scan would have asked is there: no session lookup after a
// client lookup that failed, no step for a file the lookup did not find.
struct FolderReading {
    Entries entries;  // none where it cannot be listed
    platform::FileProblem problem{platform::FileProblem::Kind::kOther};  // then why
    std::optional<platform::FolderId> id;
    platform::FoundFile client;   // user.dat
    platform::FoundFile session;  // sitzung.dat
    std::optional<platform::ProfileStep> client_step;
    std::optional<platform::ProfileStep> session_step;
    // The session file's bytes read ahead of the scan and the file let go; a file too large
    // for the bounds is read when the scan comes to it.
    bool session_read_ahead = false;
};

// Lists the folder, identifies it and looks its two files up, as the scan asks, and makes a
// step for each file found. Where fits is given, the steps are read now and their files let go,
// each within what fits says of its size, and stop, once set, ends the reading between two
// files: nothing is then given back.
std::optional<FolderReading> ReadFolderAt(const FolderToRead& at, const std::string& pattern,
                                          const std::function<bool(std::uint64_t size)>& fits = {},
                                          const std::atomic<bool>* stop = nullptr);

}  // namespace vemor
