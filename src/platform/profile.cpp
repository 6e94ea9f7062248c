// Profile values as the Windows profile functions give and set them, from one reading of the
// file per step: the same on every target, over the backend's profile_file.h.
#include "profile.h"

#include <utility>
#include <vector>

#include "profile_file.h"
#include "profile_view.h"
#include "test_hooks.h"
#include "utf8.h"

namespace vemor::platform {
namespace {

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

std::string StripQuotes(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string CutTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// A file read and let go, opened again by the name it was read by, for a write: only where the
// name still leads to the file read. Gone from under the name, it has been moved, renamed or
// removed since, and is written nowhere; another file there is a change the caller judges anew.
std::optional<FileProblem> OpenAgain(FileReading& read) {
    FileReading now = ReadProfileFile(read.path, true, [](std::uint64_t) { return false; });
    if (now.problem) {
        if (now.problem->kind == FileProblem::Kind::kMissing) return FileProblem{FileProblem::Kind::kMoved};
        return now.problem;
    }
    if (!read.identity || now.identity != read.identity) return FileProblem{FileProblem::Kind::kChanged};
    read.file = std::move(now.file);
    return std::nullopt;
}

}  // namespace

struct ProfileStep::State {
    std::string file;
    std::optional<FileReading> reading;  // made when the first value is asked for
    std::optional<FileProblem> write_problem;
    // After a write that reached the file, until it is read back: the file it went into, which
    // the read-back by name must find.
    bool wrote = false;
    std::optional<FileIdentity> written;
    // Files done with, closed with the step.
    std::vector<OpenFile> spent;

    FileReading& Reading() {
        if (reading) {
            ReadRest(*reading);
            return *reading;
        }
        reading = ReadProfileFile(file, wrote);
        if (std::exchange(wrote, false)) {
            const bool gone = reading->problem && reading->problem->kind == FileProblem::Kind::kMissing;
            if (gone || (!reading->problem && reading->identity != written)) {
                // The file written is no longer under the name; what stands there says nothing of the write.
                write_problem = FileProblem{FileProblem::Kind::kChanged};
                if (!gone) reading->problem = write_problem;
                reading->bytes.clear();
            }
        }
        return *reading;
    }
};

ProfileStep::ProfileStep(std::string file) : state_(new State{std::move(file), {}, {}, false, {}, {}}) {}

ProfileStep::~ProfileStep() = default;
ProfileStep::ProfileStep(ProfileStep&&) noexcept = default;
ProfileStep& ProfileStep::operator=(ProfileStep&&) noexcept = default;

bool ProfileStep::ReadAhead(const std::function<bool(std::uint64_t size)>& fits) {
    if (state_->reading) return false;
    FileReading reading = ReadProfileFile(state_->file, true, fits);
    if (reading.unread) return false;
    reading.file = {};
    state_->reading = std::move(reading);
    return true;
}

const std::string& ProfileStep::file() const { return state_->file; }

std::optional<FileProblem> ProfileStep::ReadProblem() const {
    return state_->reading ? state_->reading->problem : std::nullopt;
}

std::optional<FileProblem> ProfileStep::WriteProblem() const { return state_->write_problem; }

ProfileText ProfileStep::Read(const std::string& section, const std::string& key, const std::string& fallback,
                              std::size_t size) {
    const FileReading& read = state_->Reading();
    if (!read.problem) {
        if (auto value = ProfileView(read.bytes).Find(section, key)) return Fit(StripQuotes(*value), size);
    }
    return Fit(CutTrailingBlanks(fallback), size);
}

WriteResult ProfileStep::Write(const std::string& section, const std::string& key, const std::string& value) {
    State& step = *state_;
    const FileReading& read = step.Reading();
    EditOutcome outcome;
    if (!read.problem && !read.file) outcome.problem = OpenAgain(*step.reading);
    if (!outcome.problem && !test_hooks::lose_writes)
        outcome = WriteProfileEdit(read, ProfileView(read.bytes).Set(section, key, value));
    // The next value comes from the file on disk, opened anew by its name. Where a file deleted
    // meanwhile keeps its name while open, handles of ours would let the read-back find it
    // there: they close first. Elsewhere they close with the step.
    if (!OpenFile::kRemovalWaitsForClose) {
        for (OpenFile* file : {&step.reading->file, &outcome.held})
            if (*file) step.spent.push_back(std::move(*file));
    }
    step.reading.reset();
    step.write_problem = outcome.problem;
    step.wrote = outcome.written.has_value();
    step.written = outcome.written;
    return {outcome.problem};
}

ProfileText ReadProfileText(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& fallback, std::size_t size) {
    return ProfileStep(file).Read(section, key, fallback, size);
}

WriteResult WriteProfileText(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& value) {
    return ProfileStep(file).Write(section, key, value);
}

}  // namespace vemor::platform
