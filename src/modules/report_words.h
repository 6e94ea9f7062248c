#pragma once

#include <string>

#include "console.h"
#include "file_problem.h"
#include "scan_report.h"

// Reports in words for the command line, in English as its other messages.
namespace vemor {

// Why, in a few words: "locked by another program", or the system's own message for a
// problem without a kind of its own.
std::string DescribeProblem(const platform::FileProblem& problem);

// What could not be done and why, to follow the path: "not patched: write-protected",
// "cannot be read (permission denied)".
std::string DescribeReport(const ScanReport& report);

// Why the folder a run is given cannot be scanned: "no such folder", "is not a folder",
// "cannot be read (Permission denied)" with the system's own words.
std::string DescribeFolderProblem(const platform::FileProblem& problem);

// Why the results could not be written: "closed", "broken pipe".
std::string DescribeStreamProblem(const platform::StreamProblem& problem);

}  // namespace vemor
