#pragma once

#include <string>
#include <vector>

namespace vemor {

inline constexpr const char* kVersion = "1.00.0004";

struct CliOutput {
    std::string out;   // result lines, UTF-8
    std::string err;   // usage and error reports
};

// vemor-patch preview|apply FOLDER, --help, --version. Returns the exit status: 0 for a
// completed run, 1 when a session could not be patched, 2 for a usage error.
int RunCli(const std::vector<std::string>& args, CliOutput& output);

}  // namespace vemor
