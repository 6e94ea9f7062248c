#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "result_list.h"
#include "scan_report.h"

namespace vemor {

// Who follows a run, each where it is set. They run inside the run, so none may throw.
struct ScanObservers {
    // After each folder examined: how far the run has got, for a long one.
    std::function<void()> progress;
    // What the run could not do that the list does not say, in the order of the list.
    std::function<void(const ScanReport&)> report;
    // Asked before each entry is examined; true ends the run there, with nothing half done
    // and everything examined so far in the list.
    std::function<bool()> stop;
    // Tests: with the path of each entry just before it is examined, to change the tree.
    std::function<void(const std::string& entry_path)> entry;
};

// The observers of the runs ScanSessions makes; none in the window unless it sets them.
inline ScanObservers CurrentScanObservers;

// What one run reads and writes.
struct ScanContext {
    ResultList& list;
    bool apply;                    // a patch scan: write and report each patchable session
    const std::int16_t& cancel;    // read at the start of every level: set, it examines nothing
    std::int32_t& session_count;   // raised for every session examined
    const ScanObservers& observers;
};

// Walks the client-data tree below folder (which gets a trailing separator) and lists, or in
// a patch scan patches, every patchable session in the context's list.
void RunScan(std::string& folder, const std::string& pattern, const ScanContext& context);

// One run with the shared values: lstPatchSitzung, ApplyPatch, CancelScan, SessionCount, and
// the current observers.
void ScanSessions(std::string& folder, const std::string& pattern);

}  // namespace vemor
