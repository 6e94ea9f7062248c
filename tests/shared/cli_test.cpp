#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <utility>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "cli.h"
#include "console.h"
#include "escape_controls.h"
#include "interrupt.h"
#include "report_words.h"
#include "scan_sessions.h"
#include "support/environment.h"
#include "support/fake_registry.h"
#include "support/holders.h"
#include "support/readings.h"
#include "support/result_text.h"
#include "support/temp_tree.h"
#include "test_hooks.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VEMOR_UNDER_SANITIZER
#endif
#endif

namespace vemor {
namespace {

using test::ClientFile;
using test::kShortForm1;
using test::SessionFile;
using test::TempTree;

std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& line : lines) out += line + std::string(platform::LineEnd());
    return out;
}

TEST(Cli, ExitStatusTellsTheOutcome) {
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    tree.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
    tree.File("A/2/sitzung.dat", SessionFile("Zwei", kShortForm1, "0"));
    test::MakeReadOnly(tree.Fs("A/2/sitzung.dat"));
    // Without a folder the run takes the documents folder's client-data folder.
    TempTree documents;
    documents.File("Eigene Diagnostik/C/user.dat", ClientFile("C", "D"));
    documents.File("Eigene Diagnostik/C/3/sitzung.dat", SessionFile("Drei", kShortForm1, "0"));
    test::FakeRegistry registry;
    registry.Set("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Personal",
                 {1, test::FakeRegistry::Text(documents.Root()), {}});

    // Names and labels with control characters, a backslash and a byte that is no UTF-8.
    TempTree odd;
    odd.File("labels/K/user.dat", ClientFile("K", "L"));
    odd.File("labels/K/1/sitzung.dat",
             test::Utf16LeWithBom(u"[TreeData]\r\nBezeichnung=a\tb\u0085c\\d\u001Be\r\n[Optionen]\r\n"
                                  u"Identifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=0\r\n"));
    const std::string help = [] {
        CliOutput output;
        RunCli({"--help"}, output);
        return output.out;
    }();
    // A label that looks like a result: only what the run did decides the status.
    odd.File("mimic/K/user.dat", ClientFile("K", "L"));
    odd.File("mimic/K/1/sitzung.dat", SessionFile("x    [Patch NICHT ausgef\xFChrt (0)]", kShortForm1, "0"));
    // A session file far larger than memory, never written but at its end.
    odd.File("huge/A/user.dat", ClientFile("A", "B"));
    odd.Hollow("huge/A/1/sitzung.dat", std::uint64_t{1} << 41);
    const std::string kExpected = "vemor-patch: expected 'preview [FOLDER]' or 'apply [FOLDER]'\n";
    const std::string none = Lines({test::NoSession(0)});

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;  // the whole report; for a usage error, its first line
        std::string interrupt_at = {};  // Ctrl-C just before the scan examines this entry
        bool without_aliases = false;   // listings give no 8.3 aliases
        bool slowed = false;            // some readings take far longer than others
        // The write stops after the first count of bytes, its put-back after the second.
        std::optional<std::pair<std::size_t, std::size_t>> cut = {};
        std::function<void()> before = {};    // changes the tree first
    };
    std::vector<Case> cases = {
        {{"preview", tree.Root()},
         0, Lines({"A B", test::Pending("Eins"), test::Pending("Zwei")}), ""},
        // The session not patched is named on standard error with the reason.
        {{"apply", tree.Path("A")},
         1, Lines({test::Patched("Eins"), test::NotPatched("Zwei")}),
         "vemor-patch: " + EscapePath(tree.Path("A/2/sitzung.dat")) + ": not patched: write-protected\n"},
        {{"preview", odd.Path("mimic")}, 0, Lines({"K L", test::Pending("x    [Patch NICHT ausgef\xC3\xBChrt (0)]")}), ""},
        {{"--version"}, 0, "1.00.0004\n", ""},
        {{}, 2, "", kExpected},
        {{"preview"}, 0, Lines({"C D", test::Pending("Drei")}), ""},
        {{"preview", ""}, 2, "", "vemor-patch: FOLDER is empty\n"},
        {{"patch", tree.Root()}, 2, "", kExpected},
        {{"preview", tree.Root(), "x"}, 2, "", kExpected},
        // A folder the scan cannot read still gets the scan's own line, and its own status.
        {{"preview", tree.Path("fehlt")}, 3, none, "vemor-patch: " + tree.Path("fehlt") + ": no such folder\n"},
        {{"apply", tree.Path("A/user.dat")}, 3, none, "vemor-patch: " + tree.Path("A/user.dat") + ": is not a folder\n"},
        // Options after the command word; "--" ends them.
        {{"preview", "--help"}, 0, help, ""},
        {{"apply", tree.Root(), "-h"}, 0, help, ""},
        {{"preview", "--version"}, 0, "1.00.0004\n", ""},
        {{"preview", "--", "--help"}, 3, none, "vemor-patch: --help: no such folder\n"},
        {{"preview", "--bogus"}, 2, "", "vemor-patch: unknown option '--bogus'\n"},
        // FOLDER as given, on one line.
        {{"preview", "fehlt\nauch"}, 3, none, "vemor-patch: fehlt\\x0Aauch: no such folder\n"},
        // One result per line, control characters escaped.
        {{"preview", odd.Path("labels")},
         0, Lines({"K L", test::Pending("a\\x09b\\u0085c\\\\d\\x1Be")}), ""},
    };
