#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <thread>
#include <utility>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "files.h"
#include "modSpezial.h"
#include "scan_sessions.h"
#include "support/capture.h"
#include "support/holders.h"
#include "support/readings.h"
#include "support/result_text.h"
#include "support/temp_tree.h"
#include "test_hooks.h"

namespace vemor {
namespace {

using test::ClientFile;
using test::Crlf;
using test::kShortForm1;
using test::kShortForm2;
using test::kShortForm3;
using test::SessionFile;
using test::TempTree;
using Lines = std::vector<std::string>;

using test::NotPatched;
using test::Patched;
using test::Pending;
std::string Empty(int count) { return test::NoSession(count); }

struct Result {
    Lines lines;
    std::int32_t sessions;
    std::vector<ScanReport> reports;
};

// entry, where given, sees each entry before it is examined and may stop the run. Readers read
// ahead unless asked not to, whatever the volume.
Result Walk(const TempTree& tree, bool apply, std::int16_t cancel = 0,
            const std::function<void(const std::string&, std::atomic<std::int16_t>&)>& entry = nullptr,
            ReadingAhead reading_ahead = ReadingAhead::kOn) {
    test::ScanFixture fixture;
    std::vector<ScanReport> reports;
    std::atomic<std::int16_t> cancelled = cancel;
    std::int32_t sessions = 0;
    ScanContext run{tree.Root(), apply, fixture.list, cancelled, sessions};
    run.reading_ahead = reading_ahead;
    run.observers.report = [&](const ScanReport& report) { reports.push_back(report); };
    if (entry) run.observers.entry = [&](const std::string& path) { entry(path, cancelled); };
    RunScan(run);
    EXPECT_TRUE(fixture.boxes.empty()) << fixture.boxes.front();
    return {fixture.list.lines(), sessions, reports};
}

struct ScanCase {
    const char* name;
    std::function<void(const TempTree&)> build;
    Lines preview;
    std::int32_t sessions;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

const ScanCase kScanCases[] = {
    {"empty_tree", [](const TempTree&) {}, {Empty(0)}, 0},
    {"client_with_pending_session",
     [](const TempTree& t) {
         t.File("Anna/user.dat", ClientFile("Anna", "Beispiel"));
         t.File("Anna/S1/sitzung.dat", SessionFile("Test 1", kShortForm1, "0"));
     },
     {"Anna Beispiel", Pending("Test 1")}, 1},
    {"all_three_short_forms",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "B"));
         t.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
         t.File("A/2/sitzung.dat", SessionFile("Zwei", kShortForm2, "0"));
         t.File("A/3/sitzung.dat", SessionFile("Drei", kShortForm3, " 0 "));
     },
     {"A B", Pending("Eins"), Pending("Zwei"), Pending("Drei", "0")}, 3},
    {"user_dat_without_section_uses_folder_name",
     [](const TempTree& t) {
         t.File("Anna/user.dat", Crlf("[Sonst]\nX=1\n"));
         t.File("Anna/S1/sitzung.dat", SessionFile("Test 1", kShortForm1, "0"));
     },
     {"Anna ", Pending("Test 1")}, 1},
    {"upper_case_user_dat_is_no_client",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "Eins"));
         t.File("A/S/sitzung.dat", SessionFile("S", kShortForm1, "0"));
         t.File("B/USER.DAT", ClientFile("B", "Zwei"));
         t.File("B/S/sitzung.dat", SessionFile("T", kShortForm1, "0"));
     },
     {"A Eins", Pending("S"), Pending("T")}, 2},
    {"session_file_in_any_letter_case",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "B"));
         t.File("A/1/Sitzung.DAT", SessionFile("Eins", kShortForm1, "0"));
         t.File("A/2/SITZUNG.DAT", SessionFile("Zwei", kShortForm1, "0"));
     },
     {"A B", Pending("Eins"), Pending("Zwei")}, 2},
    // Beside another spelling, the exact one is read.
    {"several_spellings_of_the_files",
     [](const TempTree& t) {
         t.Exact("A/USER.DAT", ClientFile("A", "Gross"));
         t.Exact("A/user.dat", ClientFile("A", "Genau"));
         t.Exact("A/S/SITZUNG.DAT", SessionFile("Gross", kShortForm1, "1"));
         t.Exact("A/S/sitzung.dat", SessionFile("Genau", kShortForm1, "0"));
     },
     {"A Genau", Pending("Genau")}, 1},
    // Names Linux, a Mac or a share can store and Windows cannot spell: under Wine such
    // folders must be examined like every other.
    {"names_windows_cannot_spell",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "B"));
         t.Exact("A/a?b/sitzung.dat", SessionFile("Frage", kShortForm1, "0"));
         t.Exact("A/blank /sitzung.dat", SessionFile("Leer", kShortForm1, "0"));
         t.Exact("A/st*r/tiefer./sitzung.dat", SessionFile("Tiefer", kShortForm1, "0"));
         t.Exact("A/trail./sitzung.dat", SessionFile("Punkt", kShortForm1, "0"));
     },
     {"A B", Pending("Frage"), Pending("Leer"), Pending("Tiefer"), Pending("Punkt")}, 4},
    {"folder_both_client_and_session",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "B"));
         t.File("A/sitzung.dat", SessionFile("Eigene", kShortForm1, "0"));
         t.File("A/S/sitzung.dat", SessionFile("Unter", kShortForm1, "0"));
     },
     {"A B", Pending("Eigene"), Pending("Unter")}, 2},
    {"patched_or_other_procedure_counted_not_listed",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "B"));
         t.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "1"));
         t.File("A/2/sitzung.dat", SessionFile("Zwei", "uvjyx0rfu1rbtkrbukrfx0tgmq==", "0"));
         t.File("A/3/sitzung.dat", SessionFile("Drei", "UVJYX0RfU1RBTkRBUkQ=", "0"));
     },
     {Empty(3)}, 3},
    {"damaged_session_hides_nothing_after_it",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "B"));
         t.File("A/1/sitzung.dat", Crlf("[TreeData]\nBezeichnung=Ohne\n[Optionen]\nIdentifikation=" +
                                         std::string(kShortForm1) + "\n"));
         t.File("A/1/tiefer/sitzung.dat", SessionFile("Darunter", kShortForm1, "0"));
         t.File("A/2/sitzung.dat", SessionFile("Zwei", kShortForm1, "abc"));
         t.File("A/3/sitzung.dat", SessionFile("Drei", kShortForm1, "0"));
         t.File("C/user.dat", ClientFile("C", "D"));
         t.File("C/1/sitzung.dat", SessionFile("Vier", kShortForm1, "0"));
     },
     {"A B", Pending("Drei"), "C D", Pending("Vier")}, 4},
    {"session_objekttyp_out_of_range_not_counted",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "B"));
         t.File("A/1/sitzung.dat", Crlf("[TreeData]\nObjektTyp=40000\n[Optionen]\nIdentifikation=" +
                                         std::string(kShortForm1) + "\nNormdaten=0\n"));
         t.File("A/2/sitzung.dat", Crlf("[TreeData]\nObjektTyp=-32768.5\n[Optionen]\nNormdaten=0\n"));
         t.File("A/3/sitzung.dat", Crlf("[TreeData]\nObjektTyp=32767.9\n[Optionen]\nIdentifikation=" +
                                         std::string(kShortForm1) + "\nNormdaten=0\n"));
     },
     {"A B", Pending("3")}, 1},
    {"damaged_client_removes_previous_trailing_entry",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "Leer"));
         t.File("B/user.dat", Crlf("[UserData]\nObjektTyp=abc\nVorname=B\n"));
         t.File("B/S/sitzung.dat", SessionFile("Unter B", kShortForm1, "0"));
         t.File("C/user.dat", ClientFile("C", "D"));
     },
     {Empty(0)}, 0},
    {"clients_without_sessions_are_removed",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "Eins"));
         t.File("B/user.dat", ClientFile("B", "Zwei"));
         t.File("B/S/sitzung.dat", SessionFile("S", kShortForm1, "1"));
         t.File("C/user.dat", ClientFile("C", "Drei"));
         t.File("C/S/sitzung.dat", SessionFile("T", kShortForm1, "0"));
         t.File("D/user.dat", ClientFile("D", "Vier"));
     },
     {"C Drei", Pending("T")}, 2},
    {"client_entry_with_marker_is_kept",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile(">>", "Pfeil"));
         t.File("B/user.dat", ClientFile("B", "Zwei"));
     },
     {">> Pfeil"}, 0},
    {"defaults_from_folder_names",
     [](const TempTree& t) {
         t.File("Anna/user.dat", Crlf("[UserData]\nName=Beispiel\n"));
         t.File("Anna/Erste Sitzung/sitzung.dat",
                Crlf("[Optionen]\nIdentifikation=" + std::string(kShortForm2) + "\nNormdaten=0\n"));
     },
     {"Anna Beispiel", Pending("Erste Sitzung")}, 1},
    {"names_outside_the_code_page",
     [](const TempTree& t) {
         t.File("\xC5\x9E\xC3\xBCkr\xC3\xBC Y\xC4\xB1lmaz/user.dat", Crlf("[UserData]\nName=Y\n"));
         t.File("\xC5\x9E\xC3\xBCkr\xC3\xBC Y\xC4\xB1lmaz/\xC5\x81\xC3\xB3" "d\xC5\xBA/sitzung.dat",
                Crlf("[Optionen]\nIdentifikation=" + std::string(kShortForm1) + "\nNormdaten=0\n"));
         t.File("J\xC3\xBCrgen/user.dat", ClientFile("J\xFCrgen", "M\xFCller"));
         t.File("J\xC3\xBCrgen/S/sitzung.dat", SessionFile("M\xE4rz", kShortForm1, "0"));
     },
     {"J\xC3\xBCrgen M\xC3\xBCller", Pending("M\xC3\xA4rz"), "\xC5\x9E\xC3\xBCkr\xC3\xBC Y\xC4\xB1lmaz Y",
      Pending("\xC5\x81\xC3\xB3" "d\xC5\xBA")}, 2},
    {"folder_named_like_the_session_file",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "B"));
         t.File("A/S/sitzung.dat/sitzung.dat", SessionFile("Innen", kShortForm1, "0"));
     },
     {"A B", Pending("Innen")}, 1},
    {"label_of_40000_characters_is_cut",
     [](const TempTree& t) {
         t.File("A/user.dat", ClientFile("A", "B"));
         t.File("A/S/sitzung.dat", SessionFile(std::string(40000, 'L'), kShortForm1, "0"));
     },
     {"A B", Pending(std::string(31999, 'L'))}, 1},
};

