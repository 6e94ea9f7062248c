#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vemor {

using CliClock = std::chrono::steady_clock;

// The clock that times a run and where its progress goes; tests put in their own.
struct CliProgress {
    std::function<CliClock::time_point()> now = CliClock::now;
    // Gets the text that rewrites the progress line; empty: no progress is shown.
    std::function<void(std::string_view)> write;
    // Tests: with the path of each entry just before the scan examines it.
    std::function<void(const std::string&)> entry = {};
};

// One line that tells how far a long run has got: first shown once the run has taken a
// second, rewritten in place at most five times a second, blanked at the end.
class ProgressLine {
public:
    explicit ProgressLine(const CliProgress& progress);

    void Update(std::int64_t folders, std::int64_t sessions);
    void Clear();

private:
    const CliProgress& progress_;
    CliClock::time_point start_;
    std::optional<CliClock::time_point> shown_at_;
    std::size_t width_ = 0;
};

}  // namespace vemor