#ifndef VEMOR_UNDER_SANITIZER  // which ends the process where new fails, instead of throwing
    cases.push_back({{"apply", odd.Path("huge")}, 4, Lines({test::NoSession(1)}),
                     "vemor-patch: " + EscapePath(odd.Path("huge/A/1/sitzung.dat")) + ": cannot be read (not enough memory)\n"});
#endif
#ifdef _WIN32
    // A folder whose name Windows cannot spell, on a volume without 8.3 aliases to reach it by.
    TempTree spelled;
    spelled.File("A/user.dat", ClientFile("A", "B"));
    spelled.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
    spelled.Exact("A/2?/sitzung.dat", SessionFile("Frage", kShortForm1, "0"));
    if (test::RunsUnderWine())
        cases.push_back({{"preview", spelled.Root()}, 4, Lines({"A B", test::Pending("Eins")}),
                         "vemor-patch: " + spelled.Path("A") + "\\2?: cannot be read (no file can have that name)\n", {},
                         true});
#else
    // Names Windows does not allow.
    odd.File("names/Anna\nBerta/user.dat", test::Crlf("[UserData]\nName=Z\n"));
    odd.File("names/Anna\nBerta/a\\b\xFF/sitzung.dat", test::Crlf("[Optionen]\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\nNormdaten=0\n"));
    cases.push_back({{"preview", odd.Path("names")},
                     0, Lines({"Anna\\x0ABerta Z", test::Pending("a\\\\b\\xFF")}), ""});
    odd.Folder("closed/A");
    std::filesystem::permissions(odd.Fs("closed"), std::filesystem::perms::none);
    // Below FOLDER, what cannot be read is named, and the run goes on without it. Windows
    // takes read access away through ACLs, which Wine does not enforce.
    TempTree hidden;
    hidden.File("A/user.dat", ClientFile("A", "B"));
    hidden.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
    hidden.File("A/2/sitzung.dat", SessionFile("Zwei", kShortForm1, "0"));
    hidden.File("A/3\n4/5/sitzung.dat", SessionFile("Tiefer", kShortForm1, "0"));
    hidden.File("A/6/sitzung.dat", SessionFile("Sechs", kShortForm1, "0"));
    hidden.File("C/user.dat", ClientFile("C", "D"));
    hidden.File("C/1/sitzung.dat", SessionFile("Drei", kShortForm1, "0"));
    for (const char* closed : {"A/2/sitzung.dat", "A/3\n4", "C/user.dat"})
        std::filesystem::permissions(hidden.Fs(closed), std::filesystem::perms::none);
    const std::string unreadable = "vemor-patch: " + hidden.Path("A/2/sitzung.dat") + ": cannot be read (permission denied)\n" +
                                   "vemor-patch: " + hidden.Path("A") + "/3\\x0A4: cannot be read (permission denied)\n" +
                                   "vemor-patch: " + hidden.Path("C/user.dat") + ": cannot be read (permission denied)\n";
    // A pipe and a device where files are expected are named, never read, and the run goes on.
    TempTree devices;
    devices.File("A/2/sitzung.dat", SessionFile("Zwei", kShortForm1, "0"));
    devices.Folder("A/1");
    ASSERT_EQ(mkfifo(devices.Path("A/user.dat").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", devices.Fs("A/1/sitzung.dat"));
    cases.push_back({{"preview", devices.Root()}, 4, Lines({"A ", test::Pending("Zwei")}),
                     "vemor-patch: " + devices.Path("A/user.dat") + ": cannot be read (not a regular file)\n" +
                         "vemor-patch: " + devices.Path("A/1/sitzung.dat") + ": cannot be read (not a regular file)\n"});
    // A session file another program holds locked is left to it.
    TempTree held;
    held.File("A/user.dat", ClientFile("A", "B"));
    held.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
    const test::Holder lock = test::HoldLocked(held.Fs("A/1/sitzung.dat"), test::Lock::kFlock);
    cases.push_back({{"apply", held.Root()}, 1, Lines({"A B", test::NotPatched("Eins")}),
                     "vemor-patch: " + held.Path("A/1/sitzung.dat") + ": not patched: locked by another program\n"});
    TempTree stopped;
    stopped.File("A/user.dat", ClientFile("A", "B"));
    stopped.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0"));
    stopped.File("A/2/sitzung.dat", SessionFile("Zwei", kShortForm1, "0"));
    stopped.File("C/user.dat", ClientFile("C", "D"));
    stopped.File("C/1/sitzung.dat", SessionFile("Drei", kShortForm1, "0"));
    if (test::PermissionsBind()) {
        cases.push_back({{"preview", odd.Path("closed")}, 3, none,
                         "vemor-patch: " + odd.Path("closed") + ": cannot be read (Permission denied)\n"});
        cases.push_back({{"preview", hidden.Root()}, 4,
                         Lines({"A B", test::Pending("Eins"), test::Pending("Sechs"),
                                "C ", test::Pending("Drei")}),
                         unreadable});
        // Unreadable data outweighs a session not patched.
        std::filesystem::permissions(hidden.Fs("A/6/sitzung.dat"), std::filesystem::perms::owner_read);
        cases.push_back({{"apply", hidden.Root()}, 4,
                         Lines({"A B", test::Patched("Eins"),
                                test::NotPatched("Sechs"), "C ",
                                test::Patched("Drei")}),
                         "vemor-patch: " + hidden.Path("A/2/sitzung.dat") + ": cannot be read (permission denied)\n" +
                             "vemor-patch: " + hidden.Path("A") + "/3\\x0A4: cannot be read (permission denied)\n" +
                             "vemor-patch: " + hidden.Path("A/6/sitzung.dat") + ": not patched: write-protected\n" +
                             "vemor-patch: " + hidden.Path("C/user.dat") + ": cannot be read (permission denied)\n"});
    }
    // Ctrl-C: the session at hand is finished, the results so far are listed and tidied,
    // and the status says the run was interrupted. Wine gives a program without a console
    // no way to send itself Ctrl-C; the cross-check interrupts the Windows program instead.
    cases.push_back({{"apply", stopped.Root()}, 130,
                     Lines({"A B", test::Patched("Eins")}),
                     "vemor-patch: interrupted; the results so far are listed\n", stopped.Path("A/1")});
    cases.push_back({{"apply", stopped.Root()}, 130, Lines({"A B", test::Patched("Zwei")}),
                     "vemor-patch: interrupted; the results so far are listed\n", stopped.Path("C")});
    cases.push_back({{"preview", stopped.Root()}, 130, none,
                     "vemor-patch: interrupted; the results so far are listed\n", stopped.Path("A")});
    // The folder at hand is done; what was read ahead of the interrupt is neither listed nor named.
    cases.push_back({{"preview", devices.Root()}, 130, Lines({test::NoSession(0)}),
                     "vemor-patch: " + devices.Path("A/user.dat") + ": cannot be read (not a regular file)\n" +
                         "vemor-patch: interrupted; the results so far are listed\n",
                     devices.Path("A"), false, true});
#endif
    // A write of another length cut off with its put-back: damaged, kept and said so; the next
    // run writes the original back. A record whose file changed otherwise stays; one whose file
    // is found as it was goes. These come last, as each run sees the records left before it.
    TempTree torn;
    torn.File("A/user.dat", ClientFile("A", "B"));
    torn.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, "0.0"));
    const std::string torn_path = "vemor-patch: " + EscapePath(torn.Path("A/1/sitzung.dat")) + ": ";
    const std::string damaged = torn_path + "damaged: could not be restored (no space left on the device); its original "
                                            "bytes are kept in RECORD and are written back by the next run\n";
    const std::string restored = torn_path + "restored: its original bytes were written back from RECORD\n";
    const auto put = [&torn](const std::string& norm) {
        return [&torn, norm] { torn.File("A/1/sitzung.dat", SessionFile("Eins", kShortForm1, norm)); };
    };
    const std::pair<std::size_t, std::size_t> tears{12, 10};  // "Normdaten=1\r" in, "Normdaten=" back
    cases.push_back({{"apply", torn.Root()}, 6, Lines({"A B", test::NotPatched("Eins", "1")}), damaged, {}, false, false, tears});
    cases.push_back({{"preview", torn.Root()}, 0, Lines({"A B", test::Pending("Eins", "0.0")}), restored});
    cases.push_back({{"apply", torn.Root()}, 6, Lines({"A B", test::NotPatched("Eins", "1")}), damaged, {}, false, false, tears});
    cases.push_back({{"preview", torn.Root()}, 6, Lines({test::NoSession(1)}),
                     torn_path + "not written back: changed otherwise since a write failed; its original bytes stay in RECORD\n",
                     {}, false, false, {}, put("5")});
    cases.push_back({{"preview", torn.Root()}, 0, Lines({"A B", test::Pending("Eins", "0.0")}), restored, {}, false, false, {},
                     put("0.0")});
    for (const Case& c : cases) {
#ifndef _WIN32
        // The command line reads ahead where the environment says so, as on a share; the
        // interrupts at an entry whose folder a reader may still be at do without.
        const test::ScopedVariable reading_ahead(kReadAheadSetting, c.interrupt_at.empty() ? "on" : "off");
#endif
        if (c.before) c.before();
        if (c.cut) {
            platform::test_hooks::cut_write = [&c](platform::test_hooks::WriteCall call) {
                return call == platform::test_hooks::WriteCall::kEdit ? c.cut->first : c.cut->second;
            };
        }
        CliProgress progress;
        if (!c.interrupt_at.empty()) {
            platform::DeferInterrupts();
            progress.entry = [&](const std::string& entry) {
                if (entry == c.interrupt_at) std::raise(SIGINT);
            };
        }
        CliOutput output;
        platform::test_hooks::no_short_names = c.without_aliases;
        // Readers hold connections a share may cap: an apply needs its own for its writes.
        std::atomic<std::size_t> most_threads = 0;
        const test::ReadingHook slow([&](const std::string& path) {
            if (c.slowed) test::SlowUnevenly(path);
            for (std::size_t now = test::ThreadCount(), most = most_threads; now > most;)
                if (most_threads.compare_exchange_weak(most, now)) break;
        });
        const std::size_t threads = test::ThreadsBefore();
        EXPECT_EQ(RunCli(c.args, output, progress), c.status) << testing::PrintToString(c.args);
        EXPECT_TRUE(test::ThreadsComeDownTo(threads)) << "a reader outlived the run";
        const bool apply = !c.args.empty() && c.args.front() == "apply";
        EXPECT_LE(most_threads.load(), threads + (apply ? ReadAhead::kReadersForApply : ReadAhead::kReadersForPreview));
        platform::test_hooks::no_short_names = false;
        platform::test_hooks::cut_write = nullptr;
        platform::RestoreInterruptsForTests();
        EXPECT_EQ(output.out, c.out) << testing::PrintToString(c.args);
        // Records are named by the moment they were made.
        const std::string& records = platform::test_hooks::record_folder;
        for (std::size_t at; (at = output.err.find(EscapePath(records))) != std::string::npos;)
            output.err.replace(at, output.err.find(".record", at) + 7 - at, "RECORD");
        // A usage error's report goes on with the usage.
        EXPECT_EQ(c.status == 2 ? output.err.substr(0, c.err.size()) : output.err, c.err)
            << testing::PrintToString(c.args);
    }
}

