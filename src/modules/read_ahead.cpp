// The reader threads of a run and the order in which the scan takes what they read.
//
// Readers always take the smallest place known, so that what they read is what the scan
// needs next; a folder's subfolders become known once it is listed. The scan waits only for
// the folder at hand, and reads it itself where no reader has begun it.
#include "read_ahead.h"

#include <algorithm>
#include <system_error>
#include <utility>

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

bool IsBelow(const Place& key, const Place& place) {
    return key.size() > place.size() && std::equal(place.begin(), place.end(), key.begin());
}

}  // namespace

ReadAhead::ReadAhead(const std::string& pattern, const std::atomic<std::int16_t>& cancel)
    : pattern_(pattern), cancel_(cancel) {
    try {
        for (std::size_t i = 0; i < kReaders; ++i) readers_.emplace_back([this] { Read(); });
    } catch (const std::system_error&) {
        // Fewer readers, or none: the scan reads what none has begun itself.
    }
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    readers_.clear();
}

void ReadAhead::Read() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] {
            return stopping_ || (cancel_ == 0 && !waiting_.empty() && started_.size() < kMostFolders);
        });
        if (stopping_) return;
        auto next = waiting_.extract(waiting_.begin());
        started_.try_emplace(next.key());
        lock.unlock();
        std::uint64_t bytes = 0;
        std::optional<FolderReading> reading;
        try {
            reading = Prepare(next.key(), next.mapped(), &bytes);
        } catch (...) {
            // Out of memory, say: the scan reads the folder itself and meets the failure there.
        }
        Finish(next.key(), std::move(reading), bytes);
        lock.lock();
    }
}

// Steps made ahead are read at once, within the bounds; those of the scan's own reading wait
// for their first value, as they always have.
std::optional<FolderReading> ReadAhead::Prepare(const Place& place, const FolderToRead& at, std::uint64_t* bytes) {
    FolderReading reading;
    reading.ahead = bytes != nullptr;
    reading.entries = platform::ListFolder(at.folder, pattern_, &reading.id, &reading.problem);
    if (!reading.id) reading.id = IdentityOf(at);
    if (!Listed(place, at, reading)) return reading;
    const auto step = [&](std::optional<platform::ProfileStep>& made, const std::string& name, bool& read_ahead) {
        made.emplace(at.folder + name);
        if (!bytes) return true;
        if (stopping_) return false;
        made->ReadNow([&](std::uint64_t size) { return read_ahead = Fits(size, *bytes); });
        return true;
    };
    const auto* listed = reading.entries ? &*reading.entries : nullptr;
    reading.client = Lookup(at.folder, listed, pattern_, "user.dat");
    if (reading.client.problem) return reading;
    bool client_read_ahead = false;
    if (reading.client.name == "user.dat" && !step(reading.client_step, reading.client.name, client_read_ahead))
        return std::nullopt;
    reading.session = Lookup(at.folder, listed, pattern_, "sitzung.dat");
    if (!reading.session.problem && platform::ToUpper(reading.session.name) == "SITZUNG.DAT" &&
        !step(reading.session_step, reading.session.name, reading.session_read_ahead))
        return std::nullopt;
    return reading;
}

// Offers the subfolders of a folder just listed. A folder the run has visited already, or one
// whose place the scan has given up meanwhile, is read no further.
bool ReadAhead::Listed(const Place& place, const FolderToRead& at, const FolderReading& reading) {
    bool offered = false;
    {
        const std::lock_guard lock(mutex_);
        if (reading.id && visited_.contains(*reading.id)) return false;
        if (reading.ahead && !started_.contains(place)) return false;
        if (reading.entries)
            offered = AddWaiting(place, at.folder, *reading.entries,
                                 reading.id ? std::optional(reading.id->volume) : std::nullopt);
    }
    if (offered) work_.notify_all();
    return true;
}

void ReadAhead::Offer(const Place& place, const std::string& folder, const std::vector<FolderEntry>& entries,
                      std::optional<std::uint64_t> volume) {
    bool offered = false;
    {
        const std::lock_guard lock(mutex_);
        offered = AddWaiting(place, folder, entries, volume);
    }
    if (offered) work_.notify_all();
}

bool ReadAhead::AddWaiting(const Place& place, const std::string& folder, const std::vector<FolderEntry>& entries,
                           std::optional<std::uint64_t> volume) {
    bool added = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const FolderEntry& entry = entries[i];
        if (!entry.is_folder || entry.name == "." || entry.name == "..") continue;
        Place below = place;
        below.push_back(static_cast<std::uint32_t>(i));
        waiting_.try_emplace(std::move(below), FolderToRead{folder + entry.name + platform::kSeparator, entry, volume});
        added = true;
    }
    return added;
}

bool ReadAhead::Fits(std::uint64_t size, std::uint64_t& bytes) {
    const std::lock_guard lock(mutex_);
    if (size > kLargestFile || bytes_ + size > kMostBytes) return false;
    bytes_ += size;
    bytes += size;
    return true;
}

void ReadAhead::Finish(const Place& place, std::optional<FolderReading> reading, std::uint64_t bytes) {
    std::optional<FolderReading> dropped;  // its files closed once the lock is let go
    {
        const std::lock_guard lock(mutex_);
        const auto slot = started_.find(place);
        if (slot != started_.end() && reading) {
            slot->second = {true, std::move(*reading), bytes};
        } else {
            bytes_ -= bytes;
            if (slot != started_.end()) started_.erase(slot);
            dropped = std::move(reading);
        }
    }
    ready_.notify_all();
    work_.notify_one();
}

FolderReading ReadAhead::Take(const Place& place, const FolderToRead& at) {
    std::unique_lock lock(mutex_);
    waiting_.erase(place);
    auto slot = started_.find(place);
    ready_.wait(lock, [&] {
        slot = started_.find(place);
        return slot == started_.end() || slot->second.ready;
    });
    if (slot == started_.end()) {
        lock.unlock();
        return *Prepare(place, at, nullptr);
    }
    FolderReading reading = std::move(slot->second.reading);
    bytes_ -= slot->second.bytes;
    started_.erase(slot);
    lock.unlock();
    work_.notify_one();
    return reading;
}

void ReadAhead::Forget(const Place& place) {
    std::vector<FolderReading> dropped;
    {
        const std::lock_guard lock(mutex_);
        for (auto it = waiting_.upper_bound(place); it != waiting_.end() && IsBelow(it->first, place);)
            it = waiting_.erase(it);
        for (auto it = started_.upper_bound(place); it != started_.end() && IsBelow(it->first, place);) {
            bytes_ -= it->second.bytes;
            if (it->second.ready) dropped.push_back(std::move(it->second.reading));
            it = started_.erase(it);
        }
    }
    work_.notify_all();
}

bool ReadAhead::FirstVisit(const platform::FolderId& id) {
    const std::lock_guard lock(mutex_);
    return visited_.insert(id).second;
}

}  // namespace vemor