class Scan : public ::testing::TestWithParam<ScanCase> {};

// Without readers, and with them also where some answers take far longer than others: what is
// read ahead comes in another order, and is taken in the scan's own.
TEST_P(Scan, ListsWhatThePreviewFinds) {
    TempTree tree;
    GetParam().build(tree);
    for (const auto& [ahead, uneven] : {std::pair(ReadingAhead::kOff, false), {ReadingAhead::kOn, false}, {ReadingAhead::kOn, true}}) {
        const test::ReadingHook slow(uneven ? test::SlowUnevenly : std::function<void(const std::string&)>());
        const Result result = Walk(tree, false, 0, nullptr, ahead);
        EXPECT_EQ(result.lines, GetParam().preview) << uneven;
        EXPECT_EQ(result.sessions, GetParam().sessions) << uneven;
        // Damaged data is read all the same: nothing here is for a report.
        EXPECT_TRUE(result.reports.empty()) << result.reports.front().path;
    }
}

INSTANTIATE_TEST_SUITE_P(Trees, Scan, ::testing::ValuesIn(kScanCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ScanApply, PatchesEachPendingSessionOnceAndChangesOnlyThatLine) {
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
    tree.File("A/2/SITZUNG.DAT", SessionFile("Zwei", kShortForm3, "1"));
    tree.File("A/3/sitzung.dat", SessionFile("Drei", kShortForm2, "0.0"));
    // Reached under Wine by another name; the write goes there too.
    tree.Exact("A/4?/sitzung.dat", SessionFile("Vier", kShortForm1, "0.0"));
    tree.Exact("A/5./sitzung.dat", SessionFile("F\xFCnf", kShortForm1, "0"));

    const test::ReadingHook slow(test::SlowUnevenly);
    EXPECT_EQ(Walk(tree, true).lines,
              (Lines{"A B", Patched("Eins"), Patched("Drei"), Patched("Vier"), Patched("F\xC3\xBCnf")}));
    EXPECT_EQ(tree.Read("A/1/sitzung.dat"), SessionFile("Eins", kShortForm1, "1"));
    EXPECT_EQ(tree.Read("A/2/SITZUNG.DAT"), SessionFile("Zwei", kShortForm3, "1"));
    EXPECT_EQ(tree.Read("A/3/sitzung.dat"), SessionFile("Drei", kShortForm2, "1"));
    EXPECT_EQ(tree.Read("A/user.dat"), ClientFile("A", "B"));

    const Result again = Walk(tree, true);
    EXPECT_EQ(again.lines, Lines{Empty(5)});
}

TEST(ScanApply, ReadOnlySessionIsReportedNotPatched) {
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File("A/1/sitzung.dat", SessionFile("Test 1", kShortForm1, "0"));
    tree.File("A/2/sitzung.dat", SessionFile("Test 2", kShortForm1, "0"));
    test::MakeReadOnly(tree.Fs("A/1/sitzung.dat"));

    const Result result = Walk(tree, true);
    EXPECT_EQ(result.lines, (Lines{"A B", NotPatched("Test 1", "0"), Patched("Test 2")}));
    EXPECT_EQ(tree.Read("A/1/sitzung.dat"), SessionFile("Test 1", kShortForm1, "0"));
    ASSERT_EQ(result.reports.size(), 1u);
    EXPECT_TRUE(result.reports[0].NotPatched());
    EXPECT_EQ(result.reports[0].path, tree.Path("A/1/sitzung.dat"));
}

// Patched is only what this run wrote itself: not a write lost on its way, as on a server that
// loses it, nor a 1 another program wrote between the scan's reading and its write. A session
// read ahead and changed before the write is read again and judged on what it holds then, as a
// reading at its step would have found it; a change after that reading is never overwritten.
TEST(ScanApply, ReportsPatchedOnlyForItsOwnWrite) {
    using platform::test_hooks::WriteStage;
    struct Case {
        const char* name;
        // At the beginning of each write of the session: the first, and the one after it was read again.
        std::function<test::Holder(const TempTree&, int write)> meanwhile;
        bool large;  // beyond the bounds of reading ahead: read only at its step
        Lines lines;
        std::optional<ScanReport::Kind> kind;  // the one report, if any
        std::optional<platform::FileProblem::Kind> why;
        std::string after = {};  // what the file holds then, where it says something
        // A change once the session was read ahead: as the scan comes to its folder, or as it
        // opens the file again to write it; and where the file is then.
        std::function<void(const TempTree&)> at_its_step = {};
        std::function<void(const TempTree&)> reopened = {};
        std::string now_at = "A/1/sitzung.dat";
    };
    const auto patched_by_another = [](const TempTree& t, int) {
        t.File("A/1/sitzung.dat", SessionFile("Test 1", kShortForm1, "1"));
        return test::Holder();
    };
    const auto nothing = [](const TempTree&, int) { return test::Holder(); };
    const TempTree elsewhere;
    const std::string outside = "../" + std::filesystem::path(elsewhere.Root()).parent_path().filename().string() + "/1";
    const std::string appended = SessionFile("Test 1", kShortForm1, "0") + "Rohwerte=" + std::string(100 * 1024, '8') + "\r\n";
    const std::string renamed = SessionFile("Neu", kShortForm1, "0");
    const std::string again = SessionFile("Neuer", kShortForm1, "0");
    const Case cases[] = {
        {"lost_on_its_way", nullptr, false, {"A B", NotPatched("Test 1", "0")}, ScanReport::Kind::kWrongReadBack,
         std::nullopt},
        {"patched_by_another_run_first", patched_by_another, true, {"A B", NotPatched("Test 1", "1")},
         ScanReport::Kind::kWriteFailed, platform::FileProblem::Kind::kChanged},
        {"patched_by_another_run_after_the_read_ahead", patched_by_another, false, {Empty(1)}, std::nullopt,
         std::nullopt, SessionFile("Test 1", kShortForm1, "1")},
        {"changed_after_the_read_ahead",
         [&](const TempTree& t, int write) {
             if (write == 1) t.File("A/1/sitzung.dat", renamed);
             return test::Holder();
         },
         false, {"A B", Patched("Neu")}, std::nullopt, std::nullopt, SessionFile("Neu", kShortForm1, "1")},
        {"changed_again_after_being_read_again",
         [&](const TempTree& t, int write) {
             t.File("A/1/sitzung.dat", write == 1 ? renamed : again);
             return test::Holder();
         },
         false, {"A B", NotPatched("Neu", "0")}, ScanReport::Kind::kWriteFailed, platform::FileProblem::Kind::kChanged,
         again},
        {"held_by_a_program_that_wrote_a_1",
         [&](const TempTree& t, int write) {
             patched_by_another(t, write);
#ifdef _WIN32
             return test::HoldOpen(t.Fs("A/1/sitzung.dat"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
#else
             return test::HoldLocked(t.Fs("A/1/sitzung.dat"), test::Lock::kFlock);
#endif
         },
         false, {"A B", NotPatched("Test 1", "1")}, ScanReport::Kind::kWriteFailed, platform::FileProblem::Kind::kLocked},
        // Its folder moved or renamed once the session was read ahead: the file is written
        // nowhere, wherever it went.
        {"moved_out_of_the_tree_after_the_read_ahead", nothing, false, {Empty(0)}, ScanReport::Kind::kWriteFailed,
         platform::FileProblem::Kind::kMoved, SessionFile("Test 1", kShortForm1, "0"), {},
         [&](const TempTree& t) { std::filesystem::rename(t.Fs("A/1"), t.Fs(outside)); }, outside + "/sitzung.dat"},
        {"renamed_within_the_tree_after_the_read_ahead", nothing, false, {Empty(0)}, ScanReport::Kind::kWriteFailed,
         platform::FileProblem::Kind::kMoved, SessionFile("Test 1", kShortForm1, "0"), {},
         [](const TempTree& t) { std::filesystem::rename(t.Fs("A/1"), t.Fs("A/0")); }, "A/0/sitzung.dat"},
        // Beyond the bounds of reading ahead: read at its step, and judged on what it holds then.
        {"large_file_replaced_once_its_folder_was_read_ahead", nothing, true, {"A B", Patched("Neu")}, std::nullopt,
         std::nullopt, SessionFile("Neu", kShortForm1, "1"), [&](const TempTree& t) { t.File("A/1/sitzung.dat", renamed); }},
        {"large_file_appended_to_once_its_folder_was_read_ahead", nothing, true, {"A B", Patched("Test 1")},
         std::nullopt, std::nullopt, SessionFile("Test 1", kShortForm1, "1") + appended.substr(SessionFile("Test 1", kShortForm1, "0").size()),
         [&](const TempTree& t) { t.File("A/1/sitzung.dat", appended); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree tree;
        tree.File("A/user.dat", ClientFile("A", "B"));
        const std::string padding = c.large ? "Rohwerte=" + std::string(100 * 1024, '7') + "\r\n" : "";
        tree.File("A/1/sitzung.dat", SessionFile("Test 1", kShortForm1, "0") + padding);
        // The scan comes to the session only once a reader has begun to read it ahead; the
        // scan's own reading of it, then, opens it again to write it.
        test::Moment begun;
        const std::thread::id scan = std::this_thread::get_id();
        bool reopened = false;
        const test::ReadingHook seen([&](const std::string& path) {
            if (path != tree.Path("A/1/sitzung.dat")) return;
            if (std::this_thread::get_id() != scan) begun.Arrive();
            else if (c.reopened && !std::exchange(reopened, true)) c.reopened(tree);
        });
        test::Holder holder;
        int writes = 0;
        platform::test_hooks::lose_writes = !c.meanwhile;
        platform::test_hooks::write_stage = [&](WriteStage stage) {
            if (stage == WriteStage::kBegun && c.meanwhile) holder = c.meanwhile(tree, ++writes);
        };
        const Result result = Walk(tree, true, 0, [&](const std::string& entry, auto&) {
            if (entry != tree.Path("A/1")) return;
            EXPECT_TRUE(begun.Await());
            if (c.at_its_step) c.at_its_step(tree);
        });
        platform::test_hooks::lose_writes = false;
        platform::test_hooks::write_stage = nullptr;
        EXPECT_EQ(result.lines, c.lines);
        ASSERT_EQ(result.reports.size(), c.kind ? 1u : 0u);
        if (!c.after.empty()) {
            EXPECT_EQ(tree.Read(c.now_at), c.after);
        }
        if (!c.kind) continue;
        EXPECT_EQ(result.reports[0].kind, *c.kind);
        EXPECT_EQ(result.reports[0].path, tree.Path("A/1/sitzung.dat"));
        if (c.why) EXPECT_EQ(result.reports[0].problem.kind, *c.why);
        else EXPECT_EQ(result.reports[0].read_back, "0");
    }
}

TEST(ScanApply, KeepsUtf16SessionFilesInTheirEncoding) {
    TempTree tree;
    const std::u16string head = u"[TreeData]\r\nBezeichnung=\u0141\u00F3d\u017A\r\n[Optionen]\r\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=";
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File("A/S/sitzung.dat", test::Utf16LeWithBom(head + u"0\r\n"));
    EXPECT_EQ(Walk(tree, false).lines, (Lines{"A B", Pending("\xC5\x81\xC3\xB3" "d\xC5\xBA")}));
    EXPECT_EQ(Walk(tree, true).lines, (Lines{"A B", Patched("\xC5\x81\xC3\xB3" "d\xC5\xBA")}));
    EXPECT_EQ(tree.Read("A/S/sitzung.dat"), test::Utf16LeWithBom(head + u"1\r\n"));
}

// Paths past the classic 260 characters: the Windows file and profile functions need them in
// another form, and such sessions must be examined like every other.
TEST(ScanApply, ExaminesSessionsWhosePathsAreLongerThan260Characters) {
    TempTree tree;
    const std::string deep = "A/" + std::string(100, 'k') + "/" + std::string(100, 's') + "/" + std::string(60, 't');
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File(deep + "/sitzung.dat", SessionFile("Tief", kShortForm1, "0"));
    tree.File(deep + "/Unterordner/SITZUNG.DAT", SessionFile("Tiefer", kShortForm2, "0"));
    ASSERT_GT(tree.Path(deep + "/sitzung.dat").size(), 260u);
    EXPECT_EQ(Walk(tree, false).lines, (Lines{"A B", Pending("Tief"), Pending("Tiefer")}));
    EXPECT_EQ(Walk(tree, true).lines, (Lines{"A B", Patched("Tief"), Patched("Tiefer")}));
    EXPECT_EQ(tree.Read(deep + "/Unterordner/SITZUNG.DAT"), SessionFile("Tiefer", kShortForm2, "1"));
    EXPECT_EQ(Walk(tree, false).lines, Lines{Empty(2)});
}

TEST(ScanSessions, RootGetsItsTrailingSeparator) {
    TempTree tree;
    test::ScanFixture fixture;
    const std::atomic<std::int16_t> cancel = 0;
    std::int32_t sessions = 0;
    EXPECT_EQ(RunScan({tree.Path("fehlt"), false, fixture.list, cancel, sessions}).folder,
              tree.Path("fehlt") + platform::kSeparator);
    EXPECT_EQ(fixture.list.lines(), Lines{Empty(0)});
}

// CancelScan, or Ctrl-C, stops the run once the entry at hand is done, whatever was read
// ahead: none of the rest is listed or reported, and no reader thread outlives the run.
TEST(ScanSessions, StopsBeforeTheNextEntryWhateverWasReadAhead) {
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
    tree.File("C/user.dat", ClientFile("C", "D"));
    tree.File("C/0.txt", "");  // an entry before the sessions, where nothing is left half done
    tree.File("C/1/sitzung.dat", SessionFile("Drei", kShortForm1, "0"));
    // Read ahead, it gives a report, but only if the scan comes to it.
#ifdef _WIN32
    tree.File("C/2/sitzung.dat", SessionFile("Vier", kShortForm1, "0"));
    const test::Holder unreadable = test::HoldOpen(tree.Fs("C/2/sitzung.dat"), GENERIC_READ, 0);
#else
    tree.Folder("C/2");
    ASSERT_EQ(mkfifo(tree.Path("C/2/sitzung.dat").c_str(), 0600), 0);
#endif
    struct Case {
        const char* stop_at;  // the entry at hand when the run is stopped; none: before it starts
        const char* read_ahead;  // what a reader has begun by then; none: the readers are starting
        Lines lines;
        std::int32_t sessions;
    };
    const Case cases[] = {{nullptr, nullptr, {Empty(0)}, 0},
                          {"A", nullptr, {Empty(0)}, 0},
                          {"A", "C/user.dat", {Empty(0)}, 0},
                          {"C/0.txt", "C/2/sitzung.dat", {"A B", Pending("Eins")}, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stop_at ? c.stop_at : "before the run") + ", " + (c.read_ahead ? c.read_ahead : ""));
        test::Moment read_ahead;
        const test::ReadingHook slow([&](const std::string& path) {
            test::SlowUnevenly(path);
            if (c.read_ahead && path == tree.Path(c.read_ahead)) read_ahead.Arrive();
        });
        const std::size_t threads = test::ThreadsBefore();
        const Result result = Walk(tree, false, c.stop_at ? 0 : -1, [&](const std::string& entry, auto& cancel) {
            if (!c.stop_at || entry != tree.Path(c.stop_at)) return;
            if (c.read_ahead) {
                EXPECT_TRUE(read_ahead.Await());
            }
            cancel = -1;
        });
        EXPECT_EQ(result.lines, c.lines);
        EXPECT_EQ(result.sessions, c.sessions);
        EXPECT_TRUE(result.reports.empty()) << result.reports.front().path;
        EXPECT_TRUE(test::ThreadsComeDownTo(threads)) << "a reader outlived the run";
    }
}

// A file or folder whose reading never returns, as on a stalled share, where only readers get
// stuck: below a client the scan gives up, no reader opens it; where the scan needs it, a stop
// ends the run while it waits. Either way no stuck reader holds the run, and the lines are
// those of a run without readers.
TEST(ScanSessions, NoStuckReaderHoldsTheRun) {
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
    tree.File("B/user.dat", Crlf("[UserData]\nObjektTyp=abc\n"));
    tree.File("B/S/sitzung.dat", SessionFile("Unter B", kShortForm1, "0"));
    tree.File("C/user.dat", ClientFile("C", "D"));
    tree.File("C/1/sitzung.dat", SessionFile("Drei", kShortForm1, "0"));
    tree.File("C/2/sitzung.dat", SessionFile("Vier", kShortForm1, "0"));
    struct Case {
        const char* stalled;
        bool stop;  // once a reader is stuck there and the scan comes to it
        Lines lines;
    };
    const Case cases[] = {
        {"B/S/sitzung.dat", false, {"A B", Pending("Eins"), "C D", Pending("Drei"), Pending("Vier")}},
        {"C/2", true, {"A B", Pending("Eins"), "C D", Pending("Drei")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stalled);
        const std::thread::id scan = std::this_thread::get_id();
        test::Moment stuck;
        test::Moment released;
        std::atomic<bool> read = false;
        std::atomic<bool> held_the_run = false;
        const test::ReadingHook stall([&](const std::string& path) {
            if (!test::IsAt(path, tree.Path(c.stalled))) return;
            read = true;
            if (std::this_thread::get_id() == scan) return;
            stuck.Arrive();
            if (!released.Await()) held_the_run = true;
        });
        std::thread stopper;
        const std::size_t threads = test::ThreadsBefore();
        const Result result = Walk(tree, false, 0, [&](const std::string& entry, std::atomic<std::int16_t>& cancel) {
            if (!c.stop || entry != tree.Path(c.stalled)) return;
            EXPECT_TRUE(stuck.Await());
            stopper = std::thread([&cancel] {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                cancel = -1;
            });
        });
        released.Arrive();
        if (stopper.joinable()) stopper.join();
        EXPECT_FALSE(held_the_run) << "the run waited for a stuck reader";
        EXPECT_EQ(read, c.stop) << "read ahead what the scan never reads";
        EXPECT_EQ(result.lines, c.lines);
        EXPECT_TRUE(test::ThreadsComeDownTo(threads)) << "a reader outlived its call";
    }
}

#ifndef _WIN32
// One file under two names, a hard link or a symbolic one: the first session is patched and
// the second then holds a 1, as a run without readers finds it. Nothing the run holds of the
// file, read ahead or left from its write, is taken for another program's lock.
TEST(ScanApply, PatchesAFileUnderTwoNamesOnce) {
    for (const bool symbolic : {false, true}) {
        for (const ReadingAhead ahead : {ReadingAhead::kOff, ReadingAhead::kOn}) {
            SCOPED_TRACE(std::string(symbolic ? "symbolic" : "hard") + (ahead == ReadingAhead::kOn ? ", read ahead" : ""));
            TempTree tree;
            tree.File("A/user.dat", ClientFile("A", "B"));
            tree.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
            tree.Folder("A/2");
            if (symbolic) std::filesystem::create_symlink(tree.Fs("A/1/sitzung.dat"), tree.Fs("A/2/sitzung.dat"));
            else std::filesystem::create_hard_link(tree.Fs("A/1/sitzung.dat"), tree.Fs("A/2/sitzung.dat"));
            // The second name is read ahead before the first is written.
            test::Moment second;
            const test::ReadingHook seen([&](const std::string& path) {
                if (path == tree.Path("A/2/sitzung.dat")) second.Arrive();
            });
            const Result result = Walk(tree, true, 0, [&](const std::string& entry, auto&) {
                if (entry == tree.Path("A/1") && ahead == ReadingAhead::kOn) {
                    EXPECT_TRUE(second.Await());
                }
            }, ahead);
            EXPECT_EQ(result.lines, (Lines{"A B", Patched("Eins")}));
            EXPECT_TRUE(result.reports.empty()) << result.reports.front().path;
            EXPECT_EQ(tree.Read("A/2/sitzung.dat"), SessionFile("Eins", kShortForm1, "1"));
        }
    }
}
#endif

#ifndef _WIN32
// Windows takes read access away through ACLs, which Wine does not enforce.
TEST(ScanSessions, UnreadableFolderEndsOnlyItself) {
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
    tree.File("A/1/2/sitzung.dat", SessionFile("Zwei", kShortForm1, "0"));
    tree.File("A/3/sitzung.dat", SessionFile("Drei", kShortForm1, "0"));
    std::filesystem::permissions(tree.Fs("A/1"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::remove);
    if (!test::PermissionsBind()) GTEST_SKIP() << test::kNeedsOrdinaryUser;
    EXPECT_EQ(Walk(tree, false).lines, (Lines{"A B", Pending("Drei")}));
}
#endif

#ifndef _WIN32
// Links that lead back up or sideways: every physical folder is examined once. Wine cannot
// create links, so the Windows build meets them in the command-line cross-check instead.
TEST(ScanSessions, FollowsNoLinkIntoAFolderAlreadyExamined) {
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File("A/S/sitzung.dat", SessionFile("S", kShortForm1, "0"));
    std::error_code error;
    std::filesystem::create_directory_symlink(tree.Fs(""), tree.Fs("A/S/zur Wurzel"), error);
    ASSERT_FALSE(error) << error.message();
    std::filesystem::create_directory_symlink(tree.Fs("A"), tree.Fs("Z Kopie von A"), error);
    ASSERT_FALSE(error) << error.message();
    const Result result = Walk(tree, false);
    EXPECT_EQ(result.lines, (Lines{"A B", Pending("S")}));
    EXPECT_EQ(result.sessions, 1);
}

// Windows paths stop at 260 characters; natively a much deeper tree is possible.
TEST(ScanSessions, DeepTreeNeedsNoDeepStack) {
    TempTree tree;
    std::string path = "A";
    for (int depth = 0; depth < 1000; ++depth) path += "/d";
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File(path + "/sitzung.dat", SessionFile("Tief", kShortForm1, "0"));
    EXPECT_EQ(Walk(tree, false).lines, (Lines{"A B", Pending("Tief")}));
}
#endif

}  // namespace
}  // namespace vemor
