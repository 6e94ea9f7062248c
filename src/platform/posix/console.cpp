#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "console.h"

namespace vemor::platform {
namespace {

using Kind = StreamProblem::Kind;

// The standard streams the program was started without, now on the null device.
bool held[3] = {};

StreamProblem ProblemOf(int error) {
    switch (error) {
        case EBADF: return {Kind::kClosed};
        case ENOSPC: case EDQUOT: return {Kind::kNoSpace};
        case EPIPE: return {Kind::kBrokenPipe};
        default: return {Kind::kOther, std::strerror(error)};
    }
}

// SIGPIPE waits while the text is written, and one the write raised is taken back: a broken
// pipe is reported, and the process goes on to report everything else.
std::optional<StreamProblem> Write(int fd, std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (held[fd]) return StreamProblem{Kind::kClosed};
    sigset_t pipe_signal;
    sigset_t previous;
    sigset_t pending;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
    sigpending(&pending);
    const bool came_before = sigismember(&pending, SIGPIPE) == 1;
    int error = 0;
    while (!text.empty() && error == 0) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written > 0) text.remove_prefix(static_cast<std::size_t>(written));
        else if (written == 0) error = EIO;
        else if (errno != EINTR) error = errno;
    }
    if (error == EPIPE && !came_before) {
        const timespec at_once{};
        sigtimedwait(&pipe_signal, nullptr, &at_once);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (error != 0) return ProblemOf(error);
    return std::nullopt;
}

}  // namespace

std::optional<StreamProblem> WriteOut(std::string_view text) {
    std::fflush(stdout);
    return Write(STDOUT_FILENO, text);
}

std::optional<StreamProblem> WriteErr(std::string_view text) {
    std::fflush(stderr);
    return Write(STDERR_FILENO, text);
}

// A closed descriptor is the lowest free one, so the null device opens on it.
void HoldStandardStreams() {
    for (int fd = 0; fd < 3; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int null = open("/dev/null", O_RDWR);
        if (null < 0) continue;
        if (null != fd) {
            dup2(null, fd);
            close(null);
        }
        held[fd] = true;
    }
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string_view LineEnd() { return "\n"; }

void ShowMessage(const std::string& text, const std::string& caption) {
    WriteErr(caption + ": " + text + "\n");
}

}  // namespace vemor::platform
