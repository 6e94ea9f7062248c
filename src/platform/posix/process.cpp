#include <spawn.h>

#include <cerrno>

#include "posix/errors.h"
#include "process.h"

extern char** environ;

namespace vemor::platform {

// A desktop of this platform has no show state to pass; the program opens as it likes.
ProcessStart StartProcess(const std::string& path, WindowShow /*show*/) {
    std::string program = path;
    char* const arguments[] = {program.data(), nullptr};
    pid_t child = 0;
    const int error = posix_spawn(&child, path.c_str(), nullptr, nullptr, arguments, environ);
    if (error == 0) return {ProcessStart::Outcome::kStarted, 0};
    const bool missing = error == ENOENT || error == ENOTDIR;
    return {missing ? ProcessStart::Outcome::kNotFound : ProcessStart::Outcome::kRefused,
            static_cast<std::uint32_t>(error), posix::ProblemFromErrno(error).text};
}

}  // namespace vemor::platform
