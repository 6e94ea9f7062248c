// ScanSessions of modPatch72_01: the walk over the client-data tree.
#include "scan_sessions.h"

#include <array>
#include <cmath>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <string_view>
#include <vector>

#include "files.h"
#include "folder_state.h"
#include "error_report.h"
#include "failures.h"
#include "profile_values.h"
#include "profile.h"
#include "read_ahead.h"
#include "result_lines.h"
#include "text.h"

namespace vemor {
namespace {

// The identifiers of the German standard procedure in short form 1, 2 and 3, as the suite
// stores them: the Base64 texts of the procedures' names, compared without decoding.
constexpr std::array<std::string_view, 3> kShortFormIds = {
    "UVJYX0RfU1RBTkRBUkRfX0tGMQ==",
    "UVJYX0RfU1RBTkRBUkRfX0tGMg==",
    "UVJYX0RfU1RBTkRBUkRfX0tGMw==",
};

// Room for a value read: as much as the scan ever takes.
constexpr std::size_t kValueRoom = 32000;

double ToNumber(const ProfileValue& value) {
    if (!value) return 0;
    if (const auto number = platform::TextToNumber(*value)) return *number;
    throw TypeMismatch(*value);
}

// ObjektTyp is not used, but a file whose value is no 16-bit whole number is damaged.
void RequireWholeNumber16(const ProfileValue& value) {
    const double whole = std::floor(ToNumber(value));
    if (!(whole >= std::numeric_limits<std::int16_t>::min() &&
          whole <= std::numeric_limits<std::int16_t>::max()))
        throw OutsideWholeNumber16(value.value_or(""));
}

bool IsShortForm(const ProfileValue& identification) {
    for (const auto id : kShortFormIds)
        if (identification.value_or("") == id) return true;
    return false;
}

void CountSession(std::int32_t& count) {
    if (count == std::numeric_limits<std::int32_t>::max())
        throw TooManySessions();
    ++count;
}

void Report(const ScanContext& run, const ScanReport& report) {
    if (run.observers.report) run.observers.report(report);
}

// A file the folder lists but that could not be read gives the values' defaults, as a file
// without them would; only the report tells the two apart. One that has vanished meanwhile
// is simply no longer part of the tree.
void ReportUnreadable(const ScanContext& run, const platform::ProfileStep& step, const std::string& file) {
    const std::optional<platform::FileProblem> problem = step.ReadProblem();
    if (problem && problem->kind != platform::FileProblem::Kind::kMissing)
        Report(run, {ScanReport::Kind::kFileUnreadable, file, *problem});
}

// Why the session listed as not patched is not: the write's problem, else the read-back's,
// else the value read back.
ScanReport NotPatched(const platform::ProfileStep& step, const std::string& file, const ProfileValue& read_back) {
    if (const auto problem = step.WriteProblem()) return {ScanReport::Kind::kWriteFailed, file, *problem};
    if (const auto problem = step.ReadProblem()) return {ScanReport::Kind::kReadBackFailed, file, *problem};
    return {.kind = ScanReport::Kind::kWrongReadBack, .path = file, .read_back = read_back.value_or("")};
}

void ClientStep(const ScanContext& run, platform::ProfileStep& step, const std::string& folder_name) {
    ResultList& list = run.list;
    if (EndsWithClientEntry(list)) list.Remove(list.Count() - 1);
    const ProfileValue type = ReadIniValue(step, "UserData", "ObjektTyp", "0");
    ReportUnreadable(run, step, step.file());
    RequireWholeNumber16(type);
    const std::string first_name = ReadIniValue(step, "UserData", "Vorname", folder_name).value_or("");
    const std::string name = ReadIniValue(step, "UserData", "Name", "").value_or("");
    list.Append(ClientEntry(first_name, name));
}

// How the step came by its reading of the session file.
enum class Reading {
    kAtItsStep,  // read as the scan came to it
    kAhead,      // read earlier by a reader thread
    kAgain,      // read once more after the write found the reading ahead out of date
};

bool WriteFoundThe(platform::FileProblem::Kind kind, const platform::ProfileStep& step) {
    const auto problem = step.WriteProblem();
    return problem && problem->kind == kind;
}

void SessionStep(const ScanContext& run, platform::ProfileStep& step, const std::string& folder_name, Reading reading) {
    const std::string file = step.file();
    const ProfileValue type = ReadIniValue(step, "TreeData", "ObjektTyp", "0");
    // Gone since it was read ahead: as though the scan had found no session file here.
    const auto problem = step.ReadProblem();
    if (reading == Reading::kAgain && problem && problem->kind == platform::FileProblem::Kind::kMissing) return;
    ReportUnreadable(run, step, file);
    RequireWholeNumber16(type);
    const std::string label = ReadIniValue(step, "TreeData", "Bezeichnung", folder_name).value_or("");
    const ProfileValue identification = ReadIniValue(step, "Optionen", "Identifikation", "");
    const ProfileValue norm_data = ReadIniValue(step, "Optionen", "Normdaten", "");
    CountSession(run.session_count);
    if (ToNumber(norm_data) != 0 || !IsShortForm(identification)) return;

    ResultList& list = run.list;
    if (!run.apply) {
        list.Append(PendingEntry(label, norm_data.value_or("")));
        return;
    }
    WriteIniValue(step, "Optionen", "Normdaten", "1");
    if (reading == Reading::kAhead && WriteFoundThe(platform::FileProblem::Kind::kChanged, step)) {
        // Read before the scan came to it, and changed since: had the scan read it now, it
        // would have judged what it holds now, once. The step lets go of the file first.
        --run.session_count;
        step = platform::ProfileStep(std::string(file));
        SessionStep(run, step, folder_name, Reading::kAgain);
        return;
    }
    if (reading == Reading::kAhead && WriteFoundThe(platform::FileProblem::Kind::kMoved, step)) {
        // No longer in the tree where the scan came to it: no session of this run, written
        // nowhere, and said why.
        --run.session_count;
        Report(run, {ScanReport::Kind::kWriteFailed, file, *step.WriteProblem()});
        return;
    }
    const ProfileValue read_back = ReadIniValue(step, "Optionen", "Normdaten", "0");
    double number = 0;
    try {
        number = ToNumber(read_back);
    } catch (...) {
        // No line says so, but the session is not patched all the same.
        Report(run, NotPatched(step, file, read_back));
        throw;
    }
    // Patched only by this run's own write: a 1 that another program wrote, or that a file held
    // by another program happens to hold, is no patch of ours.
    if (number == 1 && !step.WriteProblem()) {
        list.Append(PatchedEntry(label));
        return;
    }
    list.Append(NotPatchedEntry(label, read_back.value_or("")));
    Report(run, NotPatched(step, file, read_back));
}

bool IsSubfolder(const platform::FolderEntry& entry) {
    return entry.is_folder && entry.name != "." && entry.name != "..";
}

std::optional<std::uint64_t> VolumeOf(const std::optional<platform::FolderId>& id) {
    return id ? std::optional(id->volume) : std::nullopt;
}

// Whether the scan, coming to a folder read ahead, will enter it: told from what was read, so
// that readers may read below it before the scan comes to it. Not a folder it gives up for its
// damaged user.dat, nor a session folder, whose outcome may hang on a write.
bool WillEnter(FolderReading& read) {
    if (!read.entries || read.client.problem || read.session.problem || read.session_step) return false;
    if (!read.client_step) return true;
    if (!read.client_read_ahead) return false;
    try {
        RequireWholeNumber16(read.client_step->Read("UserData", "ObjektTyp", "0", kValueRoom).text);
        return true;
    } catch (...) {
        return false;
    }
}

// Decided once, before the first folder: readers save time where every call is a round trip
// and the share answers many at once, and only cost it where answers come at once or one by one.
bool ReadsAhead(const ScanContext& run, const std::string& root) {
    if (run.reading_ahead != ReadingAhead::kByVolume) return run.reading_ahead == ReadingAhead::kOn;
    const std::optional<std::string> setting = platform::EnvironmentValue(kReadAheadSetting);
    if (setting == "on" || setting == "off") return setting == "on";
    return platform::IsOverlappingShare(root);
}

// One run, depth first. The levels are kept on an explicit stack, each with its entries
// read up front, so neither a deep tree nor many open enumerations can exhaust anything.
class ScanRun {
public:
    explicit ScanRun(const ScanContext& context) : run_(context) {}