TEST(Cli, WordsWhatARunCouldNotDo) {
    using Kind = ScanReport::Kind;
    using Problem = platform::FileProblem;
    struct Case {
        Kind kind;
        struct {
            Problem::Kind kind;
            std::uint32_t code = 0;
            const char* text = "";
        } problem;
        const char* words;
        const char* read_back = "";
    };
    const Case cases[] = {
        {Kind::kWriteFailed, {Problem::Kind::kLocked, 33, "The process cannot access the file"},
         "not patched: locked by another program"},
        {Kind::kWriteFailed, {Problem::Kind::kChanged}, "not patched: changed since it was read"},
        {Kind::kWriteFailed, {Problem::Kind::kMoved}, "not patched: moved, renamed or removed during the run"},
        {Kind::kWriteFailed, {Problem::Kind::kNoSpace, 28, "No space left on device"},
         "not patched: no space left on the device"},
        {Kind::kWriteFailed, {Problem::Kind::kReadOnly, 30, "Read-only file system"}, "not patched: write-protected"},
        {Kind::kWriteFailed, {Problem::Kind::kDenied, 13, "Permission denied"}, "not patched: permission denied"},
        {Kind::kWriteFailed, {Problem::Kind::kMissing, 2, "No such file or directory"}, "not patched: no longer there"},
        // Only where no kind fits are the system's own words quoted.
        {Kind::kWriteFailed, {Problem::Kind::kOther, 5, "Input/output error"}, "not patched: Input/output error"},
        {Kind::kWriteFailed, {Problem::Kind::kOther, 1117}, "not patched: system error 1117"},
        {Kind::kWriteFailed, {Problem::Kind::kOther}, "not patched: the system gave no reason"},
        {Kind::kReadBackFailed, {Problem::Kind::kMissing}, "not patched: cannot be read back (no longer there)"},
        {Kind::kWrongReadBack, {Problem::Kind::kOther}, "not patched: the value read back is 0", "0"},
        {Kind::kWrongReadBack, {Problem::Kind::kOther}, "not patched: the value read back is empty", ""},
        {Kind::kFileUnreadable, {Problem::Kind::kDenied, 13, "Permission denied"}, "cannot be read (permission denied)"},
        {Kind::kFileUnreadable, {Problem::Kind::kNotAFile, 21, "Is a directory"}, "cannot be read (not a regular file)"},
        {Kind::kFolderUnreadable, {Problem::Kind::kLocked, 32, "The process cannot access the file"},
         "cannot be read (locked by another program)"},
    };
    for (const Case& c : cases) {
        const ScanReport report{c.kind, "f", {c.problem.kind, c.problem.code, c.problem.text}, c.read_back};
        EXPECT_EQ(DescribeReport(report), c.words);
    }
}

