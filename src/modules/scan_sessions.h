#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "result_list.h"
#include "scan_report.h"

namespace vemor {

// Who follows a run. They run inside the run, so none may throw.
struct ScanObservers {
    // After each folder examined: how far the run has got, for a long one.
    std::function<void()> progress;
    // What the run could not do that the list does not say, in the order of the list.
    std::function<void(const ScanReport&)> report;
    // Tests: with the path of each entry just before it is examined, to change the tree.
    std::function<void(const std::string& entry_path)> entry;
};

// Whether reader threads read the folders the scan comes to next: where every call is a round
// trip they save time, where answers come at once they only cost it. By the volume, unless the
// environment variable kReadAheadSetting says "on" or "off".
enum class ReadingAhead { kByVolume, kOn, kOff };
inline constexpr const char* kReadAheadSetting = "VEMOR_PATCH_READ_AHEAD";

// One run of the scan: what it walks, how, and where its findings go.
struct ScanContext {
    std::string folder;  // the root
    bool apply;          // a patch scan: write and report each patchable session
    ResultList& list;
    // Read at the start of every level and before every entry: once set, the run examines
    // nothing more, and nothing is left half done. The window's CancelScan; Ctrl-C on the
    // command line.
    const std::atomic<std::int16_t>& cancel;
    std::int32_t& session_count;  // raised for every session examined
    ScanObservers observers = {};
    std::string pattern = "*.*";  // the entries each level looks at
    ReadingAhead reading_ahead = ReadingAhead::kByVolume;
};

// Walks the client-data tree below the context's folder and lists, or in a patch scan
// patches, every patchable session in the context's list. Returns the folder as walked, with
// its trailing separator.
std::string ScanSessions(const ScanContext& run);

}  // namespace vemor
