#include "profile.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "posix/names.h"
#include "posix/paths.h"
#include "posix/profile_view.h"
#include "posix/replace_file.h"
#include "utf8.h"

namespace vemor::platform {
namespace {

using posix::ReadOutcome;

// One reading of a profile file.
struct Snapshot {
    std::string path;  // the file as opened, spelled as stored
    ReadOutcome outcome;
    std::string bytes;
    std::optional<posix::Stamp> stamp;
    timespec read_at;
};

Snapshot Take(const std::string& file, bool with_stamp) {
    Snapshot snapshot{file, ReadOutcome::kMissing, {}, std::nullopt, posix::Now()};
    std::optional<posix::Stamp>* stamp = with_stamp ? &snapshot.stamp : nullptr;
    snapshot.outcome = posix::ReadWholeFile(file, snapshot.bytes, stamp);
    if (snapshot.outcome != ReadOutcome::kMissing) return snapshot;
    // Stored in another spelling, perhaps: a file copied from Windows as SITZUNG.DAT.
    const std::optional<std::string> stored = posix::SpellingInFolder(file);
    if (!stored || stored->empty()) return snapshot;
    const std::string path = posix::FolderWithSeparator(file) + *stored;
    if (path == file) return snapshot;
    snapshot.path = path;
    snapshot.outcome = posix::ReadWholeFile(path, snapshot.bytes, stamp);
    return snapshot;
}

// Counts as the Windows functions do, in UTF-16 units, and cuts at a whole character.
ProfileText Fit(const std::string& text, std::size_t size) {
    const std::size_t room = size == 0 ? 0 : size - 1;
    std::size_t units = 0;
    std::size_t cut = 0;
    while (cut < text.size()) {
        std::size_t next = cut;
        const char32_t cp = utf8::Next(text, next);
        const std::size_t width = (cp != utf8::kInvalid && cp >= 0x10000) ? 2 : 1;
        if (units + width > room) break;
        units += width;
        cut = next;
    }
    return {cut == text.size() ? text : text.substr(0, cut), units};
}

std::string StripQuotes(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value.pop_back();
        value.erase(0, 1);
    }
    return value;
}

std::string CutTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

struct ProfileStep::State {
    std::string file;
    Use use;
    std::optional<Snapshot> snapshot;  // taken when the first value is asked for
    bool written = false;
    std::optional<FileProblem> write_problem;

    const Snapshot& Read() {
        // Only the first reading of a step that may write needs its stamp; after our own
        // write, the reading is the check that the value arrived.
        if (!snapshot) snapshot = Take(file, use == Use::kReadAndWrite && !written);
        return *snapshot;
    }
};

namespace {

// The steps under way on this thread, the latest last.
thread_local std::vector<ProfileStep::State*> steps;

ProfileStep::State* StepFor(const std::string& file) {
    const auto found = std::find_if(steps.rbegin(), steps.rend(),
                                    [&](const ProfileStep::State* step) { return step->file == file; });
    return found == steps.rend() ? nullptr : *found;
}

}  // namespace

ProfileStep::ProfileStep(const std::string& file, Use use) : state_(new State{file, use, std::nullopt, false, std::nullopt}) {
    steps.push_back(state_.get());
}

ProfileStep::~ProfileStep() { std::erase(steps, state_.get()); }

std::optional<FileProblem> ProfileStep::ReadProblem() const {
    if (!state_->snapshot) return std::nullopt;
    switch (state_->snapshot->outcome) {
        case ReadOutcome::kRead: return std::nullopt;
        case ReadOutcome::kMissing: return FileProblem{FileProblem::Kind::kMissing};
        case ReadOutcome::kNotAFile: return FileProblem{FileProblem::Kind::kNotAFile};
        case ReadOutcome::kUnreadable: break;
    }
    return FileProblem{FileProblem::Kind::kOther};
}

std::optional<FileProblem> ProfileStep::WriteProblem() const { return state_->write_problem; }

ProfileText ReadProfileText(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& fallback,
                             std::size_t size) {
    std::optional<Snapshot> own;
    ProfileStep::State* step = StepFor(file);
    const Snapshot& read = step ? step->Read() : own.emplace(Take(file, false));
    if (read.outcome == ReadOutcome::kRead) {
        if (auto value = posix::ProfileView(read.bytes).Find(section, key))
            return Fit(StripQuotes(std::move(*value)), size);
    }
    return Fit(CutTrailingBlanks(fallback), size);
}

WriteResult WriteProfileText(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& value) {
    std::optional<Snapshot> own;
    ProfileStep::State* step = StepFor(file);
    // The value goes into the version this step read, or, outside a step, the version read now.
    const Snapshot& read = step && step->snapshot ? *step->snapshot : own.emplace(Take(file, true));
    const posix::ByteEdit edit = posix::ProfileView(read.bytes).Set(section, key, value);
    const posix::ReadVersion version{read.outcome == ReadOutcome::kRead, read.bytes, read.stamp, read.read_at};
    WriteResult result;
    if (!posix::ReplaceFile(read.path, version, edit)) result.problem = FileProblem{FileProblem::Kind::kOther};
    if (step) {
        // The next value is read from the file again: the read-back must see what is on disk.
        step->snapshot.reset();
        step->written = true;
        step->write_problem = result.problem;
    }
    return result;
}

}  // namespace vemor::platform
