// A record is applied only to the file it names, as the write left it: what the file holds is
// judged first (recovery_record.h), with the file held against other writers, and nothing is
// written into a file that changed any other way.
#include "recovery.h"

#include <algorithm>

#include "record_folder.h"
#include "profile_file.h"
#include "put_back.h"
#include "recovery_record.h"

namespace vemor::platform {
namespace {

using Kind = Recovery::Kind;

constexpr std::string_view kSuffix = ".record";

std::optional<FileProblem> ReadRecord(const OpenFile& file, std::string& text) {
    FileFacts facts;
    if (auto problem = file.Facts(facts)) return problem;
    text.resize(static_cast<std::size_t>(facts.size));
    std::size_t used = 0;
    while (used < text.size()) {
        std::size_t got = 0;
        if (auto problem = file.ReadSome(used, text.data() + used, text.size() - used, got)) return problem;
        if (got == 0) break;
        used += got;
    }
    text.resize(used);
    return std::nullopt;
}

// The file the record names, held as a write holds it, and how it stands against the record.
Recovery Apply(const RecoveryRecord& record, const std::string& record_path, const KeptRecord& kept) {
    Recovery kept_as_is{Kind::kKept, record.path, record_path};
    const FileReading reading = ReadProfileFile(record.path, true);
    if (reading.problem) return kept_as_is.problem = *reading.problem, kept_as_is;
    if (reading.identity != record.identity) return kept_as_is.problem = {FileProblem::Kind::kChanged}, kept_as_is;
    FileProblem refused{FileProblem::Kind::kOther};
    const OpenFile held = reading.file.Reopened(reading.path, refused);
    if (!held) return kept_as_is.problem = refused, kept_as_is;
    // Judged on what it holds once held: another writer may have finished just before.
    LeftState state = LeftState::kOther;
    if (auto problem = ReadAnew(record, state)) return kept_as_is.problem = *problem, kept_as_is;
    if (state == LeftState::kOther) return kept_as_is.problem = {FileProblem::Kind::kChanged}, kept_as_is;
    if (state == LeftState::kPartWay) {
        if (auto problem = PutBack(held, record)) return kept_as_is.problem = *problem, kept_as_is;
    }
    kept.file.Remove(kept.path);
    return {state == LeftState::kIntended ? Kind::kCompleted : Kind::kRestored, record.path, record_path};
}

// One record: nothing where another run holds it or it has gone meanwhile.
std::optional<Recovery> Recover(const std::string& path) {
    FileProblem refused{FileProblem::Kind::kOther};
    KeptRecord kept{path, OpenFile::HeldRecord(path, refused)};
    if (!kept.file) {
        if (refused.kind == FileProblem::Kind::kLocked || refused.kind == FileProblem::Kind::kMissing) return std::nullopt;
        return Recovery{Kind::kUnreadable, path, path, refused};
    }
    std::string text;
    if (auto problem = ReadRecord(kept.file, text)) return Recovery{Kind::kUnreadable, path, path, *problem};
    const std::optional<RecoveryRecord> record = ParseRecord(text);
    if (!record) return Recovery{Kind::kUnreadable, path, path, {FileProblem::Kind::kOther, 0, "no record of this program"}};
    return Apply(*record, path, kept);
}

}  // namespace

std::vector<Recovery> RecoverInterruptedWrites() {
    std::vector<Recovery> done;
    FileProblem refused{FileProblem::Kind::kOther};
    std::string where;
    const std::optional<std::string> folder = RecordFolder(false, refused, where);
    if (!folder) {
        // No folder, so no record either; one that is not the user's own is not read.
        if (refused.kind != FileProblem::Kind::kMissing) done.push_back({Kind::kUnreadable, where, where, refused});
        return done;
    }
    std::optional<std::vector<std::string>> names = FilesEndingWith(*folder, kSuffix, refused);
    if (!names) {
        if (refused.kind != FileProblem::Kind::kMissing) done.push_back({Kind::kUnreadable, *folder, *folder, refused});
        return done;
    }
    std::sort(names->begin(), names->end());
    for (const std::string& name : *names)
        if (std::optional<Recovery> recovery = Recover(*folder + name)) done.push_back(std::move(*recovery));
    return done;
}

}  // namespace vemor::platform