TEST(Cli, HelpNamesBothCommandsAndTheDefaultFolder) {
    CliOutput output;
    EXPECT_EQ(RunCli({"--help"}, output), 0);
    EXPECT_NE(output.out.find("vemor-patch preview [FOLDER]"), std::string::npos);
    EXPECT_NE(output.out.find("vemor-patch apply [FOLDER]"), std::string::npos);
    EXPECT_NE(output.out.find("Eigene Diagnostik"), std::string::npos);
}

TEST(Cli, EscapesWhatWouldBreakOrHideALine) {
    const std::pair<std::string, std::string> cases[] = {
        {"Anna \xC5\x81\xC3\xBC\xC4\xB1 \xF0\x9F\x98\x80 ~", "Anna \xC5\x81\xC3\xBC\xC4\xB1 \xF0\x9F\x98\x80 ~"},
        {std::string("a\0b\n\r\t\x1F\x7F", 8), "a\\x00b\\x0A\\x0D\\x09\\x1F\\x7F"},
        {"\xC2\x80\xC2\x85\xC2\x9F\xC2\xA0", "\\u0080\\u0085\\u009F\xC2\xA0"},
        // A backslash is doubled, so text that looks like an escape stays apart from one.
        {"a\\b\\x0A", "a\\\\b\\\\x0A"},
        // No UTF-8: a stray, a cut, an overlong and a surrogate sequence, byte by byte.
        {"\xFF.\xC3", "\\xFF.\\xC3"},
        {"\xC3(\xC0\xAF\xED\xA0\x80", "\\xC3(\\xC0\\xAF\\xED\\xA0\\x80"},
    };
    for (const auto& [text, escaped] : cases) EXPECT_EQ(EscapeControls(text), escaped) << text;
}

