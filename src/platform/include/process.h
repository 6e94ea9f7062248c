#pragma once

#include <cstdint>
#include <string>

namespace vemor::platform {

enum class WindowShow { kNormal, kMinimized };

struct ProcessStart {
    enum class Outcome { kStarted, kNotFound, kRefused };
    Outcome outcome;
    std::uint32_t error = 0;  // the system's error code when it did not start
    std::string reason = {};  // and the system's words for it
};

// Starts the program at path, which must be absolute, by exactly that path: no search, no
// arguments, with the program's window shown as asked. Does not wait for it.
ProcessStart StartProcess(const std::string& path, WindowShow show);

}  // namespace vemor::platform
