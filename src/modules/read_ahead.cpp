// The reader threads of a run and the order in which the scan takes what they read.
//
// Readers always take the first subfolder still to be read in the scan's order, so that what
// they read is what the scan needs next; a folder's subfolders become known once it is read.
// The scan waits only for the folder at hand, and reads it itself where no reader has begun
// it. Where answers come at once, as from a local disk, handing folders from thread to thread
// can cost more than reading them: there one reader at a time runs ahead, and the scan reads
// ahead too rather than wait.
#include "read_ahead.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "heap.h"

namespace vemor {
namespace {

using platform::FolderEntry;

bool IsBelow(const Place& key, const Place& place) {
    return key.size() > place.size() && key.starts_with(place);
}

bool IsSubfolder(const FolderEntry& entry) { return entry.is_folder && entry.name != "." && entry.name != ".."; }

Place Below(const Place& place, std::size_t index) {
    Place below = place;
    below.push_back(static_cast<char32_t>(index));
    return below;
}

}  // namespace

ReadAhead::ReadAhead(const std::string& pattern, const std::atomic<std::int16_t>& cancel)
    : pattern_(pattern), cancel_(cancel) {
    platform::ShareHeapAmongThreads();
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

// What a reader may do now: close what the scan is done with, or read the next folder while
// there is room ahead.
std::size_t ReadAhead::Work() const {
    const std::size_t room = kMostFolders - std::min(started_.size(), kMostFolders);
    return discarded_.size() + (cancel_ == 0 ? std::min(waiting_, room) : 0);
}

// Where answers come at once, one reader at a time keeps well ahead of the scan, woken for
// several folders at once, or for all that are left: waking one for each folder would cost
// more than reading it. Where they are slow, as on a share, every reader is busy while there
// is work for it.
void ReadAhead::Wake() {
    if (active_ >= kReaders) return;
    const std::size_t work = Work();
    const bool all_left = work > 0 && work == discarded_.size() + waiting_;
    if (slow_ ? work > active_ : active_ == 0 && (work >= kBatch || all_left)) work_.notify_one();
}

// Folders that take longer to read than a disk takes, on the whole: answers from afar, which
// every reader is wanted for. A reader that the system lets wait now and then does not count.
void ReadAhead::Took(std::chrono::steady_clock::duration time) {
    typical_ += (time - typical_) / 16;
    const bool slow = typical_ >= kPatience;
    if (slow && !slow_) work_.notify_all();
    slow_ = slow;
}

void ReadAhead::Read() {
    std::unique_lock lock(mutex_);
    ++active_;
    for (;;) {
        if (!stopping_ && Work() == 0) {
            --active_;
            work_.wait(lock, [this] { return stopping_ || Work() > 0; });
            ++active_;
        }
        if (stopping_) return;
        if (discarded_.empty()) {
            ReadNext(lock);
            continue;
        }
        std::vector<FolderReading> done = std::exchange(discarded_, {});
        lock.unlock();
        done.clear();
        lock.lock();
    }
}

// The lock, tried for a while before the thread sleeps for it: it is held for moments only,
// and a thread put to sleep and woken again costs more than the wait.
void ReadAhead::Relock(std::unique_lock<std::mutex>& lock) {
    for (int tries = 0; tries < 1000; ++tries)
        if (lock.try_lock()) return;
    lock.lock();
}

// Reads the first subfolder still to be read, with the lock let go meanwhile.
void ReadAhead::ReadNext(std::unique_lock<std::mutex>& lock) {
    const Place place = *next_.begin();
    const auto parent = listed_.find(place.substr(0, place.size() - 1));
    const std::size_t index = place.back();
    const FolderEntry& entry = (*parent->second.entries)[index];
    const FolderToRead at{parent->second.folder + entry.name + platform::kSeparator, entry, parent->second.volume};
    Pass(parent, index);
    started_.try_emplace(place);
    lock.unlock();
    std::uint64_t bytes = 0;
    std::optional<FolderReading> reading;
    const auto begun = std::chrono::steady_clock::now();
    try {
        reading = ReadFolderAt(at, pattern_, [&](std::uint64_t size) { return Fits(size, bytes); }, &stopping_);
    } catch (...) {
        // Out of memory, say: the scan reads the folder itself and meets the failure there.
        reading.reset();
    }
    const auto took = std::chrono::steady_clock::now() - begun;
    Relock(lock);
    Took(took);
    // Below a folder visited already, or one the scan has given up meanwhile, nothing is read.
    if (reading && reading->entries && started_.contains(place) && !(reading->id && visited_.contains(*reading->id)))
        Add(place, at.folder, reading->entries, reading->id ? std::optional(reading->id->volume) : std::nullopt);
    if (std::optional<FolderReading> dropped = Finish(place, std::move(reading), bytes)) {
        lock.unlock();
        dropped.reset();
        Relock(lock);
    }
}

// The subfolders of the folder at place, from the first on, for the readers. Called with the
// lock held.
void ReadAhead::Add(const Place& place, const std::string& folder, Entries entries,
                    std::optional<std::uint64_t> volume) {
    const auto first = std::find_if(entries->begin(), entries->end(), IsSubfolder);
    if (first == entries->end()) return;
    const auto index = static_cast<std::size_t>(first - entries->begin());
    const auto left = static_cast<std::size_t>(std::count_if(first, entries->end(), IsSubfolder));
    const auto [listed, added] = listed_.try_emplace(place, Listed{folder, std::move(entries), volume, index, left});
    if (!added) return;
    next_.insert(Below(place, index));
    waiting_ += left;
    Wake();
}

// The subfolder at index of a folder listed is being read, and those before it, which the scan
// has passed, are not to be: the next one comes next. Called with the lock held.
void ReadAhead::Pass(std::map<Place, Listed>::iterator listed, std::size_t index) {
    Listed& folder = listed->second;
    const auto& entries = *folder.entries;
    next_.erase(Below(listed->first, folder.next));
    for (; folder.next <= index; ++folder.next) {
        if (!IsSubfolder(entries[folder.next])) continue;
        --folder.left;
        --waiting_;
    }
    const auto next = std::find_if(entries.begin() + static_cast<std::ptrdiff_t>(folder.next), entries.end(), IsSubfolder);
    if (next == entries.end()) {
        listed_.erase(listed);
        return;
    }
    folder.next = static_cast<std::size_t>(next - entries.begin());
    next_.insert(Below(listed->first, folder.next));
}

void ReadAhead::Offer(const Place& place, const std::string& folder, Entries entries,
                      std::optional<std::uint64_t> volume) {
    const std::lock_guard lock(mutex_);
    Add(place, folder, std::move(entries), volume);
}

bool ReadAhead::Fits(std::uint64_t size, std::uint64_t& bytes) {
    if (size > kLargestFile) return false;
    std::uint64_t ahead = bytes_;
    do {
        if (ahead + size > kMostBytes) return false;
    } while (!bytes_.compare_exchange_weak(ahead, ahead + size));
    bytes += size;
    return true;
}

// Called with the lock held. What is no longer wanted, as its place has been given up
// meanwhile, is handed back, to be closed without the lock.
std::optional<FolderReading> ReadAhead::Finish(const Place& place, std::optional<FolderReading> reading,
                                               std::uint64_t bytes) {
    const auto slot = started_.find(place);
    if (awaited_ == place) ready_.notify_one();
    if (slot != started_.end() && reading) {
        slot->second = {true, std::move(*reading), bytes};
        return std::nullopt;
    }
    bytes_ -= bytes;
    if (slot != started_.end()) started_.erase(slot);
    Wake();
    return reading;
}

FolderReading ReadAhead::Take(const Place& place, const FolderToRead& at) {
    std::unique_lock lock(mutex_, std::defer_lock);
    Relock(lock);
    if (const auto parent = listed_.find(place.substr(0, place.size() - 1));
        parent != listed_.end() && parent->second.next <= place.back())
        Pass(parent, place.back());
    auto slot = started_.find(place);
    const auto ready = [&] {
        slot = started_.find(place);
        return slot == started_.end() || slot->second.ready;
    };
    while (!ready()) {
        // Where answers come at once, the scan reads the next folder itself rather than wait
        // for a reader to finish this one.
        if (!slow_ && cancel_ == 0 && !next_.empty() && started_.size() < kMostFolders) {
            ReadNext(lock);
            continue;
        }
        awaited_ = place;
        ready_.wait(lock, ready);
        awaited_.reset();
    }
    if (slot != started_.end()) {
        FolderReading reading = std::move(slot->second.reading);
        bytes_ -= slot->second.bytes;
        started_.erase(slot);
        if (reading.id) reading.first_visit = visited_.insert(*reading.id).second;
        Wake();
        return reading;
    }
    lock.unlock();
    const auto begun = std::chrono::steady_clock::now();
    // The scan's own reading: its files are read when their values are asked for.
    FolderReading reading = *ReadFolderAt(at, pattern_);
    const auto took = std::chrono::steady_clock::now() - begun;
    Relock(lock);
    Took(took);
    if (reading.id) reading.first_visit = visited_.insert(*reading.id).second;
    if (reading.first_visit && reading.entries)
        Add(place, at.folder, reading.entries, reading.id ? std::optional(reading.id->volume) : std::nullopt);
    return reading;
}

void ReadAhead::Discard(FolderReading reading) {
    std::unique_lock lock(mutex_, std::defer_lock);
    Relock(lock);
    // More than the readers keep up with: this one is closed here.
    if (discarded_.size() >= kMostFolders || readers_.empty()) return;
    discarded_.push_back(std::move(reading));
    Wake();
}

void ReadAhead::Forget(const Place& place) {
    std::vector<FolderReading> dropped;  // closed once the lock is let go
    const std::lock_guard lock(mutex_);
    for (auto it = listed_.lower_bound(place); it != listed_.end() && (it->first == place || IsBelow(it->first, place));) {
        next_.erase(Below(it->first, it->second.next));
        waiting_ -= it->second.left;
        it = listed_.erase(it);
    }
    for (auto it = started_.upper_bound(place); it != started_.end() && IsBelow(it->first, place);) {
        bytes_ -= it->second.bytes;
        if (it->second.ready) dropped.push_back(std::move(it->second.reading));
        it = started_.erase(it);
    }
    Wake();
}

void ReadAhead::Visit(const platform::FolderId& id) {
    const std::lock_guard lock(mutex_);
    visited_.insert(id);
}

}  // namespace vemor
