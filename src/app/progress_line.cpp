#include "progress_line.h"

#include <algorithm>
#include <string>

namespace vemor {
namespace {

constexpr auto kDelay = std::chrono::seconds(1);
constexpr auto kInterval = std::chrono::milliseconds(200);

}  // namespace

ProgressLine::ProgressLine(const CliProgress& progress)
    : progress_(progress), start_(progress.write ? progress.now() : CliClock::time_point{}) {}

void ProgressLine::Update(std::int64_t folders, std::int64_t sessions) {
    if (!progress_.write) return;
    const CliClock::time_point now = progress_.now();
    if (now - start_ < kDelay || (shown_at_ && now - *shown_at_ < kInterval)) return;
    std::string line = "\rexamined ";
    line += std::to_string(folders);
    line += " folders, ";
    line += std::to_string(sessions);
    line += " sessions";
    // Counts only grow, but blanks make sure nothing of a longer line is left over.
    const std::size_t width = line.size() - 1;
    if (width < width_) line.append(width_ - width, ' ');
    width_ = std::max(width_, width);
    progress_.write(line);
    shown_at_ = now;
}

void ProgressLine::Clear() {
    if (!shown_at_) return;
    std::string blank(width_ + 2, ' ');
    blank.front() = blank.back() = '\r';
    progress_.write(blank);
    shown_at_.reset();
    width_ = 0;
}

}  // namespace vemor