    void Run(const std::string& root) {
        if (run_.cancel != 0) return;
        if (ReadsAhead(run_, root))
            ahead_.emplace(run_.pattern, run_.cancel, run_.apply ? ReadAhead::kReadersForApply : ReadAhead::kReadersForPreview);
        std::optional<platform::FolderId> id;
        Entries entries;
        if (auto listed = platform::ListFolder(root, run_.pattern, &id))
            entries = std::make_shared<const std::vector<platform::FolderEntry>>(std::move(*listed));
        if (entries && !id) id = platform::IdentifyFolder(root);
        if (id) visited_.insert(*id);
        PushLevel(root, std::move(entries), id);
        if (ahead_) Plan();
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.next == level.entries->size()) {
                levels_.pop_back();
                continue;
            }
            // Between two entries nothing is half done: the place to end early.
            if (run_.cancel != 0) return;
            // Levels live in a deque, so this one stays put while Examine adds the next.
            const std::size_t index = level.next++;
            const platform::FolderEntry& entry = (*level.entries)[index];
            if (run_.observers.entry) run_.observers.entry(level.folder + entry.name);
            if (!IsSubfolder(entry)) continue;
            Examine(level, index, entry);
            if (ahead_) Plan();
        }
    }

private:
    struct Level;
    // A subfolder handed to the readers and, once its reading tells that the scan will enter
    // it, the level it becomes, whose subfolders are handed too.
    struct Ahead {
        std::size_t index;
        ReadAhead::Handed folder;
        std::unique_ptr<Level> below = {};
    };
    struct Level {
        std::string folder;
        Entries entries;
        std::size_t next = 0;
        std::optional<std::uint64_t> volume;  // the folder's volume, where its identity is known
        std::deque<Ahead> ahead = {};  // subfolders handed and not yet examined, in order
        std::size_t handed = 0;        // how far into the entries they reach
    };

