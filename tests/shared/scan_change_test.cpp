// A tree that changes while a run walks it: each change ends only what it touches, and
// nothing is written that was not read as patchable in the same run. Readings ahead of the
// scan are held at the entry where the tree changes until it has, so that the run meets the
// change as one that reads a folder at a time would; what a change made after a folder was
// read ahead does to a write, scan_test tells.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "files.h"
#include "modSpezial.h"
#include "scan_sessions.h"
#include "support/capture.h"
#include "support/readings.h"
#include "support/result_text.h"
#include "support/temp_tree.h"

namespace vemor {
namespace {

namespace fs = std::filesystem;
using test::ClientFile;
using test::kShortForm1;
using test::SessionFile;
using test::TempTree;
using Lines = std::vector<std::string>;

// Three clients with two pending sessions each; a session's label is its folder path.
const char* const kSessions[] = {"A/1", "A/2", "B/1", "B/2", "C/1", "C/2"};

void BuildTree(const TempTree& tree) {
    for (const char* client : {"A", "B", "C"})
        tree.File(std::string(client) + "/user.dat", ClientFile(client, "X"));
    for (const char* session : kSessions)
        tree.File(std::string(session) + "/sitzung.dat", SessionFile(session, kShortForm1, "0"));
}

// The lines of an undisturbed run, less those of the clients and sessions named.
Lines Expected(bool apply, const std::vector<std::string>& gone) {
    const auto is_gone = [&](const std::string& name) {
        return std::find(gone.begin(), gone.end(), name) != gone.end();
    };
    Lines lines;
    for (const char* client : {"A", "B", "C"}) {
        if (is_gone(client)) continue;
        lines.push_back(std::string(client) + " X");
        for (const char* session : kSessions) {
            if (session[0] != client[0] || is_gone(session)) continue;
            lines.push_back(apply ? test::Patched(session) : test::Pending(session));
        }
    }
    return lines;
}

struct ChangeCase {
    const char* name;
    const char* at;  // the entry about to be examined when the tree changes
    std::function<void(const TempTree&)> change;
    std::vector<std::string> gone;                        // clients and sessions no longer listed
    std::vector<std::pair<const char*, std::string>> left;  // files exactly as the change left them
    bool needs_ordinary_user = false;                       // the change takes read access away
    // What the run could not read, as "file PATH" or "folder PATH"; what vanished is no part
    // of the tree any more and goes unreported.
    std::vector<std::string> unreadable = {};
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

// The folder a reading of path belongs to, from the root down: a listing's own, a file's
// parent.
std::vector<std::string> FolderOf(const TempTree& tree, const std::string& path) {
    std::vector<std::string> names(1);
    for (const char c : path.substr(tree.Root().size())) {
        if (c == platform::kSeparator) names.emplace_back();
        else names.back() += c;
    }
    names.pop_back();
    return names;
}

// Whether the scan reads folder before it comes to the entry at ("A/2").
bool ComesBefore(const std::vector<std::string>& folder, const std::string& at) {
    std::vector<std::string> entry(1);
    for (const char c : at) {
        if (c == '/') entry.emplace_back();
        else entry.back() += c;
    }
    return folder < entry;
}

const std::string kPatchedElsewhere = SessionFile("B/1", kShortForm1, "1") + "Extra=1\r\n";

const ChangeCase kChanges[] = {
    {"session_folder_removed", "A/2", [](const TempTree& t) { fs::remove_all(t.Fs("A/2")); }, {"A/2"}, {}},
    {"session_file_removed", "B/1", [](const TempTree& t) { fs::remove(t.Fs("B/1/sitzung.dat")); }, {"B/1"}, {}},
    {"session_file_patched_by_someone_else", "B/1",
     [](const TempTree& t) { t.File("B/1/sitzung.dat", kPatchedElsewhere); }, {"B/1"},
     {{"B/1/sitzung.dat", kPatchedElsewhere}}},
    {"client_folder_renamed", "B", [](const TempTree& t) { fs::rename(t.Fs("B"), t.Fs("Z")); },
     {"B", "B/1", "B/2"}, {{"Z/1/sitzung.dat", SessionFile("B/1", kShortForm1, "0")}}},
    {"later_client_removed", "A/1", [](const TempTree& t) { fs::remove_all(t.Fs("C")); }, {"C", "C/1", "C/2"}, {}},
    // Moved to a part of the tree already listed: this run does not meet it again.
    {"next_session_moved_away", "A/1", [](const TempTree& t) { fs::rename(t.Fs("A/2"), t.Fs("0")); },
     {"A/2"}, {{"0/sitzung.dat", SessionFile("A/2", kShortForm1, "0")}}},
#ifndef _WIN32
    // Windows takes read access away through ACLs, which Wine does not enforce.
    {"session_folder_made_unreadable", "A/2",
     [](const TempTree& t) { fs::permissions(t.Fs("A/2"), fs::perms::none); }, {"A/2"}, {}, true, {"folder A/2"}},
    // Read as empty, the file has no Normdaten: a damaged session.
    {"session_file_made_unreadable", "C/1",
     [](const TempTree& t) { fs::permissions(t.Fs("C/1/sitzung.dat"), fs::perms::owner_write); },
     {"C/1"}, {}, true, {"file C/1/sitzung.dat"}},
#endif
};

class ScanUnderChange : public ::testing::TestWithParam<std::tuple<ChangeCase, bool>> {};

TEST_P(ScanUnderChange, EndsOnlyWhatTheChangeTouches) {
    const ChangeCase& c = std::get<0>(GetParam());
    const bool apply = std::get<1>(GetParam());
    if (c.needs_ordinary_user && !test::PermissionsBind()) GTEST_SKIP() << test::kNeedsOrdinaryUser;
    TempTree tree;
    BuildTree(tree);
    test::ScanFixture fixture;
    const std::string trigger = tree.Path(c.at);
    const std::atomic<std::int16_t> cancel = 0;
    std::int32_t sessions = 0;
    ScanContext run{tree.Root(), apply, fixture.list, cancel, sessions};
    run.reading_ahead = ReadingAhead::kOn;
    test::Moment changed;
    std::once_flag once;
    const auto change = [&] {
        std::call_once(once, [&] { c.change(tree); });
        changed.Arrive();
    };
    run.observers.entry = [&](const std::string& entry) {
        if (entry == trigger) change();
    };
    const std::thread::id scan = std::this_thread::get_id();
    const test::ReadingHook held([&](const std::string& path) {
        if (ComesBefore(FolderOf(tree, path), c.at)) return;
        // The scan reads a folder itself where no reader has begun it: then it is time.
        if (std::this_thread::get_id() == scan) change();
        else changed.Await();
    });
    std::vector<std::string> unreadable;
    run.observers.report = [&](const ScanReport& report) {
        std::string path = report.path.substr(tree.Root().size());
        std::replace(path.begin(), path.end(), platform::kSeparator, '/');
        if (report.NotPatched()) ADD_FAILURE() << "not patched: " << path;
        else unreadable.push_back((report.kind == ScanReport::Kind::kFileUnreadable ? "file " : "folder ") + path);
    };
    RunScan(run);

    EXPECT_EQ(fixture.list.lines(), Expected(apply, c.gone));
    EXPECT_EQ(unreadable, c.unreadable);
    EXPECT_TRUE(fixture.boxes.empty());
    // Sessions that were read as patchable, and only those, carry the patch.
    for (const char* session : kSessions) {
        const std::string file = std::string(session) + "/sitzung.dat";
        const bool gone = std::find(c.gone.begin(), c.gone.end(), session) != c.gone.end();
        std::error_code denied;
        if (!gone) {
            EXPECT_EQ(tree.Read(file), SessionFile(session, kShortForm1, apply ? "1" : "0")) << file;
        } else if (fs::exists(tree.Fs(file), denied)) {
            EXPECT_NE(tree.Read(file), SessionFile(session, kShortForm1, "1")) << file;
        }
    }
    for (const auto& [file, contents] : c.left) {
        fs::permissions(tree.Fs(file), fs::perms::owner_read, fs::perm_options::add);
        EXPECT_EQ(tree.Read(file), contents) << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, ScanUnderChange,
                         ::testing::Combine(::testing::ValuesIn(kChanges), ::testing::Bool()),
                         [](const auto& param_info) {
                             return std::string(std::get<0>(param_info.param).name) +
                                    (std::get<1>(param_info.param) ? "_apply" : "_preview");
                         });

}  // namespace
}  // namespace vemor
