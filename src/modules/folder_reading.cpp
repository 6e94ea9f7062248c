// What the scan asks of one folder, read on whichever thread.
#include "folder_reading.h"

#include "text.h"

namespace vemor {
namespace {

using platform::FolderEntry;
using platform::FoundFile;

// Links can lead back into the tree; each physical folder is examined once per run. Where
// the parent's listing numbers the folder within its volume, that is its identity; behind
// a link, a junction or a mount point, the folder itself is asked.
std::optional<platform::FolderId> IdentityOf(const FolderToRead& at) {
    if (at.volume && at.entry.index && !at.entry.leads_elsewhere)
        return platform::FolderId{*at.volume, *at.entry.index};
    return platform::IdentifyFolder(at.folder.substr(0, at.folder.size() - 1));
}

// The single-file lookup, answered from the folder's listing where there is one.
FoundFile Lookup(const std::string& folder, const std::vector<FolderEntry>* entries, const std::string& pattern,
                 const std::string& name) {
    return entries && platform::MatchesEveryName(pattern) ? platform::FindPlainFileIn(folder, *entries, name)
                                                          : platform::FindPlainFile(folder + name);
}

}  // namespace

std::optional<FolderReading> ReadFolderAt(const FolderToRead& at, const std::string& pattern,
                                          const std::function<bool(std::uint64_t size)>& fits,
                                          const std::atomic<bool>* stop) {
    FolderReading reading;
    if (auto listed = platform::ListFolder(at.folder, pattern, &reading.id, &reading.problem))
        reading.entries = std::make_shared<const std::vector<FolderEntry>>(std::move(*listed));
    if (!reading.id) reading.id = IdentityOf(at);
    // A step for the file found; read ahead now, unless the reading is to stop.
    const auto step = [&](std::optional<platform::ProfileStep>& made, const std::string& name, bool& read_ahead) {
        made.emplace(at.folder + name);
        if (!fits) return true;
        if (stop && *stop) return false;
        read_ahead = made->ReadAhead(fits);
        return true;
    };
    const auto* listed = reading.entries.get();
    reading.client = Lookup(at.folder, listed, pattern, "user.dat");
    if (reading.client.problem) return reading;
    bool client_read_ahead = false;
    if (reading.client.name == "user.dat" && !step(reading.client_step, reading.client.name, client_read_ahead))
        return std::nullopt;
    reading.session = Lookup(at.folder, listed, pattern, "sitzung.dat");
    if (!reading.session.problem && platform::ToUpper(reading.session.name) == "SITZUNG.DAT" &&
        !step(reading.session_step, reading.session.name, reading.session_read_ahead))
        return std::nullopt;
    return reading;
}

}  // namespace vemor
