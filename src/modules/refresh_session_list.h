#pragma once

#include <string>

#include "scan_sessions.h"

namespace vemor {

// What a run leaves besides its list.
struct ScanOutcome {
    std::string folder;  // the root as walked, with its trailing separator
};

// One scan run as the context describes it, then its list tidied: a trailing client entry
// without a session entry goes, and an empty list gets the empty-result line. A failure of
// the list is shown to the user.
ScanOutcome RunScan(const ScanContext& run);

// The run the window makes, with the shared values: PatchPath, which ends with the separator
// afterwards, ApplyPatch, CancelScan, SessionCount and lstPatchSitzung. observers follow it.
void RefreshSessionList(const ScanObservers& observers = {});

}  // namespace vemor