// Time passes only as the scan meets entries, so the test sets how long the run takes.
TEST(Cli, ShowsProgressOnlyWhileALongRunGoesOn) {
    using namespace std::chrono_literals;
    TempTree tree;
    tree.File("A/user.dat", ClientFile("A", "B"));
    for (int i = 0; i < 30; ++i)
        tree.File("A/" + std::to_string(i) + "/sitzung.dat", SessionFile("S", kShortForm1, "1"));
    struct Case {
        std::chrono::milliseconds per_entry;  // 126 entries: ".", "..", files and folders
        std::size_t fewest, most;             // updates of the line
    };
    const Case cases[] = {{0ms, 0, 0}, {5ms, 0, 0}, {10ms, 1, 2}, {1000ms, 31, 31}};
    for (const Case& c : cases) {
        CliClock::time_point now{};
        std::string shown;
        CliOutput output;
        const int status = RunCli({"preview", tree.Root()}, output,
                                  {[&] { return now; }, [&](std::string_view text) { shown += text; },
                                   [&](const std::string&) { now += c.per_entry; }});
        EXPECT_EQ(status, 0);
        EXPECT_EQ(output.out, Lines({test::NoSession(30)}));

        // "\rUPDATE" for each update, then blanks over the longest and a return.
        std::vector<std::string> parts;
        for (std::size_t start = 0, end; start <= shown.size(); start = end + 1) {
            end = std::min(shown.find('\r', start), shown.size());
            parts.push_back(shown.substr(start, end - start));
        }
        const std::size_t updates = shown.empty() ? 0 : parts.size() - 3;
        EXPECT_GE(updates, c.fewest) << shown;
        EXPECT_LE(updates, c.most) << shown;
        if (updates == 0) continue;
        EXPECT_EQ(parts.front(), "");
        for (std::size_t i = 1; i <= updates; ++i) EXPECT_EQ(parts[i].rfind("examined ", 0), 0u) << parts[i];
        EXPECT_EQ(parts[updates + 1], std::string(parts[updates].size(), ' '));
        EXPECT_EQ(parts.back(), "");
        if (c.per_entry >= 1s) {
            EXPECT_EQ(parts[updates], "examined 31 folders, 30 sessions");
        }
    }
}

}  // namespace
}  // namespace vemor