    bool PushLevel(const std::string& folder, Entries entries, std::optional<platform::FolderId> id,
                   std::unique_ptr<Level> planned = nullptr) {
        if (!entries || run_.cancel != 0) return false;
        if (planned) levels_.push_back(std::move(*planned));
        else levels_.push_back({folder, std::move(entries), 0, VolumeOf(id)});
        return true;
    }

    // The readers' window: the folders this run enters next, in its order, as far as it knows
    // them: the deepest level's first.
    void Plan() {
        std::vector<ReadAhead::Handed> next;
        for (auto level = levels_.rbegin(); level != levels_.rend() && next.size() < ReadAhead::kMostFolders; ++level)
            PlanLevel(*level, next);
        ahead_->Plan(std::move(next));
    }

    // Each subfolder of the level, followed by what lies below it where the scan will enter it.
    void PlanLevel(Level& level, std::vector<ReadAhead::Handed>& next) {
        for (std::size_t i = 0; next.size() < ReadAhead::kMostFolders && (i < level.ahead.size() || HandNext(level)); ++i) {
            Ahead& folder = level.ahead[i];
            next.push_back(folder.folder);
            if (!folder.below) folder.below = LevelBelow(level, folder);
            if (folder.below) PlanLevel(*folder.below, next);
        }
    }

    // One more subfolder of the level handed; false where none is left.
    bool HandNext(Level& level) {
        for (; level.handed < level.entries->size(); ++level.handed) {
            const platform::FolderEntry& entry = (*level.entries)[level.handed];
            if (level.handed < level.next || !IsSubfolder(entry)) continue;
            level.ahead.push_back({level.handed, ReadAhead::Hand({Inner(level, entry), entry, level.volume})});
            ++level.handed;
            return true;
        }
        return false;
    }

