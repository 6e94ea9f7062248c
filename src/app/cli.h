#pragma once

#include <string>
#include <vector>

#include "progress_line.h"
#include "version.h"

namespace vemor {

struct CliOutput {
    std::string out;   // result lines, UTF-8, control characters escaped
    std::string err;   // usage and error reports
};

// Exit statuses of the command line.
inline constexpr int kCompleted = 0;
inline constexpr int kNotPatched = 1;       // at least one session could not be patched
inline constexpr int kUsageError = 2;
inline constexpr int kFolderUnusable = 3;  // FOLDER missing, no folder or unreadable
inline constexpr int kDataUnreadable = 4;  // a file or folder below FOLDER could not be read
inline constexpr int kOutputUnwritable = 5;  // the results could not be written to standard output
inline constexpr int kDamaged = 6;  // a file left damaged, or a record of an earlier write not applied
// An interrupt ends the run with 128 + the signal's number: 130 for Ctrl-C.

// vemor-patch preview|apply [--] [FOLDER], --help, --version; options may also follow the
// command word. Returns the exit status. The progress line, if any, is cleared on return,
// before the caller prints the output. Interrupts end a run only where the caller has
// deferred them (platform::DeferInterrupts) before. Standard streams the program was started
// without are held first (platform::HoldStandardStreams).
int RunCli(const std::vector<std::string>& args, CliOutput& output, const CliProgress& progress = {});

// Writes the output of a run that ended with status: the results to standard output, then
// every report to standard error, whatever became of the results; says so when they could not
// be written. Returns the program's exit status.
int WriteResults(const CliOutput& output, int status);

}  // namespace vemor
