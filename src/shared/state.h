#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "result_list.h"

// The process-wide state that the main window, the scan and the folder dialog share.
namespace vemor {

inline std::string PatchPath;          // root folder of a scan run; ends with the separator after one
inline std::int16_t ApplyPatch = 0;    // 0: preview, non-zero: patch scan
// Non-zero: a running scan examines no further entry. Atomic, as every run's cancel flag is:
// the command line's is set by an interrupt.
inline std::atomic<std::int16_t> CancelScan = 0;
inline std::int32_t SessionCount = 0;  // session folders examined in the current run
inline std::string NewChangePath;      // folder handed to the client directory dialog and back
inline std::string AppPath;            // the program's own folder with a trailing separator

// The list the scan writes into; the window or the command line that owns it sets it.
inline ResultList* lstPatchSitzung = nullptr;

}  // namespace vemor