    std::unique_ptr<Level> LevelBelow(const Level& level, const Ahead& folder) {
        FolderReading* read = ahead_->Peek(folder.folder);
        if (!read || !WillEnter(*read) || (read->id && visited_.contains(*read->id))) return nullptr;
        const std::string inner = Inner(level, (*level.entries)[folder.index]);
        return std::make_unique<Level>(Level{inner, read->entries, 0, VolumeOf(read->id)});
    }

    static std::string Inner(const Level& level, const platform::FolderEntry& entry) {
        return level.folder + entry.name + platform::kSeparator;
    }

    // The folder's reading: a reader's where one has read it, else the scan's own, its files
    // read when their values are asked for; and the level planned below it. Nothing where the
    // run was stopped while a reader was at it, whatever that reader is stuck in.
    std::optional<FolderReading> Read(Level& level, std::size_t index, const FolderToRead& at,
                                      std::unique_ptr<Level>& planned) {
        std::optional<FolderReading> read;
        if (ahead_ && !level.ahead.empty() && level.ahead.front().index == index) {
            Ahead folder = std::move(level.ahead.front());
            level.ahead.pop_front();
            planned = std::move(folder.below);
            if (!ahead_->Take(folder.folder, read)) return std::nullopt;
        }
        if (!read) {
            planned.reset();
            read = ReadFolderAt(at, run_.pattern);
        }
        return read;
    }

    // A failure ends the examination of this subfolder and everything below it; the
    // level goes on with its next entry, so one damaged file hides nothing else.
    void Examine(Level& level, std::size_t index, const platform::FolderEntry& entry) {
        const std::string sub = level.folder + entry.name;
        try {
            const std::string inner = sub + platform::kSeparator;
            // One reading of the folder serves both lookups and, afterwards, its own level.
            std::unique_ptr<Level> planned;
            std::optional<FolderReading> read = Read(level, index, {inner, entry, level.volume}, planned);
            if (!read || (read->id && !visited_.insert(*read->id).second)) return;
            // Its own files may still be reachable by name; what lies below it is not.
            if (!read->entries && read->problem.kind != platform::FileProblem::Kind::kMissing)
                Report(run_, {ScanReport::Kind::kFolderUnreadable, sub, read->problem});
            // Each file is read under the name the folder holds it by, so that no other
            // spelling is tried first.
            // The lookup ignores letter case, so its answer tells how the file is stored: a client
            // folder's file must be stored as user.dat exactly, and a USER.DAT makes no client
            // entry, while a session file counts in any spelling (SITZUNG.DAT, Sitzung.dat).
            if (read->client.problem) throw BadFileName(inner + "user.dat", *read->client.problem);
            if (read->client_step) ClientStep(run_, *read->client_step, entry.name);
            if (read->session.problem) throw BadFileName(inner + "sitzung.dat", *read->session.problem);
            if (read->session_step)
                SessionStep(run_, *read->session_step, entry.name, read->session_read_ahead ? Reading::kAhead : Reading::kAtItsStep);
            PushLevel(inner, std::move(read->entries), read->id, std::move(planned));
            if (ahead_) ahead_->Discard(std::move(*read));
            if (run_.observers.progress) run_.observers.progress();
        } catch (...) {
            ShowError(CaughtFailure(), kSilent);
        }
    }

    const ScanContext& run_;
    std::deque<Level> levels_;
    std::set<platform::FolderId> visited_;
    std::optional<ReadAhead> ahead_;  // last: its readers are let go first
};

}  // namespace

std::string ScanSessions(const ScanContext& run) {
    const std::string root = platform::WithSeparator(run.folder);
    try {
        ScanRun{run}.Run(root);
    } catch (...) {
        ShowError(CaughtFailure(), kSilent);
    }
    return root;
}

}  // namespace vemor
